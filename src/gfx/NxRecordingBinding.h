#pragma once

#include "gfx/NxWindowBinding.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace gfx {

// One presented band and its pixels (0xAARRGGBB, top row first).
struct NxRecordedBand {
    NxRect rect;
    std::vector<std::uint32_t> pixels;
};

// The window picture's storage. A platform window's picture starts on a page (a shared memory
// segment); this one starts on a cache line, so that bands drawn into it line up as they would
// there.
template <typename T>
struct CacheLineAllocator {
    using value_type = T;
    CacheLineAllocator() = default;
    template <typename U>
    CacheLineAllocator(const CacheLineAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{64})); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t{64}); }
    bool operator==(const CacheLineAllocator&) const = default;
};
using NxWindowPicture = std::vector<std::uint32_t, CacheLineAllocator<std::uint32_t>>;

// A present context that records what reaches the window: each band, and the window picture
// the bands build up. It lends the window picture's pixels for bands inside it, as a platform
// window with a picture in memory does.
class NxRecordingContext : public NxPresentContext {
public:
    NxRecordingContext(std::int32_t width, std::int32_t height) { resize(width, height); }

    void presentBand(const NxRect& rect, const NxSurface& strip) override;
    NxLentPixels lendPixels(const NxRect& rect) override;
    void presentLent(const NxRect& rect) override;

    // Keeping every band's pixels costs memory; the window picture is always kept.
    void setKeepBands(bool keep) { m_keepBands = keep; }
    // Without lending every band is copied from the strip.
    void setLendPixels(bool lend) { m_lend = lend; }
    // Stores the window picture's rows upward in memory (the picture starts black again).
    void setBottomUp(bool bottomUp);
    // Clears the picture to black; a band being drawn in place keeps its old rows until handed back.
    void resize(std::int32_t width, std::int32_t height);
    void clearBands() { m_bands.clear(); }

    const std::vector<NxRecordedBand>& bands() const { return m_bands; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const { return rowOf(m_frame, m_height, y)[x]; }
    // The window picture, top row first.
    std::vector<std::uint32_t> frame() const;
    int lentBands() const { return m_lentBands; }

private:
    const std::uint32_t* rowOf(const NxWindowPicture& frame, std::int32_t height, std::int32_t y) const
    {
        const std::int32_t stored = m_bottomUp ? height - 1 - y : y;
        return frame.data() + static_cast<std::size_t>(stored) * m_width;
    }
    // Records rect's band, whose row y rowAt(y) gives, and puts it into the window picture.
    template <typename RowAt>
    void store(const NxRect& rect, std::int32_t w, std::int32_t h, RowAt rowAt, bool intoFrame);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_keepBands = true;
    bool m_lend = true;
    bool m_bottomUp = false;
    NxWindowPicture m_frame;
    std::vector<NxRecordedBand> m_bands;
    // The band lent and not yet handed back, and the picture it was lent from when a resize
    // replaced it meanwhile.
    bool m_lentOut = false;
    NxWindowPicture m_lentFrame;
    std::int32_t m_lentWidth = 0;
    std::int32_t m_lentHeight = 0;
    int m_lentBands = 0;
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
