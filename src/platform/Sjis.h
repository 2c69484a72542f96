#pragma once

#include <cstddef>
#include <string_view>

// Code page 932 byte rules shared by every path and text operation that must treat a
// double-byte character as one unit.
namespace platform::sjis {

constexpr bool isLeadByte(unsigned char b) noexcept
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length in bytes of the character starting at text[i]: 2 for a lead byte followed by a
// non-zero byte, else 1.
constexpr std::size_t charLength(std::string_view text, std::size_t i) noexcept
{
    return (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() && text[i + 1] != '\0') ? 2 : 1;
}

// Position of the last single-byte character equal to `c`, or npos.
std::size_t findLast(std::string_view text, char c) noexcept;

// Whether the last character of `text` is the single-byte character `c`.
bool endsWith(std::string_view text, char c) noexcept;

// The escape of text that code page 932 cannot spell. A byte b of an OS name stands in script
// text as one escape unit, a double-byte character of the user-defined area:
//     lead 0xF6 + (b >> 6), trail 0x80 + (b & 0x3F)
// so the units are exactly the 256 codes with lead 0xF6-0xF9 and trail 0x80-0xBF. Neither
// byte of a unit is ASCII, so no unit is ever a separator, a dot, a colon or a wildcard, and
// the double-byte rule keeps each one whole. A character that code page 932 lacks is written
// as the units of its UTF-8 bytes; so is every byte that is not part of valid UTF-8.
constexpr unsigned char kEscapeFirstLead = 0xF6;
constexpr unsigned char kEscapeLastLead = 0xF9;
constexpr unsigned char kEscapeFirstTrail = 0x80;
constexpr unsigned char kEscapeLastTrail = 0xBF;

constexpr bool isEscapeUnit(unsigned char lead, unsigned char trail) noexcept
{
    return lead >= kEscapeFirstLead && lead <= kEscapeLastLead && trail >= kEscapeFirstTrail && trail <= kEscapeLastTrail;
}
constexpr unsigned char escapeLead(unsigned char b) noexcept { return static_cast<unsigned char>(kEscapeFirstLead + (b >> 6)); }
constexpr unsigned char escapeTrail(unsigned char b) noexcept { return static_cast<unsigned char>(kEscapeFirstTrail | (b & 0x3F)); }
constexpr unsigned char escapedByte(unsigned char lead, unsigned char trail) noexcept
{
    return static_cast<unsigned char>((lead - kEscapeFirstLead) << 6 | (trail & 0x3F));
}

// Whether text[i] starts an escape unit.
constexpr bool escapeUnitAt(std::string_view text, std::size_t i) noexcept
{
    return i + 1 < text.size() && isEscapeUnit(static_cast<unsigned char>(text[i]), static_cast<unsigned char>(text[i + 1]));
}

// Length in bytes of the character starting at text[i] as a reader counts characters: like
// charLength, except that the escape units of one whole UTF-8 sequence count as one.
std::size_t wholeCharLength(std::string_view text, std::size_t i) noexcept;

// The longest start of `text` of at most `limit` bytes that cuts no character in two.
std::string_view wholePrefix(std::string_view text, std::size_t limit) noexcept;

}  // namespace platform::sjis
