#pragma once

#include <QString>
#include <string>
#include <string_view>

// Conversions between the scripts' code page 932 and the rest of the world.
//
// Into script text nothing is lost: a character that code page 932 has is written as code
// page 932, byte for byte; every other character, and every byte that is not valid UTF-8, is
// written as escape units (Sjis.h). Out of script text the escapes are decoded: towards the OS
// to the very bytes they stand for, towards the UI and UTF-16 to the characters those bytes
// spell (U+FFFD for a byte that spells none). Bytes that are neither code page 932 nor an
// escape come out as U+FFFD. ASCII always stands for itself.
namespace platform {

// OS text (UTF-8 or any bytes) to script text and back.
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view cp932);

// As utf8ToCp932, and the bytes a script path gives a meaning of its own ("\\", "*", "?")
// escaped too, so that a piece of a name never turns into a separator or a wildcard.
std::string osNameToCp932(std::string_view osName);

QString cp932ToQString(std::string_view cp932);
std::string qstringToCp932(const QString& text);

// Code page 932 <-> UTF-16 code units. Zero bytes convert like any other character.
std::u16string cp932ToUtf16(std::string_view cp932);
std::string utf16ToCp932(std::u16string_view utf16);

// The system's plain conversion: "?" for each character that code page 932 lacks (a surrogate
// pair is one character), and user-defined characters in their code page 932 form.
std::string utf16ToCp932Replacing(std::u16string_view utf16);

// Script text that arrives in pieces (output drained into a console) decoded for the UI: a
// double-byte character or an escaped character split between two pieces is held back until
// the rest of it arrives.
class ScriptTextStream {
public:
    QString decode(std::string_view piece);
    // Whatever is still held back, decoded as it is.
    QString finish();

private:
    std::string m_pending;
};

}  // namespace platform
