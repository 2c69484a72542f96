#include "AppText.h"

#include "engine/Args.h"
#include "platform/Paths.h"
#include "platform/Sjis.h"
#include "platform/TextCodec.h"

#include <string>

namespace api {
namespace {

int sjisToUnicode(lua_State* L)
{
    const std::string text = engine::args::checkText(L, 1);
    const std::u16string units = platform::cp932ToUtf16(platform::untilZero(text));
    // UTF-16LE bytes of every code unit and of the terminating zero.
    std::string bytes;
    bytes.reserve(units.size() * 2 + 2);
    for (const char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    bytes.append(2, '\0');
    lua_pushlstring(L, bytes.data(), bytes.size());
    return 1;
}

int unicodeToSjis(lua_State* L)
{
    const std::string bytes = engine::args::checkText(L, 1);
    // Whole code units up to the first zero unit; an odd last byte is not a unit.
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (u == 0)
            break;
        units += u;
    }
    std::string text = platform::utf16ToCp932Replacing(units);
    text += '\0';
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

// The letter written after a backslash for `c`, or 0 when `c` is copied as it is.
char escapeFor(char c) noexcept
{
    switch (c) {
    case '\a': return 'a';
    case '\b': return 'b';
    case '\t': return 't';
    case '\n': return 'n';
    case '\v': return 'v';
    case '\f': return 'f';
    case '\r': return 'r';
    case '"': return '"';
    case '\\': return '\\';
    default: return 0;
    }
}

int safeLiteral(lua_State* L)
{
    const std::string arg = engine::args::checkText(L, 1);
    const std::string_view text = platform::untilZero(arg);
    std::string literal;
    literal.reserve(1024);
    literal += '"';
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = platform::sjis::charLength(text, i);
        if (n == 1) {
            if (const char e = escapeFor(text[i])) {
                literal += '\\';
                literal += e;
            } else {
                literal += text[i];
            }
        } else {
            // A trail byte is never escaped, even when it is 0x5C.
            literal.append(text, i, n);
        }
        i += n;
    }
    literal += '"';
    lua_pushlstring(L, literal.data(), literal.size());
    return 1;
}

}  // namespace

const engine::HostFunction kTextFunctions[3] = {
    SELVARIN_HOST("SJIS2Unicode", sjisToUnicode),
    SELVARIN_HOST("Unicode2SJIS", unicodeToSjis),
    SELVARIN_HOST("safeLiteral", safeLiteral),
};

}  // namespace api
