#pragma once

#include "engine/Host.h"
#include "engine/Lua.h"

#include <memory>

namespace image {
class Plugin;
}

// The script class `Susie_plugin` over image::Plugin, and its constructor in `app`.
namespace api {

inline constexpr const char* kSusiePluginClass = "Susie_plugin";

// Registers the metatable "Susie_plugin" with its methods.
void installSusiePluginClass(lua_State* L);

// Whether the value at `narg` is a Susie_plugin object, open or not.
bool isSusiePlugin(lua_State* L, int narg);
// The library of the open Susie_plugin object at `narg`, shared so that background work can
// keep it loaded; null for anything else or a closed object.
std::shared_ptr<image::Plugin> sharedPlugin(lua_State* L, int narg);

// loadSusiePlugin
extern const engine::HostFunction kSusiePluginFunctions[1];

}  // namespace api
