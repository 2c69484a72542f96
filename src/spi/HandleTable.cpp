// The process-wide table of memory handles behind the local and global heap functions.
//
// Handles are 32-bit values from one counter shared by both heaps, so a freed value comes back
// only after about four billion further allocations: a stale handle from a plug-in reads as
// invalid instead of naming somebody else's block. Every entry point takes any value.

#include <selvarin/spi.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

enum class Heap : unsigned char { Local, Global };

struct Block {
    unsigned char* data = nullptr;
    std::size_t size = 0;
    unsigned locks = 0;
    Heap heap = Heap::Local;
};

constexpr std::size_t kMaxSize = 0xFFFFFFFFu;
// Small values (1, TRUE, an error code) are what a confused plug-in returns most often; they
// never name a block.
constexpr std::uint32_t kFirstHandle = 0x00010000u;

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uint32_t, Block> live;
    std::uint32_t next = kFirstHandle;

    Block* find(std::uint32_t handle, Heap heap)
    {
        auto it = live.find(handle);
        return it != live.end() && it->second.heap == heap ? &it->second : nullptr;
    }

    std::uint32_t nextFree()
    {
        for (;;) {
            const std::uint32_t h = next++;
            if (next < kFirstHandle)
                next = kFirstHandle;
            if (h != 0 && !live.count(h))
                return h;
        }
    }
};

Table& table()
{
    static Table* t = new Table;  // never destroyed: blocks may be freed by late destructors
    return *t;
}

// Blocks of size 0 still own one byte so that a lock gives an address.
std::size_t storageSize(std::size_t size) { return size == 0 ? 1 : size; }

std::uint32_t allocate(Heap heap, unsigned flags, std::size_t bytes) noexcept
{
    if (bytes > kMaxSize)
        return 0;
    auto* data = static_cast<unsigned char*>((flags & LMEM_ZEROINIT) ? std::calloc(1, storageSize(bytes))
                                                                     : std::malloc(storageSize(bytes)));
    if (!data)
        return 0;
    Table& t = table();
    try {
        const std::lock_guard guard(t.mutex);
        const std::uint32_t h = t.nextFree();
        t.live.emplace(h, Block{data, bytes, 0, heap});
        return h;
    } catch (const std::bad_alloc&) {
        std::free(data);
        return 0;
    }
}

void* lock(Heap heap, std::uint32_t handle) noexcept
{
    Table& t = table();
    const std::lock_guard guard(t.mutex);
    Block* b = t.find(handle, heap);
    if (!b)
        return nullptr;
    ++b->locks;
    return b->data;
}

int unlock(Heap heap, std::uint32_t handle) noexcept
{
    Table& t = table();
    const std::lock_guard guard(t.mutex);
    Block* b = t.find(handle, heap);
    if (!b || b->locks == 0)
        return 0;
    return --b->locks > 0 ? 1 : 0;
}

std::uint32_t release(Heap heap, std::uint32_t handle) noexcept
{
    unsigned char* data = nullptr;
    {
        Table& t = table();
        const std::lock_guard guard(t.mutex);
        auto it = t.live.find(handle);
        if (it == t.live.end() || it->second.heap != heap)
            return handle;
        data = it->second.data;
        t.live.erase(it);
    }
    std::free(data);
    return 0;
}

std::size_t size(Heap heap, std::uint32_t handle) noexcept
{
    Table& t = table();
    const std::lock_guard guard(t.mutex);
    const Block* b = t.find(handle, heap);
    return b ? b->size : 0;
}

unsigned flags(Heap heap, std::uint32_t handle) noexcept
{
    Table& t = table();
    const std::lock_guard guard(t.mutex);
    const Block* b = t.find(handle, heap);
    if (!b)
        return LMEM_INVALID_HANDLE;
    return b->locks > LMEM_LOCKCOUNT ? LMEM_LOCKCOUNT : b->locks;
}

std::uint32_t reallocate(Heap heap, std::uint32_t handle, std::size_t bytes, unsigned flags) noexcept
{
    Table& t = table();
    const std::lock_guard guard(t.mutex);
    Block* b = t.find(handle, heap);
    if (!b)
        return 0;
    if (flags & LMEM_MODIFY)
        return handle;
    // A lock holder keeps the address it was given: a locked block neither moves nor changes size.
    if (bytes > kMaxSize || b->locks > 0)
        return 0;
    auto* moved = static_cast<unsigned char*>(std::realloc(b->data, storageSize(bytes)));
    if (!moved)
        return 0;
    if ((flags & LMEM_ZEROINIT) && bytes > b->size)
        std::memset(moved + b->size, 0, bytes - b->size);
    b->data = moved;
    b->size = bytes;
    return handle;
}

}  // namespace

extern "C" {

HLOCAL LocalAlloc(unsigned int flags, size_t bytes) { return allocate(Heap::Local, flags, bytes); }
void* LocalLock(HLOCAL mem) { return lock(Heap::Local, mem); }
int LocalUnlock(HLOCAL mem) { return unlock(Heap::Local, mem); }
HLOCAL LocalFree(HLOCAL mem) { return release(Heap::Local, mem); }
size_t LocalSize(HLOCAL mem) { return size(Heap::Local, mem); }
unsigned int LocalFlags(HLOCAL mem) { return flags(Heap::Local, mem); }
HLOCAL LocalReAlloc(HLOCAL mem, size_t bytes, unsigned int f) { return reallocate(Heap::Local, mem, bytes, f); }

HGLOBAL GlobalAlloc(unsigned int flags, size_t bytes) { return allocate(Heap::Global, flags, bytes); }
void* GlobalLock(HGLOBAL mem) { return lock(Heap::Global, mem); }
int GlobalUnlock(HGLOBAL mem) { return unlock(Heap::Global, mem); }
HGLOBAL GlobalFree(HGLOBAL mem) { return release(Heap::Global, mem); }
size_t GlobalSize(HGLOBAL mem) { return size(Heap::Global, mem); }
unsigned int GlobalFlags(HGLOBAL mem) { return flags(Heap::Global, mem); }
HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, unsigned int f) { return reallocate(Heap::Global, mem, bytes, f); }

}  // extern "C"
