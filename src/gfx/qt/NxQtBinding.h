#pragma once

#include "gfx/NxWindowBinding.h"

#include <QMetaObject>
#include <QPointer>

#include <memory>

class QPainter;
class QWidget;

namespace gfx {

// The painting context of a widget during its paint event. Bands are copied in device pixels:
// with a device-pixel ratio above 1 a band of w x h window pixels covers w / ratio x h / ratio
// logical pixels.
class NxQtPaintContext : public NxPresentContext {
public:
    NxQtPaintContext(QPainter& painter, qreal devicePixelRatio) : m_painter(painter), m_ratio(devicePixelRatio) {}

    void presentBand(const NxRect& rect, const NxSurface& strip) override;

private:
    QPainter& m_painter;
    qreal m_ratio;
};

// Binds an NxWindow to a widget: an event filter sets the window's size on every resize (in
// device pixels), and the widget's destruction detaches the window. Presenting needs the
// widget's paint event: outside it no context is available and a repaint is requested instead.
class NxQtBinding : public NxWindowBinding {
public:
    explicit NxQtBinding(QWidget* widget);
    ~NxQtBinding() override;

    bool bind(NxWindow& window) override;
    void unbind() override;
    std::int32_t clientWidth() const override;
    std::int32_t clientHeight() const override;
    NxPresentContext* acquireContext() override;
    void releaseContext(NxPresentContext*) override {}
    bool setCursorPos(std::int32_t x, std::int32_t y) override;

    QWidget* widget() const { return m_widget; }
    qreal devicePixelRatio() const;

private:
    class Filter;

    QPointer<QWidget> m_widget;
    NxWindow* m_window = nullptr;
    std::unique_ptr<Filter> m_filter;
    QMetaObject::Connection m_destroyed;
};

// window.attach() with a binding to widget.
bool attachToWidget(NxWindow& window, QWidget* widget);

} // namespace gfx
