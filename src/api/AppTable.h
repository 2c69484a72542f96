#pragma once

#include "engine/Lua.h"

namespace api {

// Creates the global table `app` (or extends an existing one) with every host function, in
// registration order.
void installApp(lua_State* L);

}  // namespace api
