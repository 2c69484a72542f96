#include "ScriptSurface.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace image {
namespace {

SurfaceReleaseHook& releaseHook()
{
    static SurfaceReleaseHook hook;
    return hook;
}

// A new surface of `bitCount` that `make` gave pixels; null when it could not.
template <class Make>
std::unique_ptr<gfx::NxSurface> madeSurface(int bitCount, Make make)
{
    auto surface = std::make_unique<gfx::NxSurface>(bitCount);
    if (!make(*surface))
        return nullptr;
    return surface;
}

}  // namespace

void setSurfaceReleaseHook(SurfaceReleaseHook hook) { releaseHook() = std::move(hook); }

SurfaceView::SurfaceView(ScriptSurface& surface) : m_surface(&surface) { surface.m_view = this; }

SurfaceView::~SurfaceView() { detach(); }

void SurfaceView::detach() noexcept
{
    if (m_surface)
        m_surface->detachView();
}

ScriptSurface::~ScriptSurface()
{
    detachView();
    releasePixels();
}

std::uint8_t* ScriptSurface::lockBits() { return m_surface && ownPixels() ? m_surface->pixels().bits() : nullptr; }

gfx::NxSurface* ScriptSurface::surface() { return m_surface && ownPixels() ? m_surface.get() : nullptr; }

bool ScriptSurface::ownPixels()
{
    if (m_lent && !m_lent->separate())
        return false;
    return true;
}

// Reading the layout goes through the surface's read-only pixels: the writable ones would make
// it forget that it is opaque.
std::uint32_t ScriptSurface::sizeInBytes() const
{
    if (!m_surface)
        return 0;
    return static_cast<std::uint32_t>(std::llabs(std::int64_t{m_surface->height()} * pixelView()->pitch()));
}

std::int32_t ScriptSurface::width() const { return m_surface ? m_surface->width() : 0; }
std::int32_t ScriptSurface::height() const { return m_surface ? m_surface->height() : 0; }
std::int32_t ScriptSurface::pitch() const { return m_surface ? pixelView()->pitch() : 0; }
int ScriptSurface::bitCount() const { return m_surface ? m_surface->bitsPerPixel() : 0; }

bool ScriptSurface::create(std::int32_t width, std::int32_t height, int bitCount)
{
    releasePixels();
    m_surface = madeSurface(bitCount, [&](gfx::NxSurface& s) { return s.create(width, height); });
    return m_surface != nullptr;
}

void ScriptSurface::releasePixels()
{
    if (!m_surface)
        return;
    if (const SurfaceReleaseHook& hook = releaseHook())
        hook(*m_surface);
    m_surface.reset();
    m_lent.reset();
}

void ScriptSurface::detachView()
{
    if (!m_view)
        return;
    m_view->m_surface = nullptr;
    m_view = nullptr;
}

const gfx::NxPixelBuffer* ScriptSurface::pixelView() const
{
    return m_surface ? &std::as_const(*m_surface).pixels() : nullptr;
}

bool ScriptSurface::createFromDib(const gfx::NxBitmapInfoHeader* header, const void* bits, int bitCount)
{
    releasePixels();
    m_surface = madeSurface(bitCount, [&](gfx::NxSurface& s) { return s.createFromDib(header, bits); });
    return m_surface != nullptr;
}

bool ScriptSurface::adopt(std::unique_ptr<gfx::NxSurface> surface)
{
    releasePixels();
    m_surface = std::move(surface);
    return m_surface != nullptr;
}

bool ScriptSurface::createOver(std::int32_t width, std::int32_t height, std::shared_ptr<LentPixels> pixels)
{
    releasePixels();
    if (!pixels)
        return false;
    std::uint8_t* bits = pixels->data();
    m_surface = madeSurface(32, [&](gfx::NxSurface& s) { return s.createOver(width, height, bits, pixels); });
    if (m_surface)
        m_lent = std::move(pixels);
    return m_surface != nullptr;
}

bool dibFits(const std::uint8_t* header, std::size_t headerBytes, std::size_t bitsBytes)
{
    gfx::NxBitmapInfoHeader h;
    if (!header || headerBytes < sizeof h)
        return false;
    std::memcpy(&h, header, sizeof h);
    if (h.biSize < sizeof h || h.biSize % 4 != 0 || h.biSize > headerBytes)
        return false;
    if (gfx::NxPixelBuffer::headerBlockBytes(h) > headerBytes || h.biWidth < 0 || h.biHeight == INT32_MIN)
        return false;
    const std::uint64_t rows = h.biHeight < 0 ? -std::int64_t{h.biHeight} : h.biHeight;
    return rows * static_cast<std::uint64_t>(gfx::NxPixelBuffer::rowLength(h.biBitCount, h.biWidth)) <= bitsBytes;
}

bool keepsItsBits(const gfx::NxBitmapInfoHeader& h)
{
    return h.biBitCount == 32 && h.biCompression == 0 && h.biWidth > 0 && h.biHeight != 0;
}

std::unique_ptr<gfx::NxSurface> convertedDib(const std::uint8_t* header, const std::uint8_t* bits)
{
    return madeSurface(32, [&](gfx::NxSurface& s) {
        return s.createFromDib(reinterpret_cast<const gfx::NxBitmapInfoHeader*>(header), bits);
    });
}

}  // namespace image
