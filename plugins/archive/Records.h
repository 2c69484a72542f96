#pragma once

#include <selvarin/spi.h>

#include <cstdint>
#include <string_view>
#include <vector>

// The listing as the viewer takes it: entry records in one local block, ended by a zero record.
namespace archive_spi {

class RecordList {
public:
    // One entry; `folder` and `name` are UTF-8 with "/" separators, `name` empty for a directory.
    // Members whose sizes do not fit the record's 32 bits are left out. False when the block
    // would outgrow what a handle can hold (the listing is then incomplete).
    bool add(std::string_view method, std::uint32_t position, std::uint64_t compressedSize, std::uint64_t size,
             std::int64_t mtime, std::string_view folder, std::string_view name, std::uint32_t crc);

    std::size_t size() const { return m_records.size(); }
    // A new local block with the records and the end record, or 0 when it cannot be had.
    HLOCAL toHandle() const;

private:
    std::vector<SpiFileInfo> m_records;
};

// Decompressing more than this many bytes for a source of `sourceSize` bytes means a bomb: real
// archives of pictures stay far below a thousandfold.
std::uint64_t expansionBudget(std::uint64_t sourceSize) noexcept;

}  // namespace archive_spi
