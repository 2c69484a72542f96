#pragma once

#include <string_view>

namespace platform {

// Opens a file (script form) with the desktop's handler for its type; false when none took it.
bool openWithDesktop(std::string_view scriptPath);

}  // namespace platform
