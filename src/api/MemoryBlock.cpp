#include "MemoryBlock.h"

#include "platform/FileIo.h"

#include <algorithm>

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

std::uint8_t* HeapBlock::lock() { return memory::lock(m_handle.get()); }

void HeapBlock::unlock() { memory::unlock(m_handle.get()); }

void HeapBlock::hold(memory::OwnedHandle handle, std::uint32_t size)
{
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
    m_handle.reset();
    m_size = 0;
}

bool HeapBlock::resize(std::uint32_t size)
{
    if (!m_handle || !memory::resize(m_handle.get(), size))
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
