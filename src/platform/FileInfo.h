#pragma once

#include "Result.h"

#include <cstdint>
#include <string_view>

namespace platform {

struct FileInfo {
    std::uint64_t size = 0;          // 0 for a directory
    std::int64_t createTime = 0;     // seconds since 1970 UTC: birth time, else last status change
    std::int64_t lastWriteTime = 0;  // seconds since 1970 UTC
    bool isDirectory = false;
    bool isHidden = false;           // the name starts with "."
    bool isReadOnly = false;         // this user may not write it
};

// The first entry matching a script path (wildcards allowed in its last piece, see
// Directory.h). A dangling symbolic link describes the link itself.
Result<FileInfo> fileInfo(std::string_view scriptPattern);

}  // namespace platform
