#include "MemoryBlock.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <cstring>

namespace api {

namespace memory = platform::memory;

bool MemoryBlock::writeToFile(std::string_view scriptPath)
{
    if (!isValid())
        return false;
    const BlockLock lock(*this);
    if (!lock.data())
        return false;
    return platform::writeFileReplacing(scriptPath, lock.data(), size()).ok();
}

// The bytes of a lent block, locked for as long as the surface shows them, with the link back
// to the block that lent them (cut when that block takes a copy or goes).
class HeapBlock::Lent final : public image::LentPixels {
public:
    Lent(HeapBlock& owner, memory::OwnedHandle handle) noexcept
        : m_owner(&owner), m_handle(std::move(handle)), m_data(memory::lock(m_handle.get()))
    {
    }
    ~Lent() override
    {
        if (m_data)
            memory::unlock(m_handle.get());
    }
    std::uint8_t* data() const override { return m_data; }
    bool separate() override { return !m_owner || m_owner->reclaim(); }

    // The handle back, unlocked, for the block that lent it.
    memory::OwnedHandle giveBack() noexcept
    {
        if (m_data)
            memory::unlock(m_handle.get());
        m_data = nullptr;
        m_owner = nullptr;
        return std::move(m_handle);
    }

    HeapBlock* m_owner;
    memory::OwnedHandle m_handle;
    std::uint8_t* m_data;
};

HeapBlock::~HeapBlock()
{
    if (m_lent)
        m_lent->m_owner = nullptr;
}

std::shared_ptr<image::LentPixels> HeapBlock::lend()
{
    m_prepared.reset();
    // One lender per block: two surfaces over the same bytes would see each other's writes.
    if (m_lent || !m_handle || memory::lockCount(m_handle.get()) != 0)
        return nullptr;
    const memory::Heap heap = m_handle.heap();
    auto lent = std::make_shared<Lent>(*this, std::move(m_handle));
    m_handle = memory::OwnedHandle(heap, memory::kNull);
    if (!lent->data()) {
        m_handle = lent->giveBack();
        return nullptr;
    }
    m_lent = lent;
    return lent;
}

bool HeapBlock::reclaim()
{
    if (!m_lent)
        return true;
    if (m_lent.use_count() == 1) {
        m_handle = m_lent->giveBack();
    } else {
        const std::size_t bytes = m_lent->m_handle.size();
        memory::OwnedHandle copy = memory::OwnedHandle::allocate(m_handle.heap(), bytes);
        const memory::Lock lock(copy.get());
        if (!lock.data())
            return false;
        if (bytes)
            std::memcpy(lock.data(), m_lent->data(), bytes);
        m_lent->m_owner = nullptr;
        m_handle = std::move(copy);
    }
    m_lent.reset();
    return true;
}

std::unique_ptr<gfx::NxSurface> HeapBlock::takePreparedSurface(const std::uint8_t* header, std::size_t headerBytes)
{
    const std::shared_ptr<PreparedSurface> prepared = std::move(m_prepared);
    if (!prepared || !prepared->surface || !header || prepared->bitsSize != m_size ||
        prepared->header.size() != headerBytes || std::memcmp(prepared->header.data(), header, headerBytes) != 0)
        return nullptr;
    return std::move(prepared->surface);
}

memory::OwnedHandle& HeapBlock::owned()
{
    m_prepared.reset();
    (void)reclaim();
    return m_handle;
}

// The lent address may be written through: the bytes can no longer be known unchanged.
std::uint8_t* HeapBlock::lock()
{
    m_prepared.reset();
    return reclaim() ? memory::lock(m_handle.get()) : nullptr;
}

void HeapBlock::unlock() { memory::unlock(m_handle.get()); }

void HeapBlock::hold(memory::OwnedHandle handle, std::uint32_t size)
{
    m_prepared.reset();
    m_handle = std::move(handle);
    m_size = m_handle ? size : 0;
}

bool HeapBlock::allocate(std::uint32_t size)
{
    free();
    memory::OwnedHandle handle = memory::OwnedHandle::allocate(m_handle.heap(), size);
    if (!handle)
        return false;
    hold(std::move(handle), size);
    return true;
}

void HeapBlock::free()
{
    m_prepared.reset();
    // Lent bytes stay with the surface; the block lets go of them without a copy.
    if (m_lent) {
        m_lent->m_owner = nullptr;
        m_lent.reset();
    }
    m_handle.reset();
    m_size = 0;
}

bool HeapBlock::resize(std::uint32_t size)
{
    m_prepared.reset();
    if (!reclaim() || !m_handle || !memory::resize(m_handle.get(), size))
        return false;
    m_size = size;
    return true;
}

bool HeapBlock::loadFromFile(std::string_view scriptPath, std::uint32_t maximum)
{
    free();
    auto loaded = platform::readFileToBlock(scriptPath, maximum, m_handle.heap());
    if (!loaded)
        return false;
    const auto size = static_cast<std::uint32_t>(loaded.value().size());
    hold(std::move(loaded.value()), size);
    return true;
}

GlobalHeapBlock::GlobalHeapBlock(memory::OwnedHandle handle) : GlobalHeapBlock()
{
    if (handle && handle.heap() == memory::Heap::Global) {
        const auto size = static_cast<std::uint32_t>(handle.size());
        hold(std::move(handle), size);
    }
}

memory::Handle GlobalHeapBlock::detach()
{
    memory::Handle h = owned().release();
    hold({}, 0);
    return h;
}

std::unique_ptr<LocalHeapBlock> LocalHeapBlock::adopt(memory::Handle handle, std::uint32_t length)
{
    auto block = std::make_unique<LocalHeapBlock>();
    if (memory::isValid(memory::Heap::Local, handle)) {
        const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(length, memory::size(handle)));
        block->hold(memory::OwnedHandle(memory::Heap::Local, handle), size);
    }
    return block;
}

}  // namespace api
