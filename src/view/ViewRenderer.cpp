#include "ViewRenderer.h"

#include "gfx/NxSurface.h"

#include <QColor>
#include <QPainter>

namespace view {

// FIXME: paints through the drawing tree once the graphics library has it; until then only
// the background colour.
struct ViewRenderer::Tree {
    gfx::NxSurface* front = nullptr;
    gfx::NxSurface* background = nullptr;
    bool linearFilter = true;
    Layout layout;
};

ViewRenderer::ViewRenderer() : m_tree(std::make_unique<Tree>()) {}
ViewRenderer::~ViewRenderer() = default;

void ViewRenderer::setFront(gfx::NxSurface* surface, bool linearFilter)
{
    m_tree->front = surface;
    m_tree->linearFilter = linearFilter;
}

void ViewRenderer::setBackground(gfx::NxSurface* surface) { m_tree->background = surface; }

void ViewRenderer::setLayout(const Layout& layout) { m_tree->layout = layout; }

void ViewRenderer::paint(QPainter& painter, const QRect& dirty, QPoint, uint32_t fillArgb)
{
    painter.fillRect(dirty, QColor::fromRgba(fillArgb));
}

}  // namespace view
