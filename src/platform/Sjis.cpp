#include "Sjis.h"

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

}  // namespace platform::sjis
