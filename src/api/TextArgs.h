#pragma once

#include "engine/Lua.h"

#include <string>

namespace api {

// Argument `index` as text through the script's `tostring`; raises the "no text" error when
// there is none.
std::string textArg(lua_State* L, int index);

}  // namespace api
