#include "QtPaths.h"

#include "Paths.h"

#include <QByteArray>
#include <QFile>

namespace platform {

std::string osPathOfLocalUrl(const QUrl& url)
{
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

QUrl localUrlOfOsPath(std::string_view osPath)
{
    const std::string absolute = absoluteOsPath(osPath);
    const QByteArray bytes(absolute.data(), static_cast<qsizetype>(absolute.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

std::string scriptPathOfQtPath(const QString& path)
{
    return fromOsPath(QFile::encodeName(path).toStdString());
}

QString qtPathOfScriptPath(std::string_view scriptPath)
{
    const std::string os = toOsPath(scriptPath);
    return QFile::decodeName(QByteArray(os.data(), static_cast<qsizetype>(os.size())));
}

}  // namespace platform
