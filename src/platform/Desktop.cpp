#include "Desktop.h"

#include "Paths.h"
#include "QtPaths.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QUrl>

namespace platform {

std::pair<int, int> desktopSize()
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen)
        return {0, 0};
    const QSize size = screen->size() * screen->devicePixelRatio();
    return {size.width(), size.height()};
}

bool openWithDesktop(std::string_view scriptPath)
{
    return QDesktopServices::openUrl(localUrlOfOsPath(toOsPath(scriptPath)));
}

}  // namespace platform
