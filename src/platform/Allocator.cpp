#include "Allocator.h"

#include <malloc.h>

namespace platform {

void keepLargeBlocksInHeap()
{
    // Blocks up to 256 MiB come from the heap, and up to 512 MiB of free heap top is kept for
    // the next picture rather than handed back at once.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

}  // namespace platform
