#pragma once

#include "api/ViewHost.h"

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
    // Outer rectangles of "main" and "restoredMain"; nothing for other names.
    std::optional<api::WindowRect> windowRect(std::string_view name) const;
    void setWindowRect(std::string_view name, const api::WindowRect& rect);

private:
    MainFrame& m_frame;
};

}  // namespace app
