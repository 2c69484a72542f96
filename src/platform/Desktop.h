#pragma once

#include <string>
#include <string_view>

#include <utility>

namespace platform {

// The desktop's size in device pixels; (0, 0) without a screen.
std::pair<int, int> desktopSize();

// Opens a file (script form) with the desktop's handler for its type; false when none took it.
bool openWithDesktop(std::string_view scriptPath);

// The manual beside the executable (folder in script form): "Selvarin.chm" when it exists there,
// else the HTML manual help/index.html. Empty when neither exists.
std::string helpDocument(std::string_view programFolder);
// Where the HTML manual is looked for, to name in a message when it is missing.
std::string htmlHelpPath(std::string_view programFolder);

}  // namespace platform
