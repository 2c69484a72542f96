#pragma once

#include "MemoryHandle.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Whole-file transfers between script paths and memory blocks.
namespace platform {

// Opens an OS path without waiting on a FIFO or a device: a descriptor in blocking mode, or -1
// with errno set (ENXIO for a special file). Regular files only, and folders when
// `allowFolder` is true.
int openPlainFile(const std::string& osPath, int flags, bool allowFolder = false);

// fopen for script paths: the same modes, but a FIFO or device is a clean failure (null, errno
// set) instead of an open that blocks until some other process appears.
FILE* openPlainStream(std::string_view scriptPath, const char* mode);

// Reads a file into a new block of `heap`: the whole file, or its first `maximum` bytes when
// `maximum` is not 0 and smaller. Only a complete read succeeds; a file of 4 GiB or more without
// a maximum fails (EFBIG) rather than being cut to a 32-bit size.
Result<memory::OwnedHandle> readFileToBlock(std::string_view scriptPath, std::uint32_t maximum, memory::Heap heap);

// Reads a whole regular file given by its OS path into `out`, without touching errno's text or
// any shared state, so any thread may call it. False when the file cannot be read completely
// or holds more than `maxSize` bytes (nothing is allocated for such a file).
bool readOsFile(const std::string& osPath, std::uint64_t maxSize, std::vector<std::uint8_t>& out);

// Replaces the file with `size` bytes. The bytes go to a temporary file in the same folder that
// is flushed and then renamed over the target, so a failure at any point leaves the old file
// as it was.
Status writeFileReplacing(std::string_view scriptPath, const void* data, std::size_t size);

}  // namespace platform
