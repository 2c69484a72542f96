#include "Urls.h"

#include "Paths.h"

#include <QByteArray>

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

}  // namespace platform
