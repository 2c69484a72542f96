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

// Whether `dir` is (or, missing, now is) a real folder of this user that nobody else can enter.
bool usePrivateFolder(const std::string& dir);

// Before the GUI library starts: a per-user runtime folder when the session has none (as under
// su or in a container), and with `headless` Qt's offscreen platform when there is no display.
void prepareSession(bool headless);

}  // namespace platform
