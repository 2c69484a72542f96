#include "gfx/NxPixelBuffer.h"

#include "kernels/ConvertRows.h"
#include "kernels/Kernels.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <utility>

namespace gfx {

namespace {

bool isSupportedBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// One channel mask decoded once per copy: shift to its lowest set bit and the run of set bits.
struct ChannelExpander {
    int shift = 0;
    int bits = 0;

    explicit ChannelExpander(std::uint32_t mask)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        bits = std::countr_one(mask >> shift);
    }

    std::uint32_t operator()(std::uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        const std::uint32_t raw = pixel >> shift;
        // Runs of 8 bits or more keep their top 8 bits; nothing is left to repeat downwards.
        if (bits >= 8)
            return (raw >> (bits - 8)) & 0xFFu;
        const std::uint32_t v = (raw << (8 - bits)) & 0xFFu;
        return v | (v >> bits);
    }
};

struct ConvertContext {
    const std::uint32_t* palette = nullptr;
    std::uint32_t paletteSize = 0;
    ChannelExpander red{0}, green{0}, blue{0};

    // Indices beyond the table read as black rather than past the header block.
    std::uint32_t entry(std::uint32_t index) const { return index < paletteSize ? palette[index] : 0; }
};

// Converts n pixels starting at source column x of srcRow into dstRow (already at its column).
using RowConverter = void (*)(const std::uint8_t* srcRow, std::int32_t x, std::int32_t n,
                              std::uint8_t* dstRow, const ConvertContext& ctx);

template <int Bits>
std::uint32_t subByteIndex(const std::uint8_t* row, std::int64_t x)
{
    // Most significant bits first within each byte.
    constexpr int perByte = 8 / Bits;
    const std::uint8_t byte = row[x / perByte];
    const int slot = static_cast<int>(x % perByte);
    return (byte >> (8 - Bits * (slot + 1))) & ((1u << Bits) - 1);
}

std::uint32_t readIndex(const std::uint8_t* row, std::int64_t x, int bits)
{
    switch (bits) {
    case 1: return subByteIndex<1>(row, x);
    case 4: return subByteIndex<4>(row, x);
    default: return row[x];
    }
}

void store32(std::uint8_t* dst, std::int32_t i, std::uint32_t v) { std::memcpy(dst + 4 * i, &v, 4); }

std::uint32_t load16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

template <int Bits>
void indexedTo32(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
                 const ConvertContext& ctx)
{
    for (std::int32_t i = 0; i < n; ++i)
        store32(dst, i, ctx.entry(readIndex(src, std::int64_t{x} + i, Bits)) | 0xFF000000u);
}

template <int Bits>
void indexedTo8(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
                const ConvertContext&)
{
    for (std::int32_t i = 0; i < n; ++i)
        dst[i] = static_cast<std::uint8_t>(readIndex(src, std::int64_t{x} + i, Bits));
}

std::uint32_t expand16(std::uint32_t px, const ConvertContext& ctx)
{
    return 0xFF000000u | ctx.red(px) << 16 | ctx.green(px) << 8 | ctx.blue(px);
}

void from16To32(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
                const ConvertContext& ctx)
{
    for (std::int32_t i = 0; i < n; ++i)
        store32(dst, i, expand16(load16(src + 2 * (std::int64_t{x} + i)), ctx));
}

void from16To8(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
               const ConvertContext& ctx)
{
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint32_t px = load16(src + 2 * (std::int64_t{x} + i));
        dst[i] = static_cast<std::uint8_t>(grayOf(ctx.blue(px), ctx.green(px), ctx.red(px)));
    }
}

void from24To32(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
                const ConvertContext&)
{
    const std::uint8_t* p = src + 3 * std::int64_t{x};
#if defined(__x86_64__)
    // The AVX2 level (and any above it) implies SSSE3, whose byte shuffle does four pixels at a time.
    if (kernels::activeLevel() >= kernels::Level::Avx2) {
        kernels::bgr24ToArgb32Ssse3(p, dst, n);
        return;
    }
#endif
    std::int32_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels from three words: every decoded picture passes through here.
        for (; i + 4 <= n; i += 4, p += 12) {
            std::uint32_t a, b, c;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, p + 4, 4);
            std::memcpy(&c, p + 8, 4);
            store32(dst, i, 0xFF000000u | (a & 0xFFFFFFu));
            store32(dst, i + 1, 0xFF000000u | a >> 24 | (b & 0xFFFFu) << 8);
            store32(dst, i + 2, 0xFF000000u | b >> 16 | (c & 0xFFu) << 16);
            store32(dst, i + 3, 0xFF000000u | c >> 8);
        }
    }
    for (; i < n; ++i, p += 3)
        store32(dst, i, 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
}

template <int Bytes>
void bgrTo8(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
            const ConvertContext&)
{
    const std::uint8_t* p = src + Bytes * std::int64_t{x};
    for (std::int32_t i = 0; i < n; ++i, p += Bytes)
        dst[i] = static_cast<std::uint8_t>(grayOf(p[0], p[1], p[2]));
}

void from32To32(const std::uint8_t* src, std::int32_t x, std::int32_t n, std::uint8_t* dst,
                const ConvertContext&)
{
    std::memmove(dst, src + 4 * std::int64_t{x}, 4 * static_cast<std::size_t>(n));
}

RowConverter converterFor(int srcBits, int dstBits)
{
    if (dstBits == 32) {
        switch (srcBits) {
        case 1: return indexedTo32<1>;
        case 4: return indexedTo32<4>;
        case 8: return indexedTo32<8>;
        case 16: return from16To32;
        case 24: return from24To32;
        case 32: return from32To32;
        }
    } else if (dstBits == 8) {
        switch (srcBits) {
        case 1: return indexedTo8<1>;
        case 4: return indexedTo8<4>;
        case 8: return indexedTo8<8>;
        case 16: return from16To8;
        case 24: return bgrTo8<3>;
        case 32: return bgrTo8<4>;
        }
    }
    return nullptr;
}

// Cuts one axis of an equal-sized pair to [0, dLimit) and [0, sLimit). False when nothing is left.
bool cutAxis(std::int64_t& d, std::int64_t& s, std::int64_t& n, std::int64_t dLimit, std::int64_t sLimit)
{
    if (d < 0) {
        s -= d;
        n += d;
        d = 0;
    }
    if (s < 0) {
        d -= s;
        n += s;
        s = 0;
    }
    n = std::min({n, dLimit - d, sLimit - s});
    return n > 0;
}

} // namespace

std::int64_t NxPixelBuffer::rowLength(int bitCount, std::int64_t width)
{
    const std::int64_t bytes = (bitCount * width + 7) >> 3;
    return (bytes + 3) & ~std::int64_t{3};
}

std::uint64_t NxPixelBuffer::colourTableEntries(int bitCount, std::uint32_t compression, std::uint32_t coloursUsed)
{
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        return coloursUsed != 0 ? coloursUsed : 1u << bitCount;
    case 16:
    case 32:
        return std::uint64_t{coloursUsed} + (compression == kBiBitfields ? 3 : 0);
    default:
        return 0;
    }
}

std::uint64_t NxPixelBuffer::headerBlockBytes(const NxBitmapInfoHeader& header)
{
    return header.biSize + 4 * colourTableEntries(header.biBitCount, header.biCompression, header.biClrUsed);
}

bool NxPixelBuffer::attach(const NxBitmapInfoHeader* header, const void* bits)
{
    if (header == nullptr || header->biSize < 40)
        return false;
    if (header->biCompression != kBiRgb && header->biCompression != kBiBitfields)
        return false;
    if (!isSupportedBitCount(header->biBitCount))
        return false;
    // A negative width or a height without a magnitude would make every row address wrong.
    if (header->biWidth < 0 || header->biHeight == INT32_MIN)
        return false;
    const std::int64_t length = rowLength(header->biBitCount, header->biWidth);
    if (length > INT32_MAX)
        return false;

    const auto colours = static_cast<std::uint32_t>(
        colourTableEntries(header->biBitCount, header->biCompression, header->biClrUsed));
    auto* start = static_cast<std::uint8_t*>(const_cast<void*>(bits));
    if (start == nullptr) {
        auto* base = reinterpret_cast<std::uint8_t*>(const_cast<NxBitmapInfoHeader*>(header));
        start = base + headerBlockBytes(*header);
    }
    const std::int32_t height = header->biHeight < 0 ? -header->biHeight : header->biHeight;

    if (m_ownedHeader && reinterpret_cast<const std::byte*>(header) != m_ownedHeader.get())
        m_ownedHeader.reset();
    m_header = header;
    m_bits = start;
    m_colourCount = colours;
    m_height = height;
    if (header->biHeight < 0) {
        m_firstRow = start;
        m_pitch = static_cast<std::int32_t>(length);
    } else {
        m_firstRow = height > 0 ? start + (height - 1) * length : start;
        m_pitch = static_cast<std::int32_t>(-length);
    }
    return true;
}

bool NxPixelBuffer::attachRows(const NxBitmapInfoHeader* header, std::uint8_t* firstRow, std::int32_t pitch)
{
    if (header == nullptr || firstRow == nullptr || header->biBitCount != 32 || header->biWidth <= 0 ||
        header->biHeight == 0 || header->biHeight == INT32_MIN || (pitch < 0) != (header->biHeight > 0))
        return false;
    const std::int64_t step = pitch < 0 ? -std::int64_t{pitch} : pitch;
    if (step < rowLength(32, header->biWidth))
        return false;
    const std::int32_t rows = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    std::uint8_t* lowest = pitch > 0 ? firstRow : firstRow + static_cast<std::ptrdiff_t>(rows - 1) * pitch;
    if (!attach(header, lowest))
        return false;
    m_firstRow = firstRow;
    m_pitch = pitch;
    return true;
}

bool NxPixelBuffer::attachOwned(std::unique_ptr<std::byte[]> headerBlock, const void* bits)
{
    if (!attach(reinterpret_cast<const NxBitmapInfoHeader*>(headerBlock.get()), bits))
        return false;
    m_ownedHeader = std::move(headerBlock);
    return true;
}

void NxPixelBuffer::detach()
{
    m_header = nullptr;
    m_firstRow = nullptr;
    m_bits = nullptr;
    m_colourCount = 0;
    m_pitch = 0;
    m_height = 0;
    m_ownedHeader.reset();
}

const std::uint32_t* NxPixelBuffer::colourTable() const
{
    if (!m_header)
        return nullptr;
    return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(m_header) +
                                                  m_header->biSize);
}

std::uint32_t NxPixelBuffer::channelMask(int channel) const
{
    if (!m_header)
        return 0;
    if (m_header->biCompression == kBiBitfields) {
        std::uint32_t mask = 0;
        std::memcpy(&mask, reinterpret_cast<const std::uint8_t*>(m_header) + 40 + 4 * channel, 4);
        return mask;
    }
    static constexpr std::uint32_t k555[3] = {0x7C00, 0x03E0, 0x001F};
    return m_header->biBitCount == 16 ? k555[channel] : 0;
}

bool NxPixelBuffer::copyFrom(std::int32_t x, std::int32_t y, const NxPixelBuffer& source,
                             const NxRect* sourceRect)
{
    if (isEmpty() || source.isEmpty())
        return false;
    const RowConverter convert = converterFor(source.bitsPerPixel(), bitsPerPixel());
    if (convert == nullptr)
        return false;

    const NxRect whole{0, 0, source.width(), source.height()};
    const NxRect& s = sourceRect ? *sourceRect : whole;
    std::int64_t dy = y, sy = s.top, rows = std::int64_t{s.bottom} - s.top;
    std::int64_t dx = x, sx = s.left, cols = std::int64_t{s.right} - s.left;
    if (!cutAxis(dy, sy, rows, height(), source.height()) || !cutAxis(dx, sx, cols, width(), source.width()))
        return true;

    ConvertContext ctx;
    if (source.bitsPerPixel() <= 8) {
        ctx.palette = source.colourTable();
        ctx.paletteSize = source.colourCount();
    } else if (source.bitsPerPixel() == 16) {
        ctx.red = ChannelExpander(source.redMask());
        ctx.green = ChannelExpander(source.greenMask());
        ctx.blue = ChannelExpander(source.blueMask());
    }
    const int dstBytes = bitsPerPixel() / 8;
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::uint8_t* srcRow = source.row(static_cast<std::int32_t>(sy + i));
        std::uint8_t* dstRow = row(static_cast<std::int32_t>(dy + i)) + dx * dstBytes;
        convert(srcRow, static_cast<std::int32_t>(sx), static_cast<std::int32_t>(cols), dstRow, ctx);
    }
    return true;
}

} // namespace gfx
