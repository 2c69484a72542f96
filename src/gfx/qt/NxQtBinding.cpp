#include "gfx/qt/NxQtBinding.h"

#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfx {

namespace {

std::int32_t toDevice(int logical, qreal ratio) { return static_cast<std::int32_t>(std::lround(logical * ratio)); }

} // namespace

void NxQtPaintContext::presentBand(const NxRect& rect, const NxSurface& strip)
{
    const int w = std::min(rect.width(), strip.width());
    const int h = std::min(rect.height(), strip.height());
    if (w <= 0 || h <= 0)
        return;
    const NxPixelBuffer& px = strip.pixels();
    // The alpha byte is not shown, as a plain bit-block copy would not show it.
    QImage image;
    if (px.pitch() > 0) {
        image = QImage(px.firstRow(), w, h, px.pitch(), QImage::Format_RGB32);
    } else {
        // Bottom-up rows: copied row by row into an upright image.
        image = QImage(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), px.row(y), 4 * static_cast<std::size_t>(w));
    }
    image.setDevicePixelRatio(m_ratio);
    m_painter.drawImage(QPointF(rect.left / m_ratio, rect.top / m_ratio), image);
}

void NxQtPaintContext::findTarget()
{
    m_targetFound = true;
    if (m_ratio != 1.0 || !m_painter.isActive() || m_painter.opacity() != 1.0)
        return;
    // A plain copy of opaque pixels, as drawImage of an RGB32 band does.
    const QPainter::CompositionMode mode = m_painter.compositionMode();
    if (mode != QPainter::CompositionMode_SourceOver && mode != QPainter::CompositionMode_Source)
        return;
    QPaintEngine* engine = m_painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster)
        return;
    // The engine paints into the redirected device: for a widget, its window's backing store.
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_RGB32 || image->devicePixelRatio() != 1.0 || image->isNull())
        return;
    const QTransform t = m_painter.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
        return;
    m_offset = QPoint(static_cast<int>(t.dx()), static_cast<int>(t.dy()));
    // Only where the painter itself would paint: other widgets' pixels lie outside its clip.
    m_allowed = QRegion(image->rect());
    const QRegion system = engine->systemClip();
    if (!system.isEmpty())
        m_allowed &= system;
    if (m_painter.hasClipping())
        m_allowed &= t.map(m_painter.clipRegion());
    // The engine holds the same bytes; the non-const bits() would detach a shared image from it.
    m_target = const_cast<std::uint8_t*>(image->constBits());
    m_targetPitch = static_cast<std::int32_t>(image->bytesPerLine());
}

NxLentPixels NxQtPaintContext::lendPixels(const NxRect& rect)
{
    if (!m_lend || rect.isEmpty())
        return {};
    if (!m_targetFound)
        findTarget();
    if (m_target == nullptr)
        return {};
    const QRect band(rect.left + m_offset.x(), rect.top + m_offset.y(), rect.width(), rect.height());
    const bool inside = m_allowed.rectCount() == 1 ? m_allowed.boundingRect().contains(band)
                                                   : QRegion(band).subtracted(m_allowed).isEmpty();
    if (!inside)
        return {};
    ++m_lentBands;
    return {m_target + static_cast<std::ptrdiff_t>(band.y()) * m_targetPitch + 4 * static_cast<std::ptrdiff_t>(band.x()),
            m_targetPitch};
}

class NxQtBinding::Filter : public QObject {
public:
    explicit Filter(NxQtBinding& owner) : m_owner(owner) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == m_owner.m_widget && m_owner.m_window)
            m_owner.m_window->onClientResized(m_owner.clientWidth(), m_owner.clientHeight());
        // The widget's own handling always follows.
        return false;
    }

private:
    NxQtBinding& m_owner;
};

NxQtBinding::NxQtBinding(QWidget* widget) : m_widget(widget) {}

NxQtBinding::~NxQtBinding() { unbind(); }

bool NxQtBinding::bind(NxWindow& window)
{
    if (!m_widget || m_window)
        return false;
    m_filter = std::make_unique<Filter>(*this);
    m_widget->installEventFilter(m_filter.get());
    m_window = &window;
    // The window detaches before the widget is gone; that destroys this binding, so the handler
    // touches nothing of it afterwards.
    m_destroyed = QObject::connect(m_widget, &QObject::destroyed, [this] {
        if (NxWindow* w = m_window)
            w->onWindowDestroyed();
    });
    return true;
}

void NxQtBinding::unbind()
{
    QObject::disconnect(m_destroyed);
    if (m_widget && m_filter)
        m_widget->removeEventFilter(m_filter.get());
    m_filter.reset();
    m_window = nullptr;
}

qreal NxQtBinding::devicePixelRatio() const { return m_widget ? m_widget->devicePixelRatioF() : 1.0; }

std::int32_t NxQtBinding::clientWidth() const
{
    return m_widget ? toDevice(m_widget->width(), devicePixelRatio()) : 0;
}

std::int32_t NxQtBinding::clientHeight() const
{
    return m_widget ? toDevice(m_widget->height(), devicePixelRatio()) : 0;
}

NxPresentContext* NxQtBinding::acquireContext()
{
    // A widget is painted only from its paint event: ask for one.
    if (m_widget)
        m_widget->update();
    return nullptr;
}

bool NxQtBinding::setCursorPos(std::int32_t x, std::int32_t y)
{
    if (!m_widget)
        return false;
    const qreal ratio = devicePixelRatio();
    QCursor::setPos(m_widget->mapToGlobal(QPointF(x / ratio, y / ratio)).toPoint());
    return true;
}

bool attachToWidget(NxWindow& window, QWidget* widget) { return window.attach(std::make_unique<NxQtBinding>(widget)); }

} // namespace gfx
