#pragma once

#include <cstdint>

namespace platform {

// Keeps large blocks (decoded pictures, surfaces) in the process's heap instead of mapping and
// unmapping them each time: every page turn allocates and frees tens of megabytes, and fresh
// mappings cost a page fault and a zeroed page for every 4 KiB touched. All threads share one
// heap, so that room a worker thread's picture left is reused. Call once at start-up.
void keepLargeBlocksInHeap();

// The machine's physical memory in bytes; 0 when it cannot be told.
std::uint64_t physicalMemoryBytes() noexcept;

}  // namespace platform
