#pragma once

#include "Result.h"

#include <string>
#include <string_view>

// Paths as scripts see them (code page 932, "\" separators) and as the OS takes them
// (UTF-8, "/" separators). Every crossing goes through these two functions.
namespace platform {

// Script form to OS form: every separator ("\" or "/", double-byte aware) becomes "/".
std::string toOsPath(std::string_view scriptPath);
// OS form to script form: "\" separators, code page 932.
std::string fromOsPath(std::string_view osPath);

// The executable's full path and its folder, in script form.
std::string executablePath();
std::string moduleFolder();

// `folder` joined with `name`, inserting "\" unless the folder already ends in one.
std::string joinScriptPath(std::string_view folder, std::string_view name);

std::string currentDirectory();
Status setCurrentDirectory(std::string_view scriptPath);

bool fileExists(std::string_view scriptPath);
Result<std::string> readWholeFile(std::string_view scriptPath);

// An OS path made absolute against the current directory (left alone when already absolute).
std::string absoluteOsPath(std::string_view osPath);

}  // namespace platform
