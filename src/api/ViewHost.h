#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gfx {
class NxSurface;
}

namespace api {

// A window rectangle in screen pixels: left, top, width, height.
struct WindowRect {
    int x = 0, y = 0, cx = 0, cy = 0;
};

// What the view and window functions of `app` ask of the application. The application object
// implements it; without one (batch mode) the functions keep the view state here and act as
// when there is no main frame or view.
class ViewHost {
public:
    virtual ~ViewHost() = default;

    virtual void setFrontImage(gfx::NxSurface* surface) = 0;
    virtual void setBackgroundImage(gfx::NxSurface* surface) = 0;
    virtual void setBackgroundColour(std::uint32_t colour) = 0;
    virtual std::uint32_t backgroundColour() const = 0;
    virtual void setAdjustMode(int mode) = 0;
    virtual int adjustMode() const = 0;
    virtual void setScaling(double scaling) = 0;
    virtual double scaling() const = 0;
    virtual void setWheelRate(double rate) = 0;
    virtual double wheelRate() const = 0;
    virtual void setLinearFilter(bool on) = 0;
    virtual bool linearFilter() const = 0;

    // Code page 932 texts. False: there is no main frame.
    virtual bool setStatusText(std::string_view text) = 0;
    virtual void setFrameTitle(std::string_view text) = 0;
    virtual std::string frameTitle() const = 0;

    // "normal", "minimized", "maximized", "fullscreen"; nothing without a main frame.
    virtual std::optional<std::string> mainWindowMode() const = 0;
    virtual void setMainWindowMode(std::string_view mode) = 0;
    // Windows by name ("main", "filelist", "console", "workspace", "restoredMain").
    virtual std::optional<WindowRect> windowRect(std::string_view name) const = 0;
    virtual void setWindowRect(std::string_view name, const WindowRect& rect) = 0;

    // Copies the surface onto the view at the negated scroll position; false without a view.
    virtual bool drawScreen(const gfx::NxSurface& surface) = 0;
};

// The application's host; null restores the detached one.
void setViewHost(ViewHost* host);
ViewHost& viewHost();

}  // namespace api
