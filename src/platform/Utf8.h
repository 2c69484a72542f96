#pragma once

#include <cstddef>
#include <cstdint>

// Strict UTF-8: the shortest form only, no surrogates, nothing above U+10FFFF. Names from
// the OS are checked with it; a byte that does not start a valid sequence is a byte, not text.
namespace platform::utf8 {

struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;  // 0: not a valid sequence
};

constexpr bool isContinuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// The sequence starting at p (n > 0 bytes available).
constexpr Decoded decode(const unsigned char* p, std::size_t n) noexcept
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return {b, 1};
    std::size_t length;
    char32_t cp;
    unsigned char low = 0x80;   // bounds of the second byte, which rule out the
    unsigned char high = 0xBF;  // overlong forms, the surrogates and values past U+10FFFF
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return {};
    }
    if (n < length || p[1] < low || p[1] > high)
        return {};
    cp = cp << 6 | (p[1] & 0x3F);
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(p[i]))
            return {};
        cp = cp << 6 | (p[i] & 0x3F);
    }
    return {cp, length};
}

// Appends the UTF-8 form of `cp` (at most U+10FFFF, not a surrogate) through `put(byte)`.
template <typename Put>
constexpr void encode(char32_t cp, Put&& put)
{
    if (cp < 0x80) {
        put(static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        put(static_cast<unsigned char>(0xC0 | cp >> 6));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        put(static_cast<unsigned char>(0xE0 | cp >> 12));
        put(static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F)));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else {
        put(static_cast<unsigned char>(0xF0 | cp >> 18));
        put(static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F)));
        put(static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F)));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace platform::utf8
