#pragma once

#include "engine/Lua.h"

#include <cstdio>

namespace engine::profile {

// Opens the 5.0 `io` library and the `os` table with its file, time and environment functions.
// Paths and environment texts are code page 932 and cross to the OS through the platform layer.
void openIo(lua_State* L, FILE* in, FILE* out, FILE* err);

}  // namespace engine::profile
