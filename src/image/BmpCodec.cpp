#include "BmpCodec.h"

#include "gfx/NxPixelBuffer.h"

#include <algorithm>
#include <cstring>

namespace image {

namespace memory = platform::memory;

namespace {

constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kFileHeaderBytes = 14;
// From this header size on, the three bit-field masks are part of the header itself.
constexpr std::uint32_t kHeaderWithMasks = 52;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;

bool startsWithBm(Bytes data) { return data.size() >= 2 && data[0] == 'B' && data[1] == 'M'; }

// The info header and what follows it: the data behind a file header, if there is one.
std::optional<Bytes> infoHeaderPart(Bytes data)
{
    if (data.size() < kInfoHeaderBytes)
        return std::nullopt;
    if (startsWithBm(data))
        data = data.subspan(kFileHeaderBytes);
    if (data.size() < kInfoHeaderBytes || readU32(data.data()) < kInfoHeaderBytes)
        return std::nullopt;
    return data;
}

bool hasCheckedTable(int bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 32;
}

// Pixel runs of the RLE4 decoder address half bytes: even positions are high halves.
void putNibble(std::uint8_t* out, std::size_t position, std::uint8_t value)
{
    std::uint8_t& b = out[position >> 1];
    b = (position & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F))
                       : static_cast<std::uint8_t>((b & 0x0F) | (value << 4));
}

// The shared loop of both decoders. Positions count pixels: PerByte is 2 for RLE4 (half bytes).
template <int PerByte, typename Run, typename Literal>
bool decodeRle(Bytes data, std::size_t capacity, std::size_t rowStep, Run run, Literal literal)
{
    std::size_t rowStart = 0;
    std::size_t position = 0;
    std::size_t i = 0;
    const std::size_t n = data.size();
    while (n - i >= 2) {
        const std::uint8_t first = data[i];
        const std::uint8_t second = data[i + 1];
        i += 2;
        if (first > 0) {
            if (position > capacity || first > capacity - position)
                return false;
            run(position, first, second);
            position += first;
            continue;
        }
        switch (second) {
        case 0:  // end of line
            rowStart += rowStep * PerByte;
            position = rowStart;
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // delta: not supported
            return false;
        default: {
            const std::size_t bytes = (second + PerByte - 1) / PerByte;
            const std::size_t padded = (bytes + 1) & ~std::size_t{1};
            if (n - i < padded || position > capacity || second > capacity - position)
                return false;
            literal(position, second, data.data() + i);
            position += second;
            i += padded;
            break;
        }
        }
    }
    return false;
}

}  // namespace

bool decodeRle8(Bytes data, std::span<std::uint8_t> out, std::size_t rowStep)
{
    std::uint8_t* dst = out.data();
    return decodeRle<1>(
        data, out.size(), rowStep,
        [dst](std::size_t at, std::size_t count, std::uint8_t value) { std::memset(dst + at, value, count); },
        [dst](std::size_t at, std::size_t count, const std::uint8_t* src) { std::memcpy(dst + at, src, count); });
}

bool decodeRle4(Bytes data, std::span<std::uint8_t> out, std::size_t rowStep)
{
    std::uint8_t* dst = out.data();
    return decodeRle<2>(
        data, out.size() * 2, rowStep,
        [dst](std::size_t at, std::size_t count, std::uint8_t value) {
            for (std::size_t k = 0; k < count; ++k)
                putNibble(dst, at + k, (k & 1) ? value & 0x0F : value >> 4);
        },
        [dst](std::size_t at, std::size_t count, const std::uint8_t* src) {
            for (std::size_t k = 0; k < count; ++k)
                putNibble(dst, at + k, (k & 1) ? src[k >> 1] & 0x0F : src[k >> 1] >> 4);
        });
}

bool isSupportedBmp(Bytes data)
{
    const std::size_t start = startsWithBm(data) ? kFileHeaderBytes : 0;
    if (data.size() < start + 16)
        return false;
    const std::uint8_t* h = data.data() + start;
    const std::uint16_t bitCount = readU16(h + 14);
    return readU32(h) >= kInfoHeaderBytes && readU16(h + 12) == 1 &&
           (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32);
}

std::optional<PictureInfo> pictureInfoBmp(Bytes data)
{
    const auto info = infoHeaderPart(data);
    if (!info)
        return std::nullopt;
    const std::uint8_t* h = info->data();
    return PictureInfo{readI32(h + 4), readI32(h + 8), readU16(h + 14)};
}

std::optional<DibPair> loadBmp(Bytes data, const DecodeLimits& limits)
{
    const auto info = infoHeaderPart(data);
    if (!info)
        return std::nullopt;
    const std::uint8_t* h = info->data();
    const std::uint32_t headerSize = readU32(h);
    // A header larger than the data would be copied from beyond it.
    if (headerSize > info->size())
        return std::nullopt;
    const std::int32_t width = readI32(h + 4);
    const std::int32_t height = readI32(h + 8);
    const int bitCount = readU16(h + 14);
    const std::uint32_t compression = readU32(h + 16);
    const std::uint32_t imageSize = readU32(h + 20);

    // The colour table follows the header as long as it is; masks that a longer header already
    // carries are not repeated behind it in the data, but the copy keeps the 40-byte layout's
    // size and repeats them there.
    const std::uint64_t tableBytes = 4 * gfx::NxPixelBuffer::colourTableEntries(bitCount, compression, readU32(h + 32));
    std::uint64_t tableInData = tableBytes;
    if (compression == kBitfields && (bitCount == 16 || bitCount == 32) && headerSize >= kHeaderWithMasks)
        tableInData -= 12;
    std::uint64_t remaining = info->size() - headerSize;
    if (hasCheckedTable(bitCount) && remaining < tableInData)
        return std::nullopt;
    const std::uint64_t headerBytes = headerSize + tableBytes;
    if (headerBytes > memory::kMaxSize)
        return std::nullopt;

    // Rows of a negative width would have no sound length.
    if (width < 0)
        return std::nullopt;
    // A bit count of up to 65535 makes rows of up to 2^44 bytes: the products are checked.
    const std::uint64_t stride = ((((std::uint64_t{static_cast<std::uint32_t>(bitCount)} * width + 7) >> 3) + 3) >> 2) * 4;
    const std::uint64_t rows = height < 0 ? -std::int64_t{height} : height;
    std::uint64_t bitsBytes = 0;
    if (!checkedMul(rows, stride, bitsBytes) || bitsBytes > limits.maxBitsBytes || bitsBytes > memory::kMaxSize ||
        !fitsSurface(static_cast<std::uint64_t>(width), rows, limits))
        return std::nullopt;
    const bool runLength = compression == kRle8 || compression == kRle4;
    if (!runLength && compression != kRgb && compression != kBitfields)
        return std::nullopt;
    remaining -= tableInData;
    const Bytes pixels = info->subspan(headerSize + tableInData);
    if (!runLength && remaining < bitsBytes)
        return std::nullopt;
    // The decoders write downwards from the lowest address, so a top-down picture would walk
    // out of its block; each decoder fits one bit count only.
    if (runLength && (height < 0 || (compression == kRle8 ? bitCount != 8 : bitCount != 4) || remaining < imageSize))
        return std::nullopt;
    // A run covers at most 255 pixels of one row, so data that could not reach every pixel of a
    // large picture are refused before its rows are allocated.
    if (runLength && rows * static_cast<std::uint64_t>(width) > limits.unjustifiedPixels &&
        remaining / 2 < rows * ((static_cast<std::uint64_t>(width) + 254) / 255))
        return std::nullopt;

    DibPair pair;
    pair.header = memory::OwnedHandle::allocate(memory::Heap::Global, headerBytes);
    if (!pair.header)
        return std::nullopt;
    {
        const memory::Lock out(pair.header.get());
        std::memcpy(out.data(), h, headerSize);
        std::memcpy(out.data() + headerSize, h + headerSize, tableInData);
        if (tableBytes > tableInData)
            std::memcpy(out.data() + headerSize + tableInData, h + 40, tableBytes - tableInData);
        if (runLength)
            writeU32(out.data() + 16, kRgb);
    }

    pair.bits = memory::OwnedHandle::allocate(memory::Heap::Global, bitsBytes);
    if (!pair.bits)
        return std::nullopt;
    const memory::Lock out(pair.bits.get());
    if (!runLength) {
        std::memcpy(out.data(), pixels.data(), bitsBytes);
        return pair;
    }
    // Pixels the data never reach read as colour 0 rather than as leftover memory.
    std::memset(out.data(), 0, bitsBytes);
    const std::span<std::uint8_t> target(out.data(), bitsBytes);
    const bool decoded = compression == kRle8 ? decodeRle8(pixels, target, stride) : decodeRle4(pixels, target, stride);
    if (!decoded)
        return std::nullopt;
    return pair;
}

std::optional<std::array<std::uint8_t, 14>> createBmpFileHeader(Bytes header)
{
    if (header.size() < 24)
        return std::nullopt;
    const auto offset = static_cast<std::uint32_t>(header.size() + kFileHeaderBytes);
    std::array<std::uint8_t, 14> file{};
    file[0] = 'B';
    file[1] = 'M';
    writeU32(file.data() + 2, readU32(header.data() + 20) + offset);
    writeU32(file.data() + 10, offset);
    return file;
}

}  // namespace image
