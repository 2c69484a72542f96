#pragma once

#include "MemoryHandle.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Whole-file transfers between script paths and memory blocks.
namespace platform {

// Reads a file into a new block of `heap`: the whole file, or its first `maximum` bytes when
// `maximum` is not 0 and smaller. Only a complete read succeeds.
Result<memory::OwnedHandle> readFileToBlock(std::string_view scriptPath, std::uint32_t maximum, memory::Heap heap);

// Replaces the file with `size` bytes. The bytes go to a temporary file in the same folder that
// is flushed and then renamed over the target, so a failure at any point leaves the old file
// as it was.
Status writeFileReplacing(std::string_view scriptPath, const void* data, std::size_t size);

}  // namespace platform
