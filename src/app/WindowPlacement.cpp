#include "WindowPlacement.h"

#include "MainFrame.h"

#include <algorithm>

namespace app {

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
    else if (name == "restoredMain")
        r = (m_frame.isFullScreenMode() ? m_frame.restoreRect() : m_frame.normalGeometry()) + m_frame.normalFrameMargins();
    else
        return std::nullopt;  // the tool windows do not exist yet
    return api::WindowRect{r.x(), r.y(), r.width(), r.height()};
}

void WindowPlacement::setWindowRect(std::string_view name, const api::WindowRect& rect)
{
    if (name == "main") {
        // The rectangle includes the window frame; the client size is what remains.
        const int extraW = m_frame.frameGeometry().width() - m_frame.width();
        const int extraH = m_frame.frameGeometry().height() - m_frame.height();
        m_frame.move(rect.x, rect.y);
        m_frame.resize(std::max(0, rect.cx - extraW), std::max(0, rect.cy - extraH));
    } else if (name == "restoredMain") {
        // Scripts give the outer rectangle; the frame keeps the client one.
        const QRect r = QRect(rect.x, rect.y, rect.cx, rect.cy) - m_frame.normalFrameMargins();
        if (m_frame.isFullScreenMode())
            m_frame.setRestoreRect(r);
        else if (!m_frame.isMaximized() && !m_frame.isMinimized())
            m_frame.setGeometry(r);
    }
}

}  // namespace app
