#include "Sjis.h"

#include "Utf8.h"

namespace platform::sjis {

std::size_t findLast(std::string_view text, char c) noexcept
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) {
        if (text[i] == c && charLength(text, i) == 1)
            found = i;
    }
    return found;
}

bool endsWith(std::string_view text, char c) noexcept
{
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += charLength(text, i))
        last = i;
    return last != std::string_view::npos && charLength(text, last) == 1 && text[last] == c;
}

std::size_t wholeCharLength(std::string_view text, std::size_t i) noexcept
{
    if (!escapeUnitAt(text, i))
        return charLength(text, i);
    unsigned char bytes[4];
    std::size_t units = 0;
    for (std::size_t at = i; units < 4 && escapeUnitAt(text, at); at += 2, ++units)
        bytes[units] = escapedByte(static_cast<unsigned char>(text[at]), static_cast<unsigned char>(text[at + 1]));
    const utf8::Decoded d = utf8::decode(bytes, units);
    return 2 * (d.length ? d.length : 1);
}

std::string_view wholePrefix(std::string_view text, std::size_t limit) noexcept
{
    if (text.size() <= limit)
        return text;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t next = i + wholeCharLength(text, i);
        if (next > limit)
            break;
        end = i = next;
    }
    return text.substr(0, end);
}

}  // namespace platform::sjis
