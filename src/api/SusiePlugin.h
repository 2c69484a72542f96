#pragma once

#include "engine/Host.h"
#include "engine/Lua.h"

// The script class `Susie_plugin` over image::Plugin, and its constructor in `app`.
namespace api {

inline constexpr const char* kSusiePluginClass = "Susie_plugin";

// Registers the metatable "Susie_plugin" with its methods.
void installSusiePluginClass(lua_State* L);

// loadSusiePlugin
extern const engine::HostFunction kSusiePluginFunctions[1];

}  // namespace api
