#pragma once

#include <cstddef>
#include <cstdint>

// Movable memory handles: the blocks that Buffers, the clipboard and image plug-ins pass between
// each other. They are the handles of the plug-in interface's table (libselvarin-spi), so a
// block a plug-in allocates is a block here and the other way round. A handle stays the same for
// the life of its block while the bytes behind it may move on resize; locks nest and are
// counted. Every function takes any value as a handle and refuses one that is not live, so a
// stale handle from a plug-in is a failure, not a crash.
namespace platform::memory {

// Two heap families, global and local; a handle answers only to its own family's free.
enum class Heap : std::uint8_t { Global, Local };

// The interface's 32-bit handle value; 0 is null.
using Handle = std::uint32_t;
inline constexpr Handle kNull = 0;

// Largest block: sizes are 32-bit words wherever blocks cross a boundary.
inline constexpr std::size_t kMaxSize = 0xFFFFFFFFu;

// A new block of `size` bytes (0 allowed), content not initialised; null on failure.
Handle allocate(Heap heap, std::size_t size) noexcept;
// Returns the block to the system. False (and nothing happens) when the handle is not live or
// belongs to the other family.
bool free(Heap heap, Handle handle) noexcept;
// Whether `handle` is a live block of `heap`.
bool isValid(Heap heap, Handle handle) noexcept;
// The size asked for; 0 for a handle that is not live.
std::size_t size(Handle handle) noexcept;
// The first byte, valid until the matching unlock; null for a handle that is not live. A block
// of size 0 still gives a non-null address.
std::uint8_t* lock(Handle handle) noexcept;
// Ends one lock. True while other locks remain.
bool unlock(Handle handle) noexcept;
// At most 255, as the interface reports it.
unsigned lockCount(Handle handle) noexcept;
// New size, content kept up to the smaller size; the bytes may move. Refused while the block is
// locked. On failure nothing changes.
bool resize(Handle handle, std::size_t newSize) noexcept;

// Owns one handle of a family; frees it on destruction unless released.
class OwnedHandle {
public:
    OwnedHandle() noexcept = default;
    OwnedHandle(Heap heap, Handle handle) noexcept : m_heap(heap), m_handle(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : m_heap(other.m_heap), m_handle(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_heap = other.m_heap;
            m_handle = other.release();
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { reset(); }

    static OwnedHandle allocate(Heap heap, std::size_t size) noexcept { return {heap, memory::allocate(heap, size)}; }

    Handle get() const noexcept { return m_handle; }
    Heap heap() const noexcept { return m_heap; }
    explicit operator bool() const noexcept { return m_handle != kNull; }
    std::size_t size() const noexcept { return memory::size(m_handle); }
    Handle release() noexcept
    {
        Handle h = m_handle;
        m_handle = kNull;
        return h;
    }
    void reset() noexcept
    {
        if (m_handle)
            memory::free(m_heap, m_handle);
        m_handle = kNull;
    }

private:
    Heap m_heap = Heap::Global;
    Handle m_handle = kNull;
};

// One lock held for a scope.
class Lock {
public:
    explicit Lock(Handle handle) noexcept : m_handle(handle), m_data(memory::lock(handle)) {}
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock()
    {
        if (m_data)
            memory::unlock(m_handle);
    }
    std::uint8_t* data() const noexcept { return m_data; }

private:
    Handle m_handle;
    std::uint8_t* m_data;
};

}  // namespace platform::memory
