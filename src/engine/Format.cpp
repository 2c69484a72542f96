#include "Format.h"

#include "platform/Sjis.h"

#include <cstdio>

namespace engine {

std::string format(std::string_view pattern, std::initializer_list<FormatArg> args)
{
    std::string out;
    out.reserve(pattern.size() + 32);
    const FormatArg* next = args.begin();
    auto take = [&]() -> const FormatArg* { return next != args.end() ? next++ : nullptr; };
    char number[64];

    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t len = platform::sjis::charLength(pattern, i);
        if (len == 2 || pattern[i] != '%' || i + 1 == pattern.size()) {
            out.append(pattern.substr(i, len));
            i += len;
            continue;
        }
        const char directive = pattern[i + 1];
        i += 2;
        const FormatArg* a = nullptr;
        switch (directive) {
        case '%':
            out += '%';
            continue;
        case 's':
        case 'd':
        case 'i':
        case 'f':
        case 'c':
        case 'p':
            a = take();
            break;
        default:
            out += '%';
            out += directive;
            continue;
        }
        if (!a)
            continue;
        switch (directive) {
        case 's':
            if (a->kind == FormatArg::Kind::Text)
                out.append(a->text);
            break;
        case 'd':
        case 'i': {
            const long long v = a->kind == FormatArg::Kind::Real ? static_cast<long long>(a->real) : a->integer;
            std::snprintf(number, sizeof number, "%lld", v);
            out += number;
            break;
        }
        case 'f': {
            const double v = a->kind == FormatArg::Kind::Real ? a->real : static_cast<double>(a->integer);
            std::snprintf(number, sizeof number, "%.14g", v);
            out += number;
            break;
        }
        case 'c':
            out += a->kind == FormatArg::Kind::Character ? a->character : static_cast<char>(a->integer);
            break;
        case 'p':
            std::snprintf(number, sizeof number, "%p", a->pointer);
            out += number;
            break;
        }
    }
    return out;
}

}  // namespace engine
