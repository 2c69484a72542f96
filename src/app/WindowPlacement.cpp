#include "WindowPlacement.h"

#include "MainFrame.h"

#include <algorithm>

namespace app {
namespace {

constexpr std::array<std::string_view, 3> kToolNames{"filelist", "console", "workspace"};

int toolIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kToolNames.size(); ++i)
        if (kToolNames[i] == name)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

void WindowPlacement::setToolWindow(std::string_view name, QWidget* window)
{
    if (const int i = toolIndex(name); i >= 0)
        m_tools[i] = window;
}

QWidget* WindowPlacement::toolWindow(std::string_view name) const
{
    const int i = toolIndex(name);
    if (i < 0 || !m_tools[i] || !m_tools[i]->windowHandle())
        return nullptr;
    return m_tools[i];
}

std::string WindowPlacement::mainWindowMode() const
{
    if (m_frame.isFullScreenMode())
        return "fullscreen";
    if (m_frame.isMaximized())
        return "maximized";
    if (m_frame.isMinimized())
        return "minimized";
    return "normal";
}

void WindowPlacement::setMainWindowMode(std::string_view mode)
{
    // Before the window is first shown (a start-up script restoring its settings) only its
    // state is set: it appears in that state with the first picture, not empty before it.
    if (!m_frame.isVisible() && !m_frame.isFullScreenMode() && (mode == "maximized" || mode == "minimized" || mode == "normal")) {
        const Qt::WindowStates kept = m_frame.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized);
        m_frame.setWindowState(mode == "maximized"   ? kept | Qt::WindowMaximized
                               : mode == "minimized" ? kept | Qt::WindowMinimized
                                                     : kept);
        return;
    }
    if (mode == "fullscreen") {
        m_frame.setFullScreenMode(true);
    } else if (mode == "maximized") {
        m_frame.showMaximized();
    } else if (mode == "minimized") {
        m_frame.showMinimized();
    } else if (mode == "normal") {
        if (m_frame.isFullScreenMode())
            m_frame.setFullScreenMode(false);
        else
            m_frame.showNormal();
    }
}

std::optional<api::WindowRect> WindowPlacement::windowRect(std::string_view name) const
{
    QRect r;
    if (name == "main")
        r = m_frame.frameGeometry();
    else if (name == "restoredMain" && m_frame.pendingFrameRect())
        r = *m_frame.pendingFrameRect();  // the normal geometry holds it without its frame yet
    else if (name == "restoredMain")
        r = (m_frame.isFullScreenMode() ? m_frame.restoreRect() : m_frame.normalGeometry()) + m_frame.normalFrameMargins();
    else if (QWidget* tool = toolWindow(name))
        r = tool->frameGeometry();
    else
        return std::nullopt;
    return api::WindowRect{r.x(), r.y(), r.width(), r.height()};
}

namespace {

// The rectangle includes the window frame; the client size is what remains. Neither the
// stacking order nor the focus changes.
void placeOuter(QWidget& window, const api::WindowRect& rect)
{
    const int extraW = window.frameGeometry().width() - window.width();
    const int extraH = window.frameGeometry().height() - window.height();
    window.move(rect.x, rect.y);
    window.resize(std::max(0, rect.cx - extraW), std::max(0, rect.cy - extraH));
}

}  // namespace

void WindowPlacement::setWindowRect(std::string_view name, const api::WindowRect& rect)
{
    const bool normal = !m_frame.isFullScreenMode() && !m_frame.isMaximized() && !m_frame.isMinimized();
    if (name == "main") {
        if (normal)
            m_frame.setNormalFrameRect(QRect(rect.x, rect.y, rect.cx, rect.cy));
        else
            placeOuter(m_frame, rect);
    } else if (QWidget* tool = toolWindow(name)) {
        placeOuter(*tool, rect);
    } else if (name == "restoredMain") {
        // Scripts give the outer rectangle; the frame keeps the client one.
        const QRect r = QRect(rect.x, rect.y, rect.cx, rect.cy) - m_frame.normalFrameMargins();
        if (m_frame.isFullScreenMode())
            m_frame.setRestoreRect(r);
        else if (normal)
            m_frame.setNormalFrameRect(QRect(rect.x, rect.y, rect.cx, rect.cy));
    }
}

}  // namespace app
