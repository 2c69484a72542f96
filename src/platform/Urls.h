#pragma once

#include <QUrl>

#include <string>
#include <string_view>

// file: URLs (drops, the desktop's handlers) and the OS paths they name. The percent-encoded
// bytes are the path's own bytes, so a name that is not UTF-8 survives, which QUrl's
// toLocalFile and fromLocalFile do not guarantee.
namespace platform {

std::string osPathOfLocalUrl(const QUrl& url);
QUrl localUrlOfOsPath(std::string_view osPath);

}  // namespace platform
