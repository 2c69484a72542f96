#pragma once

#include "gfx/NxTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gfx {

// A view over an uncompressed device-independent bitmap (1, 4, 8, 16, 24 or 32 bits per pixel,
// top-down or bottom-up). Row y (0 = top) always lies at firstRow() + y * pitch().
class NxPixelBuffer {
public:
    NxPixelBuffer() = default;
    NxPixelBuffer(const NxPixelBuffer&) = delete;
    NxPixelBuffer& operator=(const NxPixelBuffer&) = delete;
    virtual ~NxPixelBuffer() = default;

    // Checks the header and computes the colour count, pixel start, row addressing. Without a
    // pixel pointer the pixels follow the colour table. A refused header leaves the view as it was.
    [[nodiscard]] bool attach(const NxBitmapInfoHeader* header, const void* bits = nullptr);
    // As attach for 32 bpp rows further apart than their length: row 0 at firstRow, then pitch
    // bytes per row, positive for a top-down header and negative for a bottom-up one.
    [[nodiscard]] bool attachRows(const NxBitmapInfoHeader* header, std::uint8_t* firstRow, std::int32_t pitch);
    // As attach, and the view frees the header block when it is destroyed or re-attached.
    [[nodiscard]] bool attachOwned(std::unique_ptr<std::byte[]> headerBlock, const void* bits = nullptr);
    void detach();

    bool isEmpty() const { return m_header == nullptr; }
    const NxBitmapInfoHeader* header() const { return m_header; }
    std::uint8_t* firstRow() const { return m_firstRow; }
    std::uint8_t* bits() const { return m_bits; }
    std::int32_t pitch() const { return m_pitch; }
    std::uint32_t colourCount() const { return m_colourCount; }
    std::uint8_t* row(std::int32_t y) const { return m_firstRow + static_cast<std::ptrdiff_t>(y) * m_pitch; }

    std::int32_t width() const { return m_header ? m_header->biWidth : 0; }
    std::int32_t height() const { return m_height; }
    int bitsPerPixel() const { return m_header ? m_header->biBitCount : 0; }
    bool isTopDown() const { return m_header && m_header->biHeight < 0; }
    // Colour table entries (B, G, R, reserved as one 0xAARRGGBB word), right after the header.
    const std::uint32_t* colourTable() const;
    // Channel masks of 16 and 32 bpp data: the bitfields, or 5-5-5 for plain 16 bpp.
    std::uint32_t redMask() const { return channelMask(0); }
    std::uint32_t greenMask() const { return channelMask(1); }
    std::uint32_t blueMask() const { return channelMask(2); }

    // Bytes per row: bit count * width rounded up to whole bytes, then to a multiple of 4.
    static std::int64_t rowLength(int bitCount, std::int64_t width);
    // Entries of the colour table behind a header, 4 bytes each; the three masks of bit-field
    // data count as entries. 1, 4 and 8 bpp without a colours-used count have a full palette.
    static std::uint64_t colourTableEntries(int bitCount, std::uint32_t compression, std::uint32_t coloursUsed);
    // Bytes of a header block: the header as long as its size field says, then its colour table.
    static std::uint64_t headerBlockBytes(const NxBitmapInfoHeader& header);

    // Copies source (or sourceRect of it) to (x, y) of this view with format conversion; both
    // rectangles are cut to their bitmaps keeping equal sizes. False when the source is empty or
    // no converter exists for the pair (this view unchanged); true otherwise, also when nothing
    // was left to copy.
    [[nodiscard]] bool copyFrom(std::int32_t x, std::int32_t y, const NxPixelBuffer& source,
                                const NxRect* sourceRect = nullptr);

private:
    std::uint32_t channelMask(int channel) const;

    const NxBitmapInfoHeader* m_header = nullptr;
    std::uint8_t* m_firstRow = nullptr;
    std::uint8_t* m_bits = nullptr;
    std::uint32_t m_colourCount = 0;
    std::int32_t m_pitch = 0;
    std::int32_t m_height = 0;
    std::unique_ptr<std::byte[]> m_ownedHeader;
};

// Gray level of a colour: the three weights sum to 2^24.
constexpr std::uint32_t grayOf(std::uint32_t b, std::uint32_t g, std::uint32_t r)
{
    return (b * 0x1D4E5Eu + g * 0x962C23u + r * 0x4C857Fu) >> 24;
}

} // namespace gfx
