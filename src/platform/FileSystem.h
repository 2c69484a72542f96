#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// Operations on named files for the script I/O library. Paths are script paths; failures leave
// errno set for the caller's message.
namespace platform {

bool removeFile(std::string_view scriptPath);
bool renameFile(std::string_view fromScriptPath, std::string_view toScriptPath);

// A new empty file in the temporary folder, by its script path; none when it cannot be made.
std::optional<std::string> createTemporaryFile();
// An anonymous temporary file open for update, deleted when closed; null on failure.
FILE* openTemporaryStream();

}  // namespace platform
