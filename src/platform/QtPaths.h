#pragma once

#include <QString>
#include <QUrl>

#include <string>
#include <string_view>

// Paths as Qt carries them: file: URLs (drops, the desktop's handlers) and QString paths
// (dialogs, standard locations).
namespace platform {

// The percent-encoded bytes of a file: URL are the path's own bytes, so a name that is not
// UTF-8 survives, which QUrl's toLocalFile and fromLocalFile do not guarantee.
std::string osPathOfLocalUrl(const QUrl& url);
QUrl localUrlOfOsPath(std::string_view osPath);

// A path Qt hands over (QFile's encoding of names) in script form, and back.
std::string scriptPathOfQtPath(const QString& path);
QString qtPathOfScriptPath(std::string_view scriptPath);

}  // namespace platform
