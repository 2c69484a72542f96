#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The folder a special folder name (byte for byte, e.g. "DESKTOP", "APPDATA " with its blank)
// stands for on this platform, in script form. Nothing for a name that is not one of them; the
// empty text for a folder that has no equivalent here or does not exist.
std::optional<std::string> specialFolder(std::string_view name);

}  // namespace platform
