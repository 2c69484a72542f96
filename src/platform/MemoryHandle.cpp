#include "MemoryHandle.h"

#include <selvarin/spi.h>

namespace platform::memory {

namespace {

// Both heaps draw their values from one counter, so a handle belongs to at most one of them.
bool isLocal(Handle handle) { return LocalFlags(handle) != LMEM_INVALID_HANDLE; }

}  // namespace

Handle allocate(Heap heap, std::size_t size) noexcept
{
    if (size > kMaxSize)
        return kNull;
    return heap == Heap::Local ? LocalAlloc(LMEM_MOVEABLE, size) : GlobalAlloc(GMEM_MOVEABLE, size);
}

bool free(Heap heap, Handle handle) noexcept
{
    if (handle == kNull)
        return false;
    return (heap == Heap::Local ? LocalFree(handle) : GlobalFree(handle)) == kNull;
}

bool isValid(Heap heap, Handle handle) noexcept
{
    if (handle == kNull)
        return false;
    return (heap == Heap::Local ? LocalFlags(handle) : GlobalFlags(handle)) != LMEM_INVALID_HANDLE;
}

std::size_t size(Handle handle) noexcept
{
    return isLocal(handle) ? LocalSize(handle) : GlobalSize(handle);
}

std::uint8_t* lock(Handle handle) noexcept
{
    return static_cast<std::uint8_t*>(isLocal(handle) ? LocalLock(handle) : GlobalLock(handle));
}

bool unlock(Handle handle) noexcept
{
    return (isLocal(handle) ? LocalUnlock(handle) : GlobalUnlock(handle)) != 0;
}

unsigned lockCount(Handle handle) noexcept
{
    const unsigned flags = isLocal(handle) ? LocalFlags(handle) : GlobalFlags(handle);
    return flags == LMEM_INVALID_HANDLE ? 0 : (flags & LMEM_LOCKCOUNT);
}

bool resize(Handle handle, std::size_t newSize) noexcept
{
    if (newSize > kMaxSize || handle == kNull)
        return false;
    return (isLocal(handle) ? LocalReAlloc(handle, newSize, LMEM_MOVEABLE)
                            : GlobalReAlloc(handle, newSize, GMEM_MOVEABLE)) != kNull;
}

}  // namespace platform::memory
