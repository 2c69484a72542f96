#include "Desktop.h"

#include "Paths.h"
#include "QtPaths.h"

#include <QDesktopServices>
#include <QFileInfo>
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

std::string htmlHelpPath(std::string_view programFolder)
{
    return joinScriptPath(joinScriptPath(programFolder, "help"), "index.html");
}

std::string helpDocument(std::string_view programFolder)
{
    // A compiled help file put there by the user wins, as on the system the viewer came from.
    for (const std::string& path : {joinScriptPath(programFolder, "Selvarin.chm"), htmlHelpPath(programFolder)}) {
        if (QFileInfo(qtPathOfScriptPath(path)).isFile())
            return path;
    }
    return {};
}

}  // namespace platform
