#pragma once

#include "api/ViewHost.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace app {

class MainFrame;

// The window modes and rectangles that scripts read and set, by window name.
class WindowPlacement {
public:
    explicit WindowPlacement(MainFrame& frame) : m_frame(frame) {}

    // "normal", "minimized", "maximized" or "fullscreen".
    std::string mainWindowMode() const;
    // Any other text is ignored.
    void setMainWindowMode(std::string_view mode);
    // Outer rectangles of "main", "restoredMain" and the registered tool windows ("filelist",
    // "console", "workspace"); nothing for other names. A tool window counts as existing once it
    // has been shown: before that it has no window on the screen.
    std::optional<api::WindowRect> windowRect(std::string_view name) const;
    void setWindowRect(std::string_view name, const api::WindowRect& rect);

    // Makes a tool window reachable by its script name; an unknown name is ignored.
    void setToolWindow(std::string_view name, QWidget* window);

private:
    QWidget* toolWindow(std::string_view name) const;

    MainFrame& m_frame;
    std::array<QPointer<QWidget>, 3> m_tools;  // filelist, console, workspace
};

}  // namespace app
