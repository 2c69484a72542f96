#pragma once

#include <cstdint>

namespace gfx {

// Rectangles are (left, top, right, bottom) with right and bottom exclusive.
struct NxRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr std::int32_t width() const { return right - left; }
    constexpr std::int32_t height() const { return bottom - top; }
    constexpr bool isEmpty() const { return left >= right || top >= bottom; }
    // Whether every point of r lies inside this rectangle.
    constexpr bool contains(const NxRect& r) const
    {
        return left <= r.left && top <= r.top && right >= r.right && bottom >= r.bottom;
    }
    friend constexpr bool operator==(const NxRect&, const NxRect&) = default;
};

// The 40-byte bitmap information header of uncompressed device-independent bitmaps, laid out
// as stored in files and in memory blocks handed over by decoders and plug-ins.
struct NxBitmapInfoHeader {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(NxBitmapInfoHeader) == 40);

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiBitfields = 3;

// A window colour (0x00BBGGRR) as a library colour (0xAARRGGBB), fully opaque.
constexpr std::uint32_t colourFromWindowColour(std::uint32_t bgr)
{
    return 0xFF000000u | ((bgr & 0xFFu) << 16) | (bgr & 0xFF00u) | ((bgr >> 16) & 0xFFu);
}

} // namespace gfx
