#pragma once

#include "gfx/NxScreen.h"
#include "gfx/NxWindowBinding.h"

#include <cstdint>
#include <memory>

namespace gfx {

class NxSurface;

// The tree root bound to a platform window: it redraws the dirty cells of its grid band by band
// through a small strip surface (640 x 8 with the default 32 x 8 cells) and copies each band to
// the window, or straight into the window's pixels where the context lends them.
class NxWindow : public NxScreen {
public:
    NxWindow();
    ~NxWindow() override;

    // A window has no parent: nothing changes, null is returned.
    NxNode* setParent(NxNode* parent) override;
    // Fills rect with the background colour (hidden colour while not visible).
    int draw(NxSurface& surface, const NxRect& rect) override;
    // The fade over everything.
    void drawAfterChildren(NxSurface& surface, const NxRect& rect) override;

    // Both rounded up to powers of two; then the strip is remade when it no longer fits.
    virtual void setCellSize(std::int32_t width, std::int32_t height);
    // False when already attached or when the binding refuses; the first binding stays.
    virtual bool attach(std::unique_ptr<NxWindowBinding> binding);
    // The binding, unhooked; null when not attached.
    virtual std::unique_ptr<NxWindowBinding> detach();
    virtual bool setCursorPos(std::int32_t x, std::int32_t y);

    // Redraws the dirty cells (all with forceAll) into context, or into the binding's own context
    // when null. False when there is neither, or when no context or strip can be had (the dirty
    // cells then stay set).
    bool update(NxPresentContext* context, bool forceAll);

    // Previous colour (0xAARRGGBB); invalidates the whole window.
    std::uint32_t setBackgroundColour(std::uint32_t colour);
    std::uint32_t backgroundColour() const { return m_backgroundColour; }
    void setFadeColour(std::uint32_t colour) { m_fadeColour = colour; }
    void setHiddenColour(std::uint32_t colour) { m_hiddenColour = colour; }
    // 255: no fade; below: towards the hidden colour; 256 and above: towards the fade colour.
    void setFadeLevel(std::int32_t level) { m_fadeLevel = level; }
    std::int32_t fadeLevel() const { return m_fadeLevel; }

    bool isAttached() const { return m_binding != nullptr; }
    NxWindowBinding* binding() const { return m_binding.get(); }
    const NxSurface* strip() const { return m_strip.get(); }

    // Reported by the binding.
    void onClientResized(std::int32_t width, std::int32_t height);
    void onWindowDestroyed();

    // Renders the tree for clip (window coordinates) into surface so that clip's top-left lands
    // at the surface's (0, 0).
    void render(NxSurface& surface, const NxRect& clip);

protected:
    struct PresentSession {
        NxPresentContext* window = nullptr;
        bool ownsWindow = false;
    };
    virtual void presentRect(const NxRect& rect, PresentSession& session);
    virtual bool beginPresent(NxPresentContext* given, PresentSession& session);
    virtual void endPresent(PresentSession& session);

private:
    void ensureStrip();
    void presentDirty(PresentSession& session);
    void renderNode(NxNode& node, NxPoint placement, const NxRect& clip, NxSurface& surface, NxPoint band, bool root);

    std::uint32_t m_backgroundColour = 0xFFFFFFFFu;
    std::uint32_t m_fadeColour = 0xFFFFFFFFu;
    std::uint32_t m_hiddenColour = 0xFF000000u;
    std::int32_t m_fadeLevel = 255;
    std::unique_ptr<NxSurface> m_strip;
    // Re-pointed at each band of window pixels the context lends.
    std::unique_ptr<NxSurface> m_lentBand;
    std::unique_ptr<NxWindowBinding> m_binding;
};

} // namespace gfx
