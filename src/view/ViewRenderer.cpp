#include "ViewRenderer.h"

#include "gfx/NxSurface.h"

#include <QColor>
#include <QImage>
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

void presentSurface(QPainter& painter, const gfx::NxSurface& surface, QPoint at)
{
    auto& s = const_cast<gfx::NxSurface&>(surface);
    gfx::NxDrawContext* dc = s.acquireDC();
    if (!dc)
        return;
    const int stride = dc->pitch < 0 ? -dc->pitch : dc->pitch;
    QImage image;
    if (dc->bitsPerPixel == 32) {
        image = QImage(dc->bits, dc->width, dc->height, stride, QImage::Format_RGB32);
    } else {
        image = QImage(dc->bits, dc->width, dc->height, stride, QImage::Format_Indexed8);
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = dc->colourTable ? dc->colourTable[i] | 0xFF000000u : qRgb(i, i, i);
        image.setColorTable(table);
    }
    // Rows stored bottom-up read from the lowest address upward.
    if (dc->pitch < 0)
        image = image.mirrored(false, true);
    painter.drawImage(at, image);
    s.releaseDC();
}

}  // namespace view
