#pragma once

#include "gfx/NxSurface.h"
#include "platform/MemoryHandle.h"

#include <selvarin/spi.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <span>

// The form every decoder returns a picture in: a header block (the 40-byte bitmap information
// header and its colour table or masks) and a bits block (rows padded to 4 bytes, bottom-up for
// a positive height).
namespace image {

struct DibPair {
    platform::memory::OwnedHandle header;
    platform::memory::OwnedHandle bits;
};

struct PictureInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitCount = 0;
};

// Plug-ins refuse pictures by the cap the public header states; it must be the Surface's own.
static_assert(static_cast<std::uint64_t>(gfx::kMaxSurfaceBytes) == SPI_MAX_PICTURE_BYTES);

// Bounds for untrusted pictures, checked before anything is allocated.
struct DecodeLimits {
    // A picture whose bits would need more bytes is refused.
    std::uint64_t maxBitsBytes = platform::memory::kMaxSize;
    // ... and one whose 32-bit Surface would.
    std::uint64_t maxSurfaceBytes = gfx::kMaxSurfaceBytes;
    // Above this many pixels a picture must come with at least the data its size implies (the
    // least a complete picture of that size can be coded in); below it, truncated data still
    // decode as far as they go.
    std::uint64_t unjustifiedPixels = std::uint64_t{1} << 24;
    // Set by another thread to abandon a decode that nobody waits for any more; looked at
    // between rows.
    const std::atomic<bool>* cancel = nullptr;
};

// a × b, false when the product does not fit 64 bits.
inline bool checkedMul(std::uint64_t a, std::uint64_t b, std::uint64_t& out) { return !__builtin_mul_overflow(a, b, &out); }

// Whether a picture of width × rows pixels can become a 32-bit Surface within the limits.
inline bool fitsSurface(std::uint64_t width, std::uint64_t rows, const DecodeLimits& limits)
{
    std::uint64_t pixels = 0;
    std::uint64_t bytes = 0;
    return checkedMul(width, rows, pixels) && checkedMul(pixels, 4, bytes) && bytes <= limits.maxSurfaceBytes;
}

using Bytes = std::span<const std::uint8_t>;

inline std::uint16_t readU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t readU32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
inline std::int32_t readI32(const std::uint8_t* p) { return static_cast<std::int32_t>(readU32(p)); }
inline void writeU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void writeU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace image
