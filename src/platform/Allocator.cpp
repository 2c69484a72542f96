#include "Allocator.h"

#include <malloc.h>
#include <unistd.h>

namespace platform {

void keepLargeBlocksInHeap()
{
    // Blocks up to 256 MiB come from the heap, and up to 512 MiB of free heap top is kept for
    // the next picture rather than handed back at once.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    // One heap for every thread: a picture decoded ahead on a worker thread and freed on the
    // interface thread leaves its room where the next picture, decoded on either, can use it,
    // instead of keeping room in each thread's heap.
    mallopt(M_ARENA_MAX, 1);
}

std::uint64_t physicalMemoryBytes() noexcept
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace platform
