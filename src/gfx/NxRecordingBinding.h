#pragma once

#include "gfx/NxWindowBinding.h"

#include <cstdint>
#include <vector>

namespace gfx {

// One presented band and its pixels (0xAARRGGBB, top row first).
struct NxRecordedBand {
    NxRect rect;
    std::vector<std::uint32_t> pixels;
};

// A present context that records what reaches the window: each band, and the window picture
// the bands build up.
class NxRecordingContext : public NxPresentContext {
public:
    NxRecordingContext(std::int32_t width, std::int32_t height) { resize(width, height); }

    void presentBand(const NxRect& rect, const NxSurface& strip) override;

    // Keeping every band's pixels costs memory; the window picture is always kept.
    void setKeepBands(bool keep) { m_keepBands = keep; }
    void resize(std::int32_t width, std::int32_t height);
    void clearBands() { m_bands.clear(); }

    const std::vector<NxRecordedBand>& bands() const { return m_bands; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const
    {
        return m_frame[static_cast<std::size_t>(y) * m_width + x];
    }
    const std::vector<std::uint32_t>& frame() const { return m_frame; }

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_keepBands = true;
    std::vector<std::uint32_t> m_frame;
    std::vector<NxRecordedBand> m_bands;
};

// A window binding without a platform window, for tests and benchmarks: a client area of a
// given size whose presented bands are recorded.
class NxRecordingBinding : public NxWindowBinding {
public:
    NxRecordingBinding(std::int32_t width, std::int32_t height) : m_context(width, height) {}

    bool bind(NxWindow& window) override;
    void unbind() override { m_window = nullptr; }
    std::int32_t clientWidth() const override { return m_context.width(); }
    std::int32_t clientHeight() const override { return m_context.height(); }
    NxPresentContext* acquireContext() override;
    void releaseContext(NxPresentContext*) override { --m_contextsOut; }
    bool setCursorPos(std::int32_t x, std::int32_t y) override;

    // The platform window changing size, or going away (the window destroys this binding).
    void resize(std::int32_t width, std::int32_t height);
    void destroyWindow();
    // While refused, acquireContext fails as a window that cannot be drawn.
    void setRefuseContext(bool refuse) { m_refuseContext = refuse; }
    void setRefuseBind(bool refuse) { m_refuseBind = refuse; }

    NxRecordingContext& context() { return m_context; }
    NxWindow* window() const { return m_window; }
    int contextsOut() const { return m_contextsOut; }
    std::int32_t cursorX() const { return m_cursorX; }
    std::int32_t cursorY() const { return m_cursorY; }

private:
    NxRecordingContext m_context;
    NxWindow* m_window = nullptr;
    bool m_refuseContext = false;
    bool m_refuseBind = false;
    int m_contextsOut = 0;
    std::int32_t m_cursorX = -1;
    std::int32_t m_cursorY = -1;
};

} // namespace gfx
