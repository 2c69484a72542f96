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

}  // namespace platform::sjis
