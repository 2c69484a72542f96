#pragma once

#include <string_view>

#include <utility>

namespace platform {

// The desktop's size in device pixels; (0, 0) without a screen.
std::pair<int, int> desktopSize();

// Opens a file (script form) with the desktop's handler for its type; false when none took it.
bool openWithDesktop(std::string_view scriptPath);

}  // namespace platform
