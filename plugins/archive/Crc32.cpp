#include "Crc32.h"

#include <array>
#include <cstring>

namespace archive_spi {
namespace {

// Eight tables: eight bytes are folded per step ("slicing by eight"), several times faster than
// one byte at a time, which matters for stored members that are checked but not decompressed.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables makeTables()
{
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        t[0][i] = c;
    }
    for (std::size_t s = 1; s < 8; ++s) {
        for (std::uint32_t i = 0; i < 256; ++i)
            t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
    return t;
}

constexpr Tables kTables = makeTables();

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t size) noexcept
{
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    while (size >= 8) {
        std::uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= c;  // little-endian host (x86-64)
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^ kTables[4][lo >> 24] ^
            kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^ kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size--)
        c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFF];
    return ~c;
}

}  // namespace archive_spi
