#include "gfx/NxRecordingBinding.h"

#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include <algorithm>
#include <cstring>

namespace gfx {

void NxRecordingContext::resize(std::int32_t width, std::int32_t height)
{
    // The rows of a band being drawn in place must outlive the band.
    if (m_lentOut && m_lentFrame.empty()) {
        m_lentFrame = std::move(m_frame);
        m_lentWidth = m_width;
        m_lentHeight = m_height;
    }
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    m_frame.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0);
}

void NxRecordingContext::setBottomUp(bool bottomUp)
{
    m_bottomUp = bottomUp;
    resize(m_width, m_height);
}

std::vector<std::uint32_t> NxRecordingContext::frame() const
{
    std::vector<std::uint32_t> out;
    out.reserve(m_frame.size());
    for (std::int32_t y = 0; y < m_height; ++y)
        out.insert(out.end(), rowOf(m_frame, m_height, y), rowOf(m_frame, m_height, y) + m_width);
    return out;
}

template <typename RowAt>
void NxRecordingContext::store(const NxRect& rect, std::int32_t w, std::int32_t h, RowAt rowAt, bool intoFrame)
{
    if (!m_keepBands && !intoFrame)
        return;
    NxRecordedBand band;
    if (m_keepBands) {
        band.rect = rect;
        band.pixels.resize(static_cast<std::size_t>(w) * h);
    }
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint32_t* row = rowAt(y);
        if (m_keepBands)
            std::memcpy(band.pixels.data() + static_cast<std::size_t>(y) * w, row, 4 * static_cast<std::size_t>(w));
        // The window picture takes the part of the band inside the client area.
        const std::int32_t wy = rect.top + y;
        if (!intoFrame || wy < 0 || wy >= m_height)
            continue;
        const std::int32_t x0 = std::max(rect.left, 0);
        const std::int32_t x1 = std::min(rect.left + w, m_width);
        if (x0 < x1)
            std::memmove(const_cast<std::uint32_t*>(rowOf(m_frame, m_height, wy)) + x0, row + (x0 - rect.left),
                         4 * static_cast<std::size_t>(x1 - x0));
    }
    if (m_keepBands)
        m_bands.push_back(std::move(band));
}

void NxRecordingContext::presentBand(const NxRect& rect, const NxSurface& strip)
{
    m_lentOut = false;
    m_lentFrame.clear();
    const std::int32_t w = std::min(rect.width(), strip.width());
    const std::int32_t h = std::min(rect.height(), strip.height());
    if (w <= 0 || h <= 0)
        return;
    store(rect, w, h, [&](std::int32_t y) { return reinterpret_cast<const std::uint32_t*>(strip.pixels().row(y)); },
          true);
}

NxLentPixels NxRecordingContext::lendPixels(const NxRect& rect)
{
    if (!m_lend || rect.isEmpty() || rect.left < 0 || rect.top < 0 || rect.right > m_width || rect.bottom > m_height)
        return {};
    m_lentOut = true;
    const std::int32_t pitch = 4 * (m_bottomUp ? -m_width : m_width);
    return {reinterpret_cast<std::uint8_t*>(const_cast<std::uint32_t*>(rowOf(m_frame, m_height, rect.top)) + rect.left),
            pitch};
}

void NxRecordingContext::presentLent(const NxRect& rect)
{
    if (!m_lentOut)
        return;
    m_lentOut = false;
    ++m_lentBands;
    // Drawn into a picture a resize has replaced since: the band reaches the new one as a copy.
    const bool replaced = !m_lentFrame.empty();
    const NxWindowPicture& source = replaced ? m_lentFrame : m_frame;
    const std::int32_t sourceHeight = replaced ? m_lentHeight : m_height;
    const std::int32_t sourceWidth = replaced ? m_lentWidth : m_width;
    const auto rowAt = [&](std::int32_t y) {
        const std::int32_t stored = m_bottomUp ? sourceHeight - 1 - (rect.top + y) : rect.top + y;
        return source.data() + static_cast<std::size_t>(stored) * sourceWidth + rect.left;
    };
    store(rect, rect.width(), rect.height(), rowAt, replaced);
    m_lentFrame.clear();
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
