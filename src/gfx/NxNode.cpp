#include "gfx/NxNode.h"

#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"

#include <algorithm>

namespace gfx {

NxRect unite(const NxRect& a, const NxRect& b)
{
    if (a.isEmpty())
        return b.isEmpty() ? NxRect{} : b;
    if (b.isEmpty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

NxNode::NxNode(NxNode* parent)
{
    if (parent != nullptr) {
        // Constructed in place: should the list fail to grow, nothing has taken ownership yet.
        parent->m_children.emplace_back(this);
        parent->m_childrenUnsorted = true;
        m_parent = parent;
    }
}

NxNode::~NxNode()
{
    // Children go first, from the end of the list backwards; each is unlinked before it dies so
    // it does not reach back into this half-destroyed node.
    while (!m_children.empty()) {
        std::unique_ptr<NxNode> child = std::move(m_children.back());
        m_children.pop_back();
        child->m_parent = nullptr;
    }
    if (m_parent != nullptr) {
        // The parent's list owns this node: release that ownership without deleting again.
        std::unique_ptr<NxNode> self = m_parent->takeChild(this);
        (void)self.release();
    }
}

std::unique_ptr<NxNode> NxNode::takeChild(NxNode* child)
{
    const auto it = std::find_if(m_children.begin(), m_children.end(),
                                 [child](const std::unique_ptr<NxNode>& c) { return c.get() == child; });
    if (it == m_children.end())
        return nullptr;
    std::unique_ptr<NxNode> owned = std::move(*it);
    m_children.erase(it);
    // What the child covered is uncovered now.
    m_dirtyRect = unite(m_dirtyRect, child->m_coverage);
    child->m_coverage = {};
    child->m_parent = nullptr;
    return owned;
}

void NxNode::adoptChild(std::unique_ptr<NxNode> child)
{
    m_children.push_back(std::move(child));
    m_childrenUnsorted = true;
}

void NxNode::sortChildren()
{
    std::stable_sort(m_children.begin(), m_children.end(),
                     [](const std::unique_ptr<NxNode>& a, const std::unique_ptr<NxNode>& b) {
                         return a->m_zOrder < b->m_zOrder;
                     });
    m_childrenUnsorted = false;
}

bool NxNode::setVisible(bool visible)
{
    const bool previous = m_visible;
    if (previous != visible) {
        m_visible = visible;
        markChanged(kGeometryChanged | kVisibilityChanged);
    }
    return previous;
}

void NxNode::setPosition(std::int32_t x, std::int32_t y)
{
    if (x == m_positionX && y == m_positionY)
        return;
    m_positionX = x;
    m_positionY = y;
    markChanged(kGeometryChanged | kPlacementChanged);
}

std::int32_t NxNode::setZOrder(std::int32_t z)
{
    const std::int32_t previous = m_zOrder;
    if (m_parent == nullptr || previous == z)
        return previous;
    m_zOrder = z;
    m_parent->m_childrenUnsorted = true;
    markChanged(kGeometryChanged);
    return previous;
}

void NxNode::setOffset(std::int32_t x, std::int32_t y)
{
    if (x == m_offsetX && y == m_offsetY)
        return;
    m_offsetX = x;
    m_offsetY = y;
    markChanged(kGeometryChanged);
}

void NxNode::setRect(const NxRect* rect)
{
    if (rect == nullptr || rect->right < rect->left || rect->bottom < rect->top)
        m_rect = {};
    else
        m_rect = *rect;
    markChanged(kGeometryChanged);
    if (m_parent == nullptr)
        resetChangeState();
}

void NxNode::resetChangeState()
{
    m_changeFlags = 0;
    for (const auto& child : m_children)
        child->resetChangeState();
}

NxNode* NxNode::setParent(NxNode* parent)
{
    NxNode* previous = m_parent;
    if (parent == this || parent == m_parent)
        return previous;
    // Under one of its own descendants the subtree would own itself.
    for (NxNode* p = parent; p != nullptr; p = p->m_parent)
        if (p == this)
            return previous;
    if (parent != nullptr)
        parent->m_children.reserve(parent->m_children.size() + 1);
    std::unique_ptr<NxNode> self = previous ? previous->takeChild(this) : std::unique_ptr<NxNode>(this);
    if (parent == nullptr) {
        // Back to the caller, who owns the node from now on.
        (void)self.release();
        return previous;
    }
    m_parent = parent;
    parent->adoptChild(std::move(self));
    markChanged(kGeometryChanged | kPlacementChanged);
    return previous;
}

int NxNode::draw(NxSurface&, const NxRect&) { return 1; }

void NxNode::setSize(std::int32_t width, std::int32_t height)
{
    const NxRect r{m_rect.left, m_rect.top, static_cast<std::int32_t>(std::int64_t{m_rect.left} + width),
                   static_cast<std::int32_t>(std::int64_t{m_rect.top} + height)};
    setRect(&r);
}

bool NxNode::setClipChildren(bool clip)
{
    const bool previous = m_clipChildren;
    m_clipChildren = clip;
    markChanged(kGeometryChanged);
    return previous;
}

void NxNode::invalidate(const NxRect* rect)
{
    m_invalidRect = rect ? intersect(unite(m_invalidRect, *rect), m_rect) : m_rect;
    m_invalidatedPending = true;
}

// ---- image node ----

NxImageNode::NxImageNode(NxNode* parent) : NxNode(parent) {}

void NxImageNode::setRect(const NxRect* rect)
{
    if (rect == nullptr && m_source != nullptr) {
        const NxRect bounds{0, 0, m_source->width(), m_source->height()};
        NxNode::setRect(&bounds);
        return;
    }
    NxNode::setRect(rect);
}

int NxImageNode::draw(NxSurface& surface, const NxRect&)
{
    // A failing blit leaves only this node undrawn; without a source there is nothing to draw.
    if (m_source != nullptr)
        blit(surface, &rect(), m_source, &rect(), &m_params);
    return 1;
}

NxSurface* NxImageNode::setSource(NxSurface* source, const NxRect* rect)
{
    NxSurface* previous = m_source;
    m_source = source;
    setRect(rect);
    return previous;
}

void NxImageNode::setParams(const NxBlitParams* params, bool invalidateNow)
{
    m_params = params ? *params : NxBlitParams{};
    if (invalidateNow)
        invalidate(nullptr);
}

} // namespace gfx
