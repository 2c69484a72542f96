#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An environment variable in code page 932, or nothing when it is not set.
std::optional<std::string> environmentValue(std::string_view name);

// Whether no modal dialog may wait for a person (SELVARIN_NONINTERACTIVE set and not empty).
bool nonInteractive();
void setNonInteractive(bool on);

}  // namespace platform
