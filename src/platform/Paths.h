#pragma once

#include "Result.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The text up to its first zero byte: what the system's C-string interfaces see of it.
std::string_view untilZero(std::string_view text) noexcept;

// The drive form X:\, \\server, http:// and ftp:// are absolute, and so is any text that
// starts with a separator.
bool isAbsolutePath(std::string_view text) noexcept;

// The pieces between separators (\ and /, double-byte aware). Consecutive separators give
// empty pieces; a separator at the end gives no further piece; an empty text gives none.
std::vector<std::string_view> pathPieces(std::string_view text);

// The pieces of `folder` joined with \, then \ and each piece of `name`.
std::string joinPath(std::string_view folder, std::string_view name);
// Folder (earlier pieces joined with \) and name (the last piece).
std::pair<std::string, std::string> splitPath(std::string_view path);
// Base name (the name after the last \, cut before its last ".") and extension (after that
// "."; empty when the name has none).
std::pair<std::string, std::string> splitExtension(std::string_view path);

// A relative script path completed against the current directory, "." and ".." resolved;
// an absolute one unchanged.
std::string fullPath(std::string_view scriptPath);

// "*" and "?" wildcards; a character matches without regard to ASCII case, a double-byte
// character (and an escaped character, Sjis.h) counts as one and matches only itself. A final ".*" also matches a name without
// any extension, so "*.*" matches every name.
bool matchWildcard(std::string_view pattern, std::string_view name) noexcept;
bool hasWildcard(std::string_view text) noexcept;

// An OS path made absolute against the current directory (left alone when already absolute).
std::string absoluteOsPath(std::string_view osPath);

}  // namespace platform
