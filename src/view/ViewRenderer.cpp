#include "ViewRenderer.h"

#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"
#include "gfx/qt/NxQtBinding.h"

#include <QPainter>
#include <QWidget>

#include <cmath>

namespace view {
namespace {

constexpr std::uint32_t kSourceAlpha = 0x800;
constexpr std::uint32_t kLinearFilter = 0x2000;

// The front image, stretched from its whole source rectangle to the node.
class FrontImageNode final : public gfx::NxImageNode {
public:
    using NxImageNode::NxImageNode;

    void attach(gfx::NxSurface* surface)
    {
        const gfx::NxRect keep = rect();
        setSource(surface, &keep);
        m_sourceRect = surface ? gfx::NxRect{0, 0, surface->width(), surface->height()} : gfx::NxRect{};
    }

    int draw(gfx::NxSurface& surface, const gfx::NxRect&) override
    {
        if (!source() || rect().isEmpty())
            return 1;
        // Over an opaque picture the source-alpha blend gives each pixel the source colour: a
        // copy (filtered or not) draws the same colours without weighing every pixel.
        gfx::NxBlitParams p = params();
        if (source()->isKnownOpaque())
            p.flags &= ~kSourceAlpha;
        gfx::blit(surface, &rect(), source(), &m_sourceRect, &p);
        return 1;
    }

private:
    gfx::NxRect m_sourceRect;
};

// The background: a pattern tiled from the node's top-left corner, or the fill colour.
class BackgroundNode final : public gfx::NxImageNode {
public:
    using NxImageNode::NxImageNode;

    void attach(gfx::NxSurface* surface)
    {
        const gfx::NxRect keep = rect();
        setSource(surface, &keep);
    }
    void setFillColour(std::uint32_t argb) { m_fill = argb; }

    int draw(gfx::NxSurface& surface, const gfx::NxRect&) override
    {
        if (source())
            gfx::tile(surface, &rect(), source(), nullptr, 0, 0, &params());
        else
            gfx::fillRect(surface, &rect(), m_fill);
        return 1;
    }

private:
    std::uint32_t m_fill = 0xFFFFFFFF;
};

int scaled(int v, qreal ratio) { return static_cast<int>(std::lround(v * ratio)); }

}  // namespace

struct ViewRenderer::Tree {
    QWidget* widget;
    gfx::NxWindow window;
    gfx::NxNode* root = nullptr;
    FrontImageNode* image = nullptr;
    BackgroundNode* background = nullptr;

    qreal ratio() const { return widget->devicePixelRatioF(); }
};

ViewRenderer::ViewRenderer(QWidget* widget) : m_tree(std::make_unique<Tree>())
{
    m_tree->widget = widget;
    gfx::attachToWidget(m_tree->window, widget);
    m_tree->root = new gfx::NxNode(&m_tree->window);
    m_tree->root->setClipChildren(false);
    m_tree->image = new FrontImageNode(m_tree->root);
    m_tree->image->setZOrder(0);
    m_tree->background = new BackgroundNode(m_tree->root);
    m_tree->background->setZOrder(-1000);
}

ViewRenderer::~ViewRenderer()
{
    // The image node goes first, then the background, then the window with the root.
    delete m_tree->image;
    delete m_tree->background;
    m_tree->window.detach();
}

void ViewRenderer::setFront(gfx::NxSurface* surface, bool linearFilter)
{
    m_tree->image->attach(surface);
    gfx::NxBlitParams params{};
    params.flags = kSourceAlpha | (linearFilter ? kLinearFilter : 0);
    m_tree->image->setParams(&params, true);
}

void ViewRenderer::setBackground(gfx::NxSurface* surface)
{
    m_tree->background->attach(surface);
    m_tree->background->setVisible(true);
    m_tree->background->invalidate(nullptr);
}

void ViewRenderer::setFillColour(std::uint32_t argb)
{
    m_tree->background->setFillColour(argb);
    m_tree->background->invalidate(nullptr);
}

void ViewRenderer::setLayout(const Layout& layout)
{
    const qreal r = m_tree->ratio();
    m_tree->image->setPosition(scaled(layout.imageX, r), scaled(layout.imageY, r));
    m_tree->image->setSize(scaled(layout.imageWidth, r), scaled(layout.imageHeight, r));
    m_tree->background->setPosition(0, 0);
    m_tree->background->setSize(scaled(layout.backgroundWidth, r), scaled(layout.backgroundHeight, r));
    m_tree->window.invalidate(nullptr);
}

void ViewRenderer::paint(QPainter& painter, QPoint origin)
{
    const qreal r = m_tree->ratio();
    // A resize the binding did not hear of (scroll bars coming and going while the widget was
    // hidden) must not leave an unpainted edge.
    const int w = scaled(m_tree->widget->width(), r), h = scaled(m_tree->widget->height(), r);
    if (m_tree->window.rect().right != w || m_tree->window.rect().bottom != h)
        m_tree->window.onClientResized(w, h);
    m_tree->root->setPosition(scaled(origin.x(), r), scaled(origin.y(), r));
    gfx::NxQtPaintContext context(painter, r);
    m_tree->window.update(&context, true);
}

void ViewRenderer::present(QPainter& painter, const gfx::NxSurface& surface, QPoint at)
{
    const qreal r = m_tree->ratio();
    gfx::NxQtPaintContext context(painter, r);
    const int x = scaled(at.x(), r), y = scaled(at.y(), r);
    context.presentBand(gfx::NxRect{x, y, x + surface.width(), y + surface.height()}, surface);
}

}  // namespace view
