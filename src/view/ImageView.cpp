#include "ImageView.h"

#include "ViewRenderer.h"

#include "gfx/NxSurface.h"
#include "platform/Paths.h"
#include "platform/Sjis.h"
#include "platform/QtPaths.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>

#include <cmath>

namespace view {
namespace {

// Drag cursors of our own: an open hand for the page-turn mode, a four-way arrow for browsing.
QCursor makeDragCursor(DragCursor kind)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3));
    auto drawShape = [&] {
        if (kind == DragCursor::Pager) {
            p.drawEllipse(QRectF(8, 8, 16, 16));
            p.drawLine(QPointF(16, 3), QPointF(16, 29));
            p.drawLine(QPointF(3, 16), QPointF(29, 16));
        } else {
            p.drawLine(QPointF(16, 3), QPointF(16, 29));
            p.drawLine(QPointF(3, 16), QPointF(29, 16));
            for (QPointF d : {QPointF(0, -1), QPointF(0, 1), QPointF(-1, 0), QPointF(1, 0)}) {
                const QPointF tip = QPointF(16, 16) + d * 13;
                const QPointF n(-d.y(), d.x());
                p.drawLine(tip, tip - d * 5 + n * 4);
                p.drawLine(tip, tip - d * 5 - n * 4);
            }
        }
    };
    drawShape();
    p.setPen(QPen(Qt::black, 1.2));
    drawShape();
    return QCursor(pixmap, 16, 16);
}

// A * b / c rounded to nearest, halves away from zero.
long long mulDivRounded(long long a, long long b, long long c)
{
    const long double v = static_cast<long double>(a) * b / c;
    return static_cast<long long>(std::llround(v));
}

}  // namespace

ImageView::ImageView(const ViewState& state, Callbacks callbacks, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_state(state),
      m_callbacks(std::move(callbacks)),
      m_renderer(std::make_unique<ViewRenderer>(viewport())),
      m_pagerCursor(makeDragCursor(DragCursor::Pager)),
      m_viewerCursor(makeDragCursor(DragCursor::Viewer))
{
    setObjectName("imageView");
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

ImageView::~ImageView()
{
    m_renderer->setFront(nullptr, false);
    m_renderer->setBackground(nullptr);
}

void ImageView::initialUpdate(int operateMode)
{
    setOperateMode(operateMode);
    relayout();
}

void ImageView::setFrontImage(gfx::NxSurface* surface)
{
    m_front = surface;
    m_renderer->setFront(surface, m_state.linearFilter);
    relayout();
    // A page turn shows at once.
    viewport()->repaint();
}

void ImageView::setBackgroundImage(gfx::NxSurface* surface)
{
    m_background = surface;
    m_renderer->setBackground(surface);
    relayout();
    viewport()->update();
}

void ImageView::relayout()
{
    if (m_inLayout)
        return;
    m_inLayout = true;

    LayoutInput in;
    in.windowWidth = width();
    in.windowHeight = height();
    in.scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    in.scrollBarHeight = in.scrollBarWidth;
    in.imageWidth = m_front ? m_front->width() : 0;
    in.imageHeight = m_front ? m_front->height() : 0;
    in.adjustMode = m_state.adjustMode;
    in.scaling = m_state.scaling;
    m_layout = computeLayout(in);

    // Scroll ranges follow the displayed size; the bars appear only where it exceeds the window.
    const int clientW = in.windowWidth - (m_layout.verticalRange ? in.scrollBarWidth : 0);
    const int clientH = in.windowHeight - (m_layout.horizontalRange ? in.scrollBarHeight : 0);
    setVerticalScrollBarPolicy(m_layout.verticalRange ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(m_layout.horizontalRange ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int rangeX = m_layout.horizontalRange ? std::max(0, m_layout.scrollWidth - clientW) : 0;
    const int rangeY = m_layout.verticalRange ? std::max(0, m_layout.scrollHeight - clientH) : 0;
    horizontalScrollBar()->setRange(0, rangeX);
    verticalScrollBar()->setRange(0, rangeY);
    horizontalScrollBar()->setPageStep(std::max(1, m_layout.scrollWidth / 10));
    verticalScrollBar()->setPageStep(std::max(1, m_layout.scrollHeight / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, m_layout.scrollWidth / 100));
    verticalScrollBar()->setSingleStep(std::max(1, m_layout.scrollHeight / 100));
    m_scrollLimitX = rangeX;
    m_scrollLimitY = rangeY;

    m_renderer->setLayout(m_layout);
    viewport()->update();
    m_inLayout = false;
}

void ImageView::scrollTo(int x, int y)
{
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

QPoint ImageView::scrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void ImageView::setOperateMode(int mode)
{
    if (m_dragging)
        dragEnd();
    m_controller = makeController(mode, *this);
}

void ImageView::setCursorHidden(bool hidden)
{
    m_cursorHidden = hidden;
    updateCursor();
}

void ImageView::updateCursor()
{
    if (m_cursorHidden)
        viewport()->setCursor(Qt::BlankCursor);
    else if (m_middleDown && m_controller)
        viewport()->setCursor(m_controller->dragCursor() == DragCursor::Pager ? m_pagerCursor : m_viewerCursor);
    else
        viewport()->unsetCursor();
}

void ImageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    // The tree carries the scroll offset: the root moves to the negated scroll position.
    QPoint origin = -scrollPosition();
    if (m_callbacks.fullScreen && m_callbacks.fullScreen() && m_callbacks.ignoreSizeChanges && m_callbacks.ignoreSizeChanges())
        origin.ry() -= viewport()->mapToGlobal(QPoint(0, 0)).y();
    m_renderer->setFillColour(fillColour(m_state.backgroundColour));
    m_renderer->paint(painter, origin);
    if (m_overlay)
        m_renderer->present(painter, *m_overlay, -scrollPosition());
}

bool ImageView::drawScreen(const gfx::NxSurface& surface)
{
    if (!surface.isCreated())
        return false;
    m_overlay = &surface;
    viewport()->repaint();
    m_overlay = nullptr;
    return true;
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    if (m_callbacks.ignoreSizeChanges && m_callbacks.ignoreSizeChanges())
        return;
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ImageView::scrollContentsBy(int, int) { viewport()->update(); }

bool ImageView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::MouseMove && m_callbacks.fullScreen && m_callbacks.fullScreen()) {
        auto* e = static_cast<QMouseEvent*>(event);
        const bool atTop = m_callbacks.fullScreenPointer && m_callbacks.fullScreenPointer(e->position().toPoint().y());
        setCursorHidden(!atTop);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImageView::mousePressEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    if (m_controller) {
        switch (event->button()) {
        case Qt::LeftButton: m_controller->onLeftDown(x, y); break;
        case Qt::MiddleButton:
            m_middleDown = true;
            updateCursor();
            m_controller->onMiddleDown(x, y);
            break;
        case Qt::RightButton: m_controller->onRightDown(x, y); break;
        default: break;
        }
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void ImageView::mouseReleaseEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    if (m_controller) {
        switch (event->button()) {
        case Qt::LeftButton: m_controller->onLeftUp(x, y); break;
        case Qt::MiddleButton:
            m_middleDown = false;
            m_controller->onMiddleUp(x, y);
            updateCursor();
            break;
        case Qt::RightButton: m_controller->onRightUp(x, y); break;
        default: break;
        }
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void ImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x(), y = event->position().toPoint().y();
    if (m_controller) {
        switch (event->button()) {
        case Qt::LeftButton: m_controller->onLeftDoubleClick(x, y); break;
        case Qt::RightButton: m_controller->onRightDoubleClick(x, y); break;
        default: break;
        }
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void ImageView::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractScrollArea::mouseMoveEvent(event);
    if (m_controller)
        m_controller->onMouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void ImageView::wheelEvent(QWheelEvent* event)
{
    wheelScroll(event->angleDelta().y());
    event->accept();
}

void ImageView::wheelScroll(int distance)
{
    const int d = scaledWheelDistance(m_state.wheelRate, distance);
    const int lines = QApplication::wheelScrollLines();
    const bool vertical = m_layout.verticalRange;
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    const int total = vertical ? m_layout.scrollHeight : m_layout.scrollWidth;
    const long long n = mulDivRounded(-d, lines, 120);
    int displacement;
    if (n == -1) {
        displacement = std::max(1, total / 10);
        if (d > 0)
            displacement = -displacement;
    } else {
        const int line = std::max(1, total / 100);
        const long long limit = vertical ? viewport()->height() : viewport()->width();
        displacement = static_cast<int>(std::clamp(n * line, -limit, limit));
    }
    bar->setValue(bar->value() + displacement);
    viewport()->repaint();
}

void ImageView::keyPressEvent(QKeyEvent* event)
{
    if ((m_controller && m_controller->onKeyDown(event->key())) || (m_callbacks.keyDown && m_callbacks.keyDown(*event))) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ImageView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ImageView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ImageView::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        const std::string path = platform::fromOsPath(platform::osPathOfLocalUrl(url));
        // Dropped paths are at most 1024 bytes each, as the drop query returns them.
        paths.emplace_back(platform::sjis::wholePrefix(path, 1023));
    }
    event->acceptProposedAction();
    window()->raise();
    window()->activateWindow();
    if (!paths.empty() && m_callbacks.filesDropped)
        m_callbacks.filesDropped(paths);
}

void ImageView::nextImage()
{
    if (m_callbacks.nextImage)
        m_callbacks.nextImage();
}

void ImageView::previousImage()
{
    if (m_callbacks.previousImage)
        m_callbacks.previousImage();
}

void ImageView::dragStart(int x, int y)
{
    const QPoint scroll = scrollPosition();
    m_dragOriginX = scroll.x() + x;
    m_dragOriginY = scroll.y() + y;
    m_dragging = true;
    viewport()->grabMouse();
}

void ImageView::dragMove(int x, int y)
{
    const int nx = std::clamp(m_dragOriginX - x, 0, std::max(0, m_scrollLimitX));
    const int ny = std::clamp(m_dragOriginY - y, 0, std::max(0, m_scrollLimitY));
    scrollTo(nx, ny);
}

void ImageView::dragEnd()
{
    m_dragging = false;
    viewport()->releaseMouse();
}

void ImageView::scrollByKey(bool up)
{
    wheelScroll(up ? 120 : -120);
}

}  // namespace view
