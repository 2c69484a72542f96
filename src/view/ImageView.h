#pragma once

#include "Controllers.h"
#include "ViewLayout.h"

#include <QAbstractScrollArea>
#include <QCursor>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gfx {
class NxSurface;
}

namespace view {

class ViewRenderer;

// The main window's view: one front image over a background, laid out for the adjust mode,
// scrolled by wheel, keys and middle-button drags; buttons and keys go to the controller of the
// operate mode, which asks for page changes.
class ImageView : public QAbstractScrollArea, private ControllerHost {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void()> nextImage;
        std::function<void()> previousImage;
        // Dropped paths in script form, in the order the drop reports them.
        std::function<void(const std::vector<std::string>&)> filesDropped;
        // Full screen: the pointer moved to this client y; true when it is within the menu-bar
        // height (the frame then shows its menu bar).
        std::function<bool(int)> fullScreenPointer;
        // Whether the size changes are to be ignored (full screen with its menu bar shown).
        std::function<bool()> ignoreSizeChanges;
        // Whether the frame is in full-screen mode.
        std::function<bool()> fullScreen;
        // A key the controller did not take; true when it was handled there.
        std::function<bool(const QKeyEvent&)> keyDown;
    };

    ImageView(const ViewState& state, Callbacks callbacks, QWidget* parent = nullptr);
    ~ImageView() override;

    // The first update: scroll sizes, the operate mode from the profile, then the layout.
    void initialUpdate(int operateMode);

    void setFrontImage(gfx::NxSurface* surface);
    void setBackgroundImage(gfx::NxSurface* surface);
    gfx::NxSurface* frontImage() const noexcept { return m_front; }
    gfx::NxSurface* backgroundImage() const noexcept { return m_background; }

    // Lays the view out for the state (adjust mode, scaling) and the front image.
    void relayout();
    void scrollTo(int x, int y);
    QPoint scrollPosition() const;
    const Layout& layout() const noexcept { return m_layout; }
    int scrollLimitX() const noexcept { return m_scrollLimitX; }
    int scrollLimitY() const noexcept { return m_scrollLimitY; }

    void setOperateMode(int mode);
    int operateMode() const { return m_controller ? m_controller->mode() : -1; }
    bool isDragging() const override { return m_dragging; }

public slots:
    void setCursorHidden(bool hidden);

public:
    bool cursorHidden() const noexcept { return m_cursorHidden; }

    // Scrolls as one wheel event of `distance` (120 a notch, positive away from the user).
    void wheelScroll(int distance);

    // Copies a surface onto the view at the negated scroll position, at once; the next repaint
    // draws over it. False when the surface has no pixels.
    bool drawScreen(const gfx::NxSurface& surface);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    // ControllerHost
    void nextImage() override;
    void previousImage() override;
    void dragStart(int x, int y) override;
    void dragMove(int x, int y) override;
    void dragEnd() override;
    void scrollByKey(bool up) override;

    void updateCursor();

    const ViewState& m_state;
    Callbacks m_callbacks;
    std::unique_ptr<ViewRenderer> m_renderer;
    gfx::NxSurface* m_front = nullptr;
    gfx::NxSurface* m_background = nullptr;
    std::shared_ptr<Controller> m_controller;
    Layout m_layout;
    bool m_dragging = false;
    int m_dragOriginX = 0;
    int m_dragOriginY = 0;
    int m_scrollLimitX = 0;
    int m_scrollLimitY = 0;
    bool m_cursorHidden = false;
    bool m_inLayout = false;
    bool m_middleDown = false;
    const gfx::NxSurface* m_overlay = nullptr;
    QCursor m_pagerCursor;
    QCursor m_viewerCursor;
};

}  // namespace view
