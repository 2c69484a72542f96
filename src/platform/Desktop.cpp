#include "Desktop.h"

#include "Paths.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace platform {

bool openWithDesktop(std::string_view scriptPath)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(toOsPath(scriptPath))));
}

}  // namespace platform
