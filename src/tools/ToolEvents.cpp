#include "ToolEvents.h"

namespace tools {
namespace {

ScriptListener* g_listener = nullptr;
bool g_windowsAvailable = false;

}  // namespace

void setScriptListener(ScriptListener* listener) noexcept { g_listener = listener; }
ScriptListener* scriptListener() noexcept { return g_listener; }

void setWindowsAvailable(bool available) noexcept { g_windowsAvailable = available; }
bool windowsAvailable() noexcept { return g_windowsAvailable; }

}  // namespace tools
