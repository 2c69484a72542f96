#pragma once

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace gfx {

class NxSurface;

struct NxPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A node of the retained drawing tree. A node constructed with a parent, or given one with
// setParent, belongs to that parent and is destroyed with it; a node without a parent belongs to
// whoever made it (setParent(nullptr) hands a node back to the caller). Destroying a node takes
// it out of its parent's list, so children may be destroyed at any time.
class NxNode {
public:
    // Change bits: what the next update pass must redraw.
    static constexpr std::uint32_t kGeometryChanged = 1;
    static constexpr std::uint32_t kPlacementChanged = 2;
    static constexpr std::uint32_t kVisibilityChanged = 4;

    explicit NxNode(NxNode* parent = nullptr);
    NxNode(const NxNode&) = delete;
    NxNode& operator=(const NxNode&) = delete;
    virtual ~NxNode();

    // Previous value.
    virtual bool setVisible(bool visible);
    virtual void setPosition(std::int32_t x, std::int32_t y);
    // Previous value; a node without parent keeps its z-order.
    virtual std::int32_t setZOrder(std::int32_t z);
    virtual void setOffset(std::int32_t x, std::int32_t y);
    // Null, or an inverted rectangle, makes the node empty.
    virtual void setRect(const NxRect* rect);
    // Previous parent. Moving a node under itself or one of its descendants changes nothing.
    virtual NxNode* setParent(NxNode* parent);
    // Called at the start of an update that is not forced.
    virtual void onPrepare() {}
    // Called by the update pass after invalidate().
    virtual void onInvalidated() {}
    // Draws the node; rect is the visible part in node coordinates, the surface's origin and clip
    // are set for node coordinates. Non-zero: draw the children.
    virtual int draw(NxSurface& surface, const NxRect& rect);
    virtual void drawAfterChildren(NxSurface& surface, const NxRect& rect) {}

    void setSize(std::int32_t width, std::int32_t height);
    bool setClipChildren(bool clip);
    // Marks rect (null: the whole node) for redrawing at the next update.
    void invalidate(const NxRect* rect);

    NxNode* parent() const { return m_parent; }
    const NxRect& rect() const { return m_rect; }
    std::int32_t positionX() const { return m_positionX; }
    std::int32_t positionY() const { return m_positionY; }
    std::int32_t offsetX() const { return m_offsetX; }
    std::int32_t offsetY() const { return m_offsetY; }
    bool isVisible() const { return m_visible; }
    std::int32_t zOrder() const { return m_zOrder; }
    bool clipChildren() const { return m_clipChildren; }
    bool invalidatedPending() const { return m_invalidatedPending; }
    const NxRect& invalidRect() const { return m_invalidRect; }
    const NxRect& dirtyRect() const { return m_dirtyRect; }
    // The node's rectangle in window coordinates as the last update pass computed it.
    const NxRect& visibleRect() const { return m_visibleRect; }
    std::uint32_t changeFlags() const { return m_changeFlags; }
    bool childrenUnsorted() const { return m_childrenUnsorted; }
    std::size_t childCount() const { return m_children.size(); }
    NxNode* child(std::size_t i) const { return m_children[i].get(); }

protected:
    void markChanged(std::uint32_t bits) { m_changeFlags |= bits; }
    // Forgets pending changes of this node and its subtree (a detached tree has nothing on screen).
    void resetChangeState();

private:
    friend class NxScreen;
    friend class NxWindow;

    std::unique_ptr<NxNode> takeChild(NxNode* child);
    void adoptChild(std::unique_ptr<NxNode> child);
    void sortChildren();

    NxNode* m_parent = nullptr;
    NxRect m_rect;
    std::int32_t m_positionX = 0;
    std::int32_t m_positionY = 0;
    bool m_visible = true;
    NxRect m_invalidRect;
    std::int32_t m_offsetX = 0;
    std::int32_t m_offsetY = 0;
    std::int32_t m_zOrder = 0;
    bool m_clipChildren = true;
    bool m_invalidatedPending = false;
    NxRect m_dirtyRect;
    NxRect m_visibleRect;
    // Window area the node and its subtree covered at the last pass: what a change uncovers.
    NxRect m_coverage;
    bool m_childrenUnsorted = false;
    std::uint32_t m_changeFlags = 0;
    std::vector<std::unique_ptr<NxNode>> m_children;
};

// A node that draws a picture (not owned) with blit parameters, unscaled at its rectangle.
class NxImageNode : public NxNode {
public:
    explicit NxImageNode(NxNode* parent = nullptr);

    // Null with a source: the source's bounds.
    void setRect(const NxRect* rect) override;
    int draw(NxSurface& surface, const NxRect& rect) override;
    // Previous source; then setRect(rect).
    virtual NxSurface* setSource(NxSurface* source, const NxRect* rect);
    // Copies the params (null: all zero); invalidateNow also invalidates the whole node.
    void setParams(const NxBlitParams* params, bool invalidateNow);

    NxSurface* source() const { return m_source; }
    const NxBlitParams& params() const { return m_params; }

private:
    NxSurface* m_source = nullptr;
    NxBlitParams m_params;
};

// Rectangle helpers in window coordinates. Intersection runs several times for every band drawn.
inline NxRect intersect(const NxRect& a, const NxRect& b)
{
    const NxRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    return r.isEmpty() ? NxRect{} : r;
}
NxRect unite(const NxRect& a, const NxRect& b);

} // namespace gfx
