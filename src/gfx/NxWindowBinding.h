#pragma once

#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

class NxSurface;
class NxWindow;

// Somewhere strip bands can be copied to: the painting context of a window.
class NxPresentContext {
public:
    virtual ~NxPresentContext() = default;
    // Copies the strip's block (0, 0, rect width, rect height) to rect of the window.
    virtual void presentBand(const NxRect& rect, const NxSurface& strip) = 0;
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
