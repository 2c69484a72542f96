#pragma once

#include <string>
#include <string_view>

namespace platform {

// The user's profile file that stands in for WIN.INI: $XDG_CONFIG_HOME/selvarin/win.ini
// (default ~/.config/selvarin/win.ini).
std::string profilePath();

// An integer of an ini file such as WIN.INI: section and key
// without regard to ASCII case, the leading decimal digits of the value (with an optional sign),
// `fallback` when the file, section or key is missing.
int readProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback);

}  // namespace platform
