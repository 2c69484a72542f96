#pragma once

#include "image/ScriptSurface.h"
#include "platform/MemoryHandle.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace api {

// The bytes behind a script Buffer. Between lock and unlock the block's bytes are size()
// contiguous bytes at the returned address; the address may change from one lock to the next;
// locks nest. Content is never initialised by the block itself.
class MemoryBlock {
public:
    MemoryBlock() = default;
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;
    // Does not free the memory on behalf of a caller that forgot to: release frees first.
    virtual ~MemoryBlock() = default;

    virtual const char* kindName() const = 0;
    virtual bool isValid() const { return false; }
    virtual std::uint32_t size() const { return 0; }
    virtual std::uint8_t* lock() { return nullptr; }
    virtual void unlock() {}
    // Frees the current memory, then obtains `size` bytes.
    virtual bool allocate(std::uint32_t size) { return false; }
    virtual void free() {}
    // Keeps the content up to the smaller size; on failure nothing changes.
    virtual bool resize(std::uint32_t size) = 0;
    // Frees the current memory, then holds the file's bytes (its first `maximum` when not 0).
    virtual bool loadFromFile(std::string_view scriptPath, std::uint32_t maximum) = 0;
    // Replaces the file with the block's bytes; the old file survives any failure.
    virtual bool writeToFile(std::string_view scriptPath);
};

// One lock of a block for a scope.
class BlockLock {
public:
    explicit BlockLock(MemoryBlock& block) : m_block(block), m_data(block.lock()) {}
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;
    ~BlockLock()
    {
        if (m_data)
            m_block.unlock();
    }
    std::uint8_t* data() const { return m_data; }

private:
    MemoryBlock& m_block;
    std::uint8_t* m_data;
};

// The 32-bit surface a conversion makes of a picture's bits block and a header, made ahead of
// time, with what it was made from.
struct PreparedSurface {
    std::vector<std::uint8_t> header;  // every byte of the header block
    std::uint32_t bitsSize = 0;
    std::unique_ptr<gfx::NxSurface> surface;  // null once freed
};

// The two memory-backed kinds: a platform memory handle of one family.
class HeapBlock : public MemoryBlock {
public:
    ~HeapBlock() override;
    bool isValid() const override { return m_handle || m_lent; }
    std::uint32_t size() const override { return m_size; }
    std::uint8_t* lock() override;
    void unlock() override;
    bool allocate(std::uint32_t size) override;
    void free() override;
    bool resize(std::uint32_t size) override;
    bool loadFromFile(std::string_view scriptPath, std::uint32_t maximum) override;

    // Lends the whole block to a surface, which then shows these bytes without a copy being
    // made; a copy is made only when one side writes or locks while the other still has them,
    // so each goes on seeing its own bytes. None while the block is locked, empty or lent.
    std::shared_ptr<image::LentPixels> lend();

    // A surface converted ahead from exactly this block's bytes, so that the conversion need not
    // be made again. Whatever could change the bytes (a lock, resizing, freeing, lending or
    // handing them away) drops it first: it is only ever given out for unchanged bytes.
    void setPreparedSurface(std::shared_ptr<PreparedSurface> prepared) { m_prepared = std::move(prepared); }
    bool hasPreparedSurface() const { return m_prepared && m_prepared->surface; }
    // The prepared surface when the bytes of `header` are the ones it was made with; it leaves
    // the block either way.
    std::unique_ptr<gfx::NxSurface> takePreparedSurface(const std::uint8_t* header, std::size_t headerBytes);

protected:
    explicit HeapBlock(platform::memory::Heap heap) : m_handle(heap, platform::memory::kNull) {}
    // Takes `handle` (of the block's family) with `size` usable bytes.
    void hold(platform::memory::OwnedHandle handle, std::uint32_t size);
    // The handle, made the block's own first; empty when that failed.
    platform::memory::OwnedHandle& owned();

private:
    class Lent;
    friend class Lent;
    // Makes lent bytes the block's own again: taken back once the surface has gone, else
    // copied. False when the copy could not be made (the block still lends).
    bool reclaim();

    platform::memory::OwnedHandle m_handle;
    std::uint32_t m_size = 0;
    std::shared_ptr<Lent> m_lent;  // while the bytes are lent; m_handle is empty then
    std::shared_ptr<PreparedSurface> m_prepared;
};

// Kind "GlobalHeap": what constructors and decoders make; its memory can be handed away.
class GlobalHeapBlock final : public HeapBlock {
public:
    GlobalHeapBlock() : HeapBlock(platform::memory::Heap::Global) {}
    // Holds a block a decoder filled; an empty handle gives an invalid block.
    explicit GlobalHeapBlock(platform::memory::OwnedHandle handle);
    const char* kindName() const override { return "GlobalHeap"; }
    // Gives the handle away without freeing it (clipboard); the block is then empty.
    platform::memory::Handle detach();
};

// Kind "LocalHeap": memory that image plug-ins hand over.
class LocalHeapBlock final : public HeapBlock {
public:
    LocalHeapBlock() : HeapBlock(platform::memory::Heap::Local) {}
    const char* kindName() const override { return "LocalHeap"; }
    // Takes ownership of a local handle somebody else allocated; the usable size is the smaller
    // of `length` and the handle's own size. A handle that is not a live local block gives an
    // invalid block and is left alone.
    static std::unique_ptr<LocalHeapBlock> adopt(platform::memory::Handle handle, std::uint32_t length);
};

}  // namespace api
