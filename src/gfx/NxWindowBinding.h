#pragma once

#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

class NxSurface;
class NxWindow;

// Window pixels lent for drawing a band in place: 32 bpp rows (B, G, R, A), row 0 at firstRow,
// pitch bytes from a row to the one below (negative when rows run upward in memory).
struct NxLentPixels {
    std::uint8_t* firstRow = nullptr;
    std::int32_t pitch = 0;
};

// Somewhere strip bands can be copied to: the painting context of a window.
class NxPresentContext {
public:
    virtual ~NxPresentContext() = default;
    // Copies the strip's block (0, 0, rect width, rect height) to rect of the window.
    virtual void presentBand(const NxRect& rect, const NxSurface& strip) = 0;
    // The window's own pixels under rect when a band can be drawn straight into them, which
    // saves copying it; none (the default) has every band drawn in the strip. After lending,
    // the window calls exactly one of presentLent (drawn in place) or presentBand for rect.
    virtual NxLentPixels lendPixels(const NxRect& rect)
    {
        (void)rect;
        return {};
    }
    virtual void presentLent(const NxRect& rect) { (void)rect; }
};

// The platform side of an attached NxWindow. The window owns its binding; the binding reports
// size changes through NxWindow::onClientResized and the platform window's end through
// NxWindow::onWindowDestroyed (which destroys the binding: nothing may touch it afterwards).
class NxWindowBinding {
public:
    virtual ~NxWindowBinding() = default;
    // Hooks the platform window for this NxWindow; false refuses the attachment.
    virtual bool bind(NxWindow& window) = 0;
    // Removes the hook; the binding is about to be handed back or destroyed.
    virtual void unbind() = 0;
    // Client size in the pixels the window renders (device pixels).
    virtual std::int32_t clientWidth() const = 0;
    virtual std::int32_t clientHeight() const = 0;
    // A context for presenting outside the platform's own painting, or null when the window
    // cannot be drawn now. Every non-null result is given back with releaseContext.
    virtual NxPresentContext* acquireContext() = 0;
    virtual void releaseContext(NxPresentContext* context) = 0;
    // Moves the pointer to client coordinates (x, y).
    virtual bool setCursorPos(std::int32_t x, std::int32_t y) = 0;
};

} // namespace gfx
