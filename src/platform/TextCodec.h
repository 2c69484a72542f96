#pragma once

#include <QString>
#include <string>
#include <string_view>

// Conversions between the scripts' code page 932 and the rest of the world. Characters that
// cannot be represented become "?".
namespace platform {

std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8);
QString cp932ToQString(std::string_view cp932);
std::string qstringToCp932(const QString& text);

// Code page 932 <-> UTF-16 code units. Zero bytes convert like any other character.
std::u16string cp932ToUtf16(std::string_view cp932);
std::string utf16ToCp932(std::u16string_view utf16);

}  // namespace platform
