#include "ScriptSurface.h"

#include <cstdlib>

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

std::uint32_t ScriptSurface::sizeInBytes() const
{
    if (!m_surface)
        return 0;
    return static_cast<std::uint32_t>(std::llabs(std::int64_t{m_surface->height()} * m_surface->pixels().pitch()));
}

std::int32_t ScriptSurface::width() const { return m_surface ? m_surface->width() : 0; }
std::int32_t ScriptSurface::height() const { return m_surface ? m_surface->height() : 0; }
std::int32_t ScriptSurface::pitch() const { return m_surface ? m_surface->pixels().pitch() : 0; }
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

const gfx::NxPixelBuffer* ScriptSurface::pixelView() const { return m_surface ? &m_surface->pixels() : nullptr; }

bool ScriptSurface::createFromDib(const gfx::NxBitmapInfoHeader* header, const void* bits, int bitCount)
{
    releasePixels();
    m_surface = madeSurface(bitCount, [&](gfx::NxSurface& s) { return s.createFromDib(header, bits); });
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

}  // namespace image
