#include "gfx/NxRecordingBinding.h"

#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include <algorithm>
#include <cstring>

namespace gfx {

void NxRecordingContext::resize(std::int32_t width, std::int32_t height)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    m_frame.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0);
}

void NxRecordingContext::presentBand(const NxRect& rect, const NxSurface& strip)
{
    const std::int32_t w = std::min(rect.width(), strip.width());
    const std::int32_t h = std::min(rect.height(), strip.height());
    if (w <= 0 || h <= 0)
        return;
    NxRecordedBand band;
    if (m_keepBands) {
        band.rect = rect;
        band.pixels.resize(static_cast<std::size_t>(w) * h);
    }
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = strip.pixels().row(y);
        if (m_keepBands)
            std::memcpy(band.pixels.data() + static_cast<std::size_t>(y) * w, row, 4 * static_cast<std::size_t>(w));
        // The window picture takes the part of the band inside the client area.
        const std::int32_t wy = rect.top + y;
        if (wy < 0 || wy >= m_height)
            continue;
        const std::int32_t x0 = std::max(rect.left, 0);
        const std::int32_t x1 = std::min(rect.left + w, m_width);
        if (x0 < x1)
            std::memcpy(m_frame.data() + static_cast<std::size_t>(wy) * m_width + x0, row + 4 * (x0 - rect.left),
                        4 * static_cast<std::size_t>(x1 - x0));
    }
    if (m_keepBands)
        m_bands.push_back(std::move(band));
}

bool NxRecordingBinding::bind(NxWindow& window)
{
    if (m_refuseBind)
        return false;
    m_window = &window;
    return true;
}

NxPresentContext* NxRecordingBinding::acquireContext()
{
    if (m_refuseContext)
        return nullptr;
    ++m_contextsOut;
    return &m_context;
}

bool NxRecordingBinding::setCursorPos(std::int32_t x, std::int32_t y)
{
    m_cursorX = x;
    m_cursorY = y;
    return true;
}

void NxRecordingBinding::resize(std::int32_t width, std::int32_t height)
{
    m_context.resize(width, height);
    if (m_window)
        m_window->onClientResized(width, height);
}

void NxRecordingBinding::destroyWindow()
{
    // The window destroys this binding here; nothing may follow.
    if (NxWindow* window = m_window)
        window->onWindowDestroyed();
}

} // namespace gfx
