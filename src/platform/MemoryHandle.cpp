#include "MemoryHandle.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

namespace platform::memory {

struct Block {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    unsigned locks = 0;
    Heap heap = Heap::Global;
};

namespace {

// The live handles. Plug-ins hand back whatever they like, so a handle is only ever followed
// after it has been found here.
struct Registry {
    std::mutex mutex;
    std::unordered_set<Block*> live;
};

Registry& registry()
{
    static Registry* r = new Registry;  // never destroyed: handles may be freed during exit
    return *r;
}

// Blocks of size 0 still own one byte so that lock gives an address.
std::size_t storageSize(std::size_t size) { return size == 0 ? 1 : size; }

Block* find(Handle handle)
{
    Registry& r = registry();
    return r.live.count(handle) ? handle : nullptr;
}

}  // namespace

Handle allocate(Heap heap, std::size_t size) noexcept
{
    if (size > kMaxSize)
        return nullptr;
    auto* block = new (std::nothrow) Block;
    if (!block)
        return nullptr;
    block->data = static_cast<std::uint8_t*>(std::malloc(storageSize(size)));
    if (!block->data) {
        delete block;
        return nullptr;
    }
    block->size = size;
    block->heap = heap;
    Registry& r = registry();
    try {
        const std::lock_guard guard(r.mutex);
        r.live.insert(block);
    } catch (const std::bad_alloc&) {
        std::free(block->data);
        delete block;
        return nullptr;
    }
    return block;
}

bool free(Heap heap, Handle handle) noexcept
{
    Registry& r = registry();
    {
        const std::lock_guard guard(r.mutex);
        Block* block = find(handle);
        if (!block || block->heap != heap)
            return false;
        r.live.erase(block);
    }
    std::free(handle->data);
    delete handle;
    return true;
}

bool isValid(Heap heap, Handle handle) noexcept
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    const Block* block = find(handle);
    return block && block->heap == heap;
}

std::size_t size(Handle handle) noexcept
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    const Block* block = find(handle);
    return block ? block->size : 0;
}

std::uint8_t* lock(Handle handle) noexcept
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    Block* block = find(handle);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->data;
}

bool unlock(Handle handle) noexcept
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    Block* block = find(handle);
    if (!block || block->locks == 0)
        return false;
    return --block->locks > 0;
}

unsigned lockCount(Handle handle) noexcept
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    const Block* block = find(handle);
    return block ? block->locks : 0;
}

bool resize(Handle handle, std::size_t newSize) noexcept
{
    if (newSize > kMaxSize)
        return false;
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    Block* block = find(handle);
    // A lock holder keeps the address it was given: a locked block neither moves nor shrinks.
    if (!block || block->locks > 0)
        return false;
    auto* moved = static_cast<std::uint8_t*>(std::realloc(block->data, storageSize(newSize)));
    if (!moved)
        return false;
    block->data = moved;
    block->size = newSize;
    return true;
}

}  // namespace platform::memory
