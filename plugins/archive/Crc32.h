#pragma once

#include <cstddef>
#include <cstdint>

namespace archive_spi {

// The CRC-32 of zip (reflected polynomial 0xEDB88320), continued from `crc` (0 to start).
std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t size) noexcept;

}  // namespace archive_spi
