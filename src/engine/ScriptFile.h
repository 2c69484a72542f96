#pragma once

#include "Lua.h"

#include <cstdio>

namespace engine {

// Registry name of the metatable of script file objects (io.open, io.stdout, ...).
inline constexpr const char kFileHandle[] = "FILE*";

// What a script file object holds: its stream (null once closed) and whether it is one of the
// standard streams, which scripts cannot close.
struct ScriptFile {
    FILE* stream = nullptr;
    bool standard = false;
};

// The file object at `index`, or null when the value is not one. A closed file object is
// returned with a null stream.
ScriptFile* testScriptFile(lua_State* L, int index);

}  // namespace engine
