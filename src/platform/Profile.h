#pragma once

#include <string>
#include <string_view>

namespace platform {

// The program's own configuration folder: $XDG_CONFIG_HOME/selvarin (default ~/.config/selvarin).
std::string configFolder();

// Creates the configuration folder (and its parents) when missing, private to the user.
// True when it exists afterwards.
[[nodiscard]] bool ensureConfigFolder();

// The user's profile file that stands in for WIN.INI: $XDG_CONFIG_HOME/selvarin/win.ini
// (default ~/.config/selvarin/win.ini).
std::string profilePath();

// An integer of an ini file such as WIN.INI: section and key
// without regard to ASCII case, the leading decimal digits of the value (with an optional sign),
// `fallback` when the file, section or key is missing.
int readProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback);

}  // namespace platform
