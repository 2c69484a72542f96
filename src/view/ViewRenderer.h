#pragma once

#include "ViewLayout.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <memory>

class QPainter;

namespace gfx {
class NxSurface;
}

namespace view {

// Paints the view: the background (tiled pattern or colour) and the front image stretched to
// its node, band by band through the graphics library.
class ViewRenderer {
public:
    ViewRenderer();
    ~ViewRenderer();
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    void setFront(gfx::NxSurface* surface, bool linearFilter);
    void setBackground(gfx::NxSurface* surface);
    void setLayout(const Layout& layout);
    // Paints `dirty` (widget coordinates); `origin` is where the tree's root goes.
    void paint(QPainter& painter, const QRect& dirty, QPoint origin, uint32_t fillArgb);

private:
    struct Tree;
    std::unique_ptr<Tree> m_tree;
};

// Copies a whole surface with its top-left corner at `at`, a plain copy that ignores alpha.
void presentSurface(QPainter& painter, const gfx::NxSurface& surface, QPoint at);

}  // namespace view
