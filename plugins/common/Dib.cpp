#include "Dib.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace plugin {

namespace {

constexpr std::uint64_t kAlwaysJustifiedPixels = std::uint64_t{1} << 24;

void put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool fitsSurface(std::uint64_t width, std::uint64_t height)
{
    std::uint64_t pixels = 0;
    std::uint64_t bytes = 0;
    return width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX &&
           !__builtin_mul_overflow(width, height, &pixels) && !__builtin_mul_overflow(pixels, 4, &bytes) &&
           bytes <= SPI_MAX_PICTURE_BYTES;
}

bool justified(std::uint64_t width, std::uint64_t height, std::size_t inputBytes, std::uint64_t maxPixelsPerByte)
{
    std::uint64_t pixels = 0;
    if (__builtin_mul_overflow(width, height, &pixels))
        return false;
    if (pixels <= kAlwaysJustifiedPixels)
        return true;
    std::uint64_t coded = 0;
    return __builtin_mul_overflow(std::uint64_t{inputBytes}, maxPixelsPerByte, &coded) || coded >= pixels;
}

LocalBlock::~LocalBlock()
{
    if (m_handle)
        LocalFree(m_handle);
}

bool LocalBlock::allocate(std::size_t bytes)
{
    const HLOCAL h = LocalAlloc(LHND, bytes);
    if (!h)
        return false;
    auto* p = static_cast<std::uint8_t*>(LocalLock(h));
    if (!p) {
        LocalFree(h);
        return false;
    }
    if (m_handle)
        LocalFree(m_handle);
    m_handle = h;
    m_data = p;
    return true;
}

HLOCAL LocalBlock::release()
{
    const HLOCAL h = m_handle;
    if (h)
        LocalUnlock(h);
    m_handle = 0;
    m_data = nullptr;
    return h;
}

HLOCAL textBlock(std::string_view text)
{
    LocalBlock block;
    if (!block.allocate(text.size() + 1))
        return 0;
    std::memcpy(block.data(), text.data(), text.size());
    return block.release();
}

int DibPicture::create(std::int32_t width, std::int32_t height)
{
    if (width <= 0 || height <= 0 || !fitsSurface(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
        return SPI_NO_MEMORY;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (!m_header.allocate(40) || !m_bits.allocate(size))
        return SPI_NO_MEMORY;
    m_width = width;
    m_height = height;
    std::uint8_t* h = m_header.data();
    put32(h + 0, 40);
    put32(h + 4, static_cast<std::uint32_t>(width));
    put32(h + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
    put16(h + 12, 1);
    put16(h + 14, 32);
    put32(h + 16, 0);  // BI_RGB
    put32(h + 20, static_cast<std::uint32_t>(size));
    return SPI_SUCCESS;
}

bool DibPicture::flipRows(Progress& progress)
{
    const std::size_t s = stride();
    std::vector<std::uint8_t> spare(s);
    for (std::int32_t y = 0; y < m_height / 2; ++y) {
        std::uint8_t* top = m_bits.data() + s * static_cast<std::size_t>(y);
        std::uint8_t* bottom = m_bits.data() + s * static_cast<std::size_t>(m_height - 1 - y);
        std::memcpy(spare.data(), top, s);
        std::memcpy(top, bottom, s);
        std::memcpy(bottom, spare.data(), s);
        if (!progress.rows(2 * (y + 1), m_height))
            return false;
    }
    return progress.report(m_height, m_height);
}

void DibPicture::setDensity(std::int32_t xPerMetre, std::int32_t yPerMetre)
{
    put32(m_header.data() + 24, static_cast<std::uint32_t>(std::max(xPerMetre, 0)));
    put32(m_header.data() + 28, static_cast<std::uint32_t>(std::max(yPerMetre, 0)));
}

int DibPicture::handOver(HLOCAL* info, HLOCAL* bits)
{
    *info = m_header.release();
    *bits = m_bits.release();
    return SPI_SUCCESS;
}

bool Progress::report(std::int64_t done, std::int64_t total)
{
    if (m_stopped)
        return false;
    if (!m_callback)
        return true;
    // The interface counts in int; large totals are scaled down to keep the ratio.
    while (total > INT32_MAX) {
        total >>= 1;
        done >>= 1;
    }
    if (m_callback(static_cast<int>(done), static_cast<int>(total), m_user) != 0)
        m_stopped = true;
    return !m_stopped;
}

void swapRedBlue(std::uint8_t* p, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, p += 4)
        std::swap(p[0], p[2]);
}

}  // namespace plugin
