#pragma once

#include <memory>

namespace view {

// What a controller may ask of its view.
class ControllerHost {
public:
    virtual ~ControllerHost() = default;
    virtual void nextImage() = 0;
    virtual void previousImage() = 0;
    virtual bool isDragging() const = 0;
    virtual void dragStart(int x, int y) = 0;
    virtual void dragMove(int x, int y) = 0;
    virtual void dragEnd() = 0;
    // One wheel notch scaled by the wheel rate: upward when `up`.
    virtual void scrollByKey(bool up) = 0;
};

enum class DragCursor { Pager, Viewer };

// Turns mouse buttons and keys over the view into page events and drags, by operate mode.
class Controller {
public:
    explicit Controller(ControllerHost& host) : m_host(host) {}
    virtual ~Controller() = default;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    virtual int mode() const = 0;
    virtual void onLeftDown(int x, int y) = 0;
    virtual void onLeftUp(int, int) {}
    virtual void onLeftDoubleClick(int x, int y) = 0;
    void onMiddleDown(int x, int y);
    void onMiddleUp(int x, int y);
    virtual void onRightDown(int, int) { m_host.nextImage(); }
    virtual void onRightUp(int, int) {}
    virtual void onRightDoubleClick(int, int) { m_host.nextImage(); }
    void onMouseMove(int x, int y);
    // The drag cursor this mode shows while the middle button is down.
    virtual DragCursor dragCursor() const = 0;
    // True when the key was handled; `key` is a Qt key code.
    virtual bool onKeyDown(int key) = 0;

protected:
    ControllerHost& m_host;
};

// Page-turn mode: left goes back, right goes forward, keys turn pages and scroll.
class PagerController final : public Controller {
public:
    using Controller::Controller;
    int mode() const override { return 0; }
    void onLeftDown(int, int) override { m_host.previousImage(); }
    void onLeftDoubleClick(int, int) override { m_host.previousImage(); }
    DragCursor dragCursor() const override { return DragCursor::Pager; }
    bool onKeyDown(int key) override;
};

// Browse mode: the left button goes forward; keys are left to the view.
class ViewerController final : public Controller {
public:
    using Controller::Controller;
    int mode() const override { return 1; }
    void onLeftDown(int, int) override { m_host.nextImage(); }
    void onLeftDoubleClick(int, int) override { m_host.previousImage(); }
    DragCursor dragCursor() const override { return DragCursor::Viewer; }
    bool onKeyDown(int) override { return false; }
};

// The controller of an operate mode: page-turn for 0, browse for anything else.
std::shared_ptr<Controller> makeController(int operateMode, ControllerHost& host);

}  // namespace view
