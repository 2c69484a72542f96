#include "gfx/NxSurface.h"

#include "gfx/NxBlitEngine.h"
#include "gfx/NxClip.h"
#include "gfx/NxFill.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace gfx {

NxSurface::NxSurface(int bitsPerPixel)
    : m_requestedBits(bitsPerPixel)
    , m_engine(&engineFor(bitsPerPixel))
{
}

NxSurface::~NxSurface() = default;

bool NxSurface::create(std::int32_t width, std::int32_t height) { return allocate(width, height, true); }

std::unique_ptr<std::byte[]> NxSurface::makeHeader(std::int32_t width, std::int32_t height, std::int64_t& bytes) const
{
    if ((m_requestedBits != 8 && m_requestedBits != 32) || isCreated())
        return nullptr;
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return nullptr;
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    bytes = NxPixelBuffer::rowLength(m_requestedBits, width) * rows;
    if (bytes > kMaxSurfaceBytes)
        return nullptr;

    const std::size_t headerBytes = m_requestedBits == 8 ? 40 + 256 * 4 : 40;
    std::unique_ptr<std::byte[]> header(new (std::nothrow) std::byte[headerBytes]());
    if (!header)
        return nullptr;
    NxBitmapInfoHeader info;
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<std::uint16_t>(m_requestedBits);
    std::memcpy(header.get(), &info, sizeof info);
    if (m_requestedBits == 8) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            const std::uint32_t entry = i * 0x010101u;
            std::memcpy(header.get() + 40 + 4 * i, &entry, 4);
        }
    }
    return header;
}

bool NxSurface::attachPixels(std::unique_ptr<std::byte[]> header, std::uint8_t* bits)
{
    if (!m_pixels.attach(reinterpret_cast<const NxBitmapInfoHeader*>(header.get()), bits))
        return false;
    m_header = std::move(header);
    m_clip = {0, 0, this->width(), this->height()};
    return true;
}

bool NxSurface::allocate(std::int32_t width, std::int32_t height, bool zeroFill)
{
    std::int64_t bytes = 0;
    std::unique_ptr<std::byte[]> header = makeHeader(width, height, bytes);
    if (!header)
        return false;
    // Pixels start on a cache line, so that every row of a 32 bpp surface whose width is a
    // multiple of 8 (the strip's 640) starts aligned and the vector kernels need no scalar head.
    constexpr std::size_t kAlignment = 64;
    const std::size_t blockBytes = static_cast<std::size_t>(bytes) + kAlignment - 1;
    std::unique_ptr<std::uint8_t[]> block(zeroFill ? new (std::nothrow) std::uint8_t[blockBytes]()
                                                   : new (std::nothrow) std::uint8_t[blockBytes]);
    if (!block)
        return false;
    const auto address = reinterpret_cast<std::uintptr_t>(block.get());
    std::uint8_t* bits = block.get() + (kAlignment - address % kAlignment) % kAlignment;
    if (!attachPixels(std::move(header), bits))
        return false;
    m_pixelBlock = std::move(block);
    return true;
}

bool NxSurface::createOver(std::int32_t width, std::int32_t height, std::uint8_t* bits, std::shared_ptr<void> keep)
{
    std::int64_t bytes = 0;
    std::unique_ptr<std::byte[]> header = makeHeader(width, height, bytes);
    if (!header || !bits || !keep || !attachPixels(std::move(header), bits))
        return false;
    m_keptBlock = std::move(keep);
    return true;
}

void NxSurface::setHoldFills(bool hold)
{
    m_holdFills = hold;
    if (!hold && m_held.active)
        writeHeldFill();
}

void NxSurface::holdFill(const NxRect& rect, std::uint32_t colour)
{
    // A later fill over the whole held one hides it; any other is written first, in order.
    if (m_held.active && !rect.contains(m_held.rect))
        writeHeldFill();
    m_held = {rect, colour, true};
}

NxSurface::HeldFill NxSurface::takeHeldFillUnder(const NxRect& rect, const NxSurface& source)
{
    if (!m_held.active || &source == this || !m_held.rect.contains(rect))
        return {};
    const HeldFill held = m_held;
    m_held = {};
    return held;
}

void NxSurface::writeHeldFill() const
{
    const HeldFill held = m_held;
    m_held = {};
    fillPixels(m_pixels, held.rect, held.colour);
}

bool NxSurface::viewRows(std::int32_t width, std::int32_t height, std::uint8_t* firstRow, std::int32_t pitch)
{
    // A fill held for the rows viewed so far belongs to them.
    if (m_held.active)
        writeHeldFill();
    if (m_requestedBits != 32 || m_pixelBlock || m_keptBlock || m_dcRefCount > 0 || width <= 0 || height <= 0)
        return false;
    if (!m_header) {
        m_header.reset(new (std::nothrow) std::byte[sizeof(NxBitmapInfoHeader)]());
        if (!m_header)
            return false;
    }
    NxBitmapInfoHeader info;
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = pitch > 0 ? -height : height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    std::memcpy(m_header.get(), &info, sizeof info);
    if (!m_pixels.attachRows(reinterpret_cast<const NxBitmapInfoHeader*>(m_header.get()), firstRow, pitch)) {
        m_pixels.detach();
        m_viewsRows = false;
        m_clip = {};
        return false;
    }
    m_viewsRows = true;
    m_knownOpaque = false;
    m_clip = {0, 0, width, height};
    return true;
}

bool NxSurface::createFromDib(const NxBitmapInfoHeader* header, const void* bits)
{
    NxPixelBuffer source;
    if (!source.attach(header, bits))
        return false;
    // The conversion writes every pixel of a surface of the bitmap's own size.
    if (!allocate(header->biWidth, header->biHeight, false))
        return false;
    if (!copyPixels(0, 0, source))
        return false;
    // Conversions from formats without an alpha channel write alpha 255 everywhere.
    m_knownOpaque = source.bitsPerPixel() < 32;
    return true;
}

bool NxSurface::copyPixels(std::int32_t x, std::int32_t y, const NxPixelBuffer& source, const NxRect* sourceRect)
{
    if (!isCreated() || source.isEmpty())
        return false;
    if (m_held.active)
        writeHeldFill();
    m_knownOpaque = false;
    const NxRect whole{0, 0, source.width(), source.height()};
    const NxRect& s = sourceRect ? *sourceRect : whole;
    const NxRect d{x, y, static_cast<std::int32_t>(std::int64_t{x} + s.width()),
                   static_cast<std::int32_t>(std::int64_t{y} + s.height())};
    NxClippedPair pair;
    if (s.isEmpty() || !clipUnscaled(d, s, source.width(), source.height(), m_clip, m_originX, m_originY, pair))
        return true;
    return m_pixels.copyFrom(x, y, source, sourceRect);
}

NxDrawContext* NxSurface::acquireDC()
{
    // The handle lends the pixels for writing.
    m_knownOpaque = false;
    if (m_held.active)
        writeHeldFill();
    if (m_dcRefCount > 0) {
        ++m_dcRefCount;
        return m_drawContext.get();
    }
    if (!isCreated())
        return nullptr;
    auto context = std::unique_ptr<NxDrawContext>(new (std::nothrow) NxDrawContext);
    if (!context)
        return nullptr;
    context->surface = this;
    context->firstRow = m_pixels.firstRow();
    context->pitch = m_pixels.pitch();
    context->bits = m_pixels.bits();
    context->width = width();
    context->height = height();
    context->bitsPerPixel = bitsPerPixel();
    context->colourTable = bitsPerPixel() == 8 ? m_pixels.colourTable() : nullptr;
    m_drawContext = std::move(context);
    m_dcRefCount = 1;
    return m_drawContext.get();
}

void NxSurface::releaseDC()
{
    if (!m_drawContext)
        return;
    if (--m_dcRefCount == 0)
        m_drawContext.reset();
}

} // namespace gfx
