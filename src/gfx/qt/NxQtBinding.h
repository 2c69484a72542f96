#pragma once

#include "gfx/NxWindowBinding.h"

#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <QRegion>

#include <cstdint>
#include <memory>

class QPainter;
class QWidget;

namespace gfx {

// The painting context of a widget during its paint event. Bands are copied in device pixels:
// with a device-pixel ratio above 1 a band of w x h window pixels covers w / ratio x h / ratio
// logical pixels. Where the painter paints plainly into a picture in memory (a raster backing
// store, ratio 1, a whole-pixel offset), bands inside the painter's clip are drawn straight into
// that picture instead.
class NxQtPaintContext : public NxPresentContext {
public:
    NxQtPaintContext(QPainter& painter, qreal devicePixelRatio) : m_painter(painter), m_ratio(devicePixelRatio) {}

    void presentBand(const NxRect& rect, const NxSurface& strip) override;
    NxLentPixels lendPixels(const NxRect& rect) override;

    // Without lending every band is copied through the painter.
    void setLendPixels(bool lend) { m_lend = lend; }
    int lentBands() const { return m_lentBands; }

private:
    // Finds the painter's picture and the part of it bands may be drawn into, once.
    void findTarget();

    QPainter& m_painter;
    qreal m_ratio;
    bool m_lend = true;
    bool m_targetFound = false;
    std::uint8_t* m_target = nullptr;
    std::int32_t m_targetPitch = 0;
    QPoint m_offset;
    QRegion m_allowed;
    int m_lentBands = 0;
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
