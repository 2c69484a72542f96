#pragma once

#include "ViewLayout.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <memory>

class QPainter;
class QWidget;

namespace gfx {
class NxSurface;
}

namespace view {

// The view's drawing tree: a window bound to the view's widget, a root carrying the scroll
// offset, the background node (tiled pattern or colour, z -1000) and the front-image node
// (stretched with source alpha and optional linear filter, z 0; a picture known to be opaque is
// copied, which draws the same colours). It paints band by band through the window's strip.
class ViewRenderer {
public:
    explicit ViewRenderer(QWidget* widget);
    ~ViewRenderer();
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    // Attaches the surface (or none) with its drawing parameters: source alpha, plus the
    // linear filter when asked.
    void setFront(gfx::NxSurface* surface, bool linearFilter);
    void setBackground(gfx::NxSurface* surface);
    void setFillColour(std::uint32_t argb);
    // Node geometry from the layout, in the widget's logical pixels.
    void setLayout(const Layout& layout);
    // Paints the window: the root moved to `origin` (the negated scroll position).
    void paint(QPainter& painter, QPoint origin);
    // Copies a surface onto the painter at `at` (logical pixels), alpha not shown.
    void present(QPainter& painter, const gfx::NxSurface& surface, QPoint at);

private:
    struct Tree;
    std::unique_ptr<Tree> m_tree;
};

}  // namespace view
