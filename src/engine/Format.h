#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace engine {

// One value for `format`.
struct FormatArg {
    enum class Kind { Text, Integer, Real, Character, Pointer };
    FormatArg(std::string_view t) : kind(Kind::Text), text(t) {}
    FormatArg(const char* t) : kind(Kind::Text), text(t ? t : "(null)") {}
    FormatArg(const std::string& t) : kind(Kind::Text), text(t) {}
    FormatArg(int v) : kind(Kind::Integer), integer(v) {}
    FormatArg(long v) : kind(Kind::Integer), integer(v) {}
    FormatArg(long long v) : kind(Kind::Integer), integer(v) {}
    FormatArg(unsigned v) : kind(Kind::Integer), integer(v) {}
    FormatArg(double v) : kind(Kind::Real), real(v) {}
    FormatArg(char c) : kind(Kind::Character), character(c) {}
    FormatArg(const void* p) : kind(Kind::Pointer), pointer(p) {}

    Kind kind;
    std::string_view text;
    long long integer = 0;
    double real = 0;
    char character = 0;
    const void* pointer = nullptr;
};

// The message formatter: %s, %d, %i, %f, %c, %p and %%, the same directives as the
// interpreter's own. The search for "%" steps over double-byte characters of code page 932,
// so a trail byte is never read as a directive. Texts are copied in full, zero bytes included.
std::string format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace engine
