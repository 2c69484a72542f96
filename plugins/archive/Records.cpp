#include "Records.h"

#include "Names.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace archive_spi {

bool RecordList::add(std::string_view method, std::uint32_t position, std::uint64_t compressedSize, std::uint64_t size,
                     std::int64_t mtime, std::string_view folder, std::string_view name, std::uint32_t crc)
{
    constexpr std::uint64_t kMaxRecords = 0xFFFFFFFFu / sizeof(SpiFileInfo) - 1;
    if (m_records.size() >= kMaxRecords)
        return false;
    if (size > 0xFFFFFFFFu || compressedSize > 0xFFFFFFFFu)
        return true;
    SpiFileInfo r{};
    std::memcpy(r.method, method.data(), std::min(method.size(), sizeof r.method));
    r.position = position;
    r.compsize = static_cast<std::uint32_t>(compressedSize);
    r.filesize = static_cast<std::uint32_t>(size);
    r.timestamp = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(mtime, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    const std::string_view path = utf8Prefix(folder, sizeof r.path - 1);
    std::memcpy(r.path, path.data(), path.size());
    const std::string fitted = fitName(name, sizeof r.filename - 1);
    std::memcpy(r.filename, fitted.data(), fitted.size());
    r.crc = crc;
    // A record whose first byte is 0 would end the list early: an entry with an empty method
    // gets a placeholder.
    if (r.method[0] == 0)
        std::memcpy(r.method, "-", 1);
    m_records.push_back(r);
    return true;
}

HLOCAL RecordList::toHandle() const
{
    const std::size_t bytes = (m_records.size() + 1) * sizeof(SpiFileInfo);
    const HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
    if (!handle)
        return 0;
    void* p = LocalLock(handle);
    if (!p) {
        LocalFree(handle);
        return 0;
    }
    if (!m_records.empty())
        std::memcpy(p, m_records.data(), m_records.size() * sizeof(SpiFileInfo));
    LocalUnlock(handle);
    return handle;
}

std::uint64_t expansionBudget(std::uint64_t sourceSize) noexcept
{
    constexpr std::uint64_t kRatio = 1100;
    constexpr std::uint64_t kFloor = 64u << 20;
    return sourceSize > (UINT64_MAX - kFloor) / kRatio ? UINT64_MAX : sourceSize * kRatio + kFloor;
}

}  // namespace archive_spi
