#pragma once

#include "engine/Host.h"
#include "engine/Lua.h"

// The script class `LWindow` over the progress window, and its constructor in `app`.
namespace api {

inline constexpr const char* kWindowClass = "LWindow";

class LWindowHost;

// The content of an LWindow userdata: its host, null once collected.
struct WindowObject {
    LWindowHost* host;
};

// Registers the metatable "LWindow" with its methods.
void installWindowClass(lua_State* L);

// createProgressWindow, the LWindow constructor of `app`.
extern const engine::HostFunction kProgressWindowFunctions[1];

}  // namespace api
