#pragma once

#include <QString>
#include <string>
#include <string_view>

// Conversions between the scripts' code page 932 and the rest of the world. Characters that
// cannot be represented become "?", as the original platform's conversion does.
namespace platform {

std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8);
QString cp932ToQString(std::string_view cp932);
std::string qstringToCp932(const QString& text);

}  // namespace platform
