#include "TextCodec.h"

#include "Icu.h"
#include "Sjis.h"
#include "Utf8.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdint>
#include <memory>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

constexpr bool isTrailByte(unsigned char b) noexcept { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
constexpr std::size_t leadIndex(unsigned char lead) noexcept { return lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 31u; }

// Code page 932 as lookup tables, read once from ICU's "windows-31j". The tables stand apart
// from ICU's converter in three ways: ASCII is always itself (the converter swaps three control
// codes); a character counts as code page 932 only when it converts there and back unchanged;
// and the codes of the escape units are left out, so no character is ever written as one.
struct Tables {
    char16_t single[256];         // byte -> character; U+FFFD for lead bytes and unassigned bytes
    char16_t pair[60][256];       // lead index, trail byte -> character; U+FFFD unassigned
    std::uint16_t code[0x10000];  // character -> its code (one or two bytes); 0: none
};

using Converter = icu::Ptr<UConverter, ucnv_close>;

bool decodeOne(UConverter* conv, const char* bytes, int32_t n, char16_t& out)
{
    UChar u[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(conv);
    const int32_t k = ucnv_toUChars(conv, u, 4, bytes, n, &status);
    if (U_FAILURE(status) || k != 1)
        return false;
    out = static_cast<char16_t>(u[0]);
    return true;
}

// The code that `c` converts to, when it is the code `expected` (one or two bytes).
bool encodesTo(UConverter* conv, char16_t c, std::uint16_t expected)
{
    char bytes[4];
    UErrorCode status = U_ZERO_ERROR;
    const UChar u = c;
    ucnv_resetFromUnicode(conv);
    const int32_t k = ucnv_fromUChars(conv, bytes, 4, &u, 1, &status);
    if (U_FAILURE(status))
        return false;
    if (k == 1)
        return expected == static_cast<unsigned char>(bytes[0]);
    return k == 2 && expected == (static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]));
}

std::unique_ptr<Tables> buildTables()
{
    auto t = std::make_unique<Tables>();
    for (int b = 0; b < 256; ++b)
        t->single[b] = b < 0x80 ? static_cast<char16_t>(b) : kReplacement;
    for (auto& row : t->pair)
        for (char16_t& c : row)
            c = kReplacement;

    // Without a converter only ASCII is code page 932: everything else is escaped, still lossless.
    const Converter conv = icu::open<UConverter, ucnv_close>("converter windows-31j", [](UErrorCode* status) {
        UConverter* c = ucnv_open("windows-31j", status);
        if (c) {
            // Unassigned and illegal input is an error here, not a substitute character.
            ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, status);
            ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, status);
        }
        return c;
    });
    if (!conv)
        return t;

    for (int b = 0x80; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        char16_t c;
        if (sjis::isLeadByte(byte) || !decodeOne(conv.get(), reinterpret_cast<const char*>(&byte), 1, c))
            continue;
        t->single[b] = c;
        if (encodesTo(conv.get(), c, byte))
            t->code[c] = byte;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!sjis::isLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t c;
            if (!isTrailByte(static_cast<unsigned char>(trail)) || !decodeOne(conv.get(), bytes, 2, c))
                continue;
            t->pair[leadIndex(static_cast<unsigned char>(lead))][trail] = c;
            const auto code = static_cast<std::uint16_t>(lead << 8 | trail);
            if (c >= 0x80 && !sjis::isEscapeUnit(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)) &&
                encodesTo(conv.get(), c, code))
                t->code[c] = code;
        }
    }
    return t;
}

// Never freed: conversions may still run in other objects' destructors at exit.
const Tables& tables()
{
    static const Tables* const t = buildTables().release();
    return *t;
}

void appendCode(std::string& out, std::uint16_t code)
{
    if (code > 0xFF)
        out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

void appendUnit(std::string& out, unsigned char b)
{
    out += static_cast<char>(sjis::escapeLead(b));
    out += static_cast<char>(sjis::escapeTrail(b));
}

std::uint16_t codeOf(const Tables& t, char32_t c) noexcept { return c <= 0xFFFF ? t.code[c] : 0; }

// One character given as a code point: code page 932 when it has it, else escape units.
void appendLossless(std::string& out, const Tables& t, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (const std::uint16_t code = codeOf(t, c)) {
        appendCode(out, code);
    } else {
        if (c >= 0xD800 && c <= 0xDFFF)
            c = kReplacement;
        utf8::encode(c, [&out](unsigned char b) { appendUnit(out, b); });
    }
}

std::string fromOs(std::string_view in, bool name)
{
    const Tables& t = tables();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::string out;
    out.reserve(n + n / 2);
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            if (name && (b == '\\' || b == '*' || b == '?'))
                appendUnit(out, b);
            else
                out += static_cast<char>(b);
            ++i;
            continue;
        }
        const utf8::Decoded d = utf8::decode(p + i, n - i);
        if (d.length == 0) {
            appendUnit(out, b);
            ++i;
            continue;
        }
        if (const std::uint16_t code = codeOf(t, d.codePoint)) {
            appendCode(out, code);
        } else {
            for (std::size_t k = 0; k < d.length; ++k)
                appendUnit(out, p[i + k]);
        }
        i += d.length;
    }
    return out;
}

// Walks script text: sink.character(c) for each character, sink.escaped(bytes) for each run
// of escape units with the bytes they stand for.
template <typename Sink>
void decodeScript(std::string_view in, Sink& sink)
{
    const Tables& t = tables();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::string run;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            sink.character(b);
            ++i;
        } else if (!sjis::isLeadByte(b)) {
            sink.character(t.single[b]);
            ++i;
        } else if (i + 1 >= n || !isTrailByte(p[i + 1])) {
            // A lead byte without its trail stands alone; what follows is read afresh.
            sink.character(kReplacement);
            ++i;
        } else if (sjis::isEscapeUnit(b, p[i + 1])) {
            run.clear();
            do {
                run += static_cast<char>(sjis::escapedByte(p[i], p[i + 1]));
                i += 2;
            } while (i + 1 < n && sjis::isEscapeUnit(p[i], p[i + 1]));
            sink.escaped(run);
        } else {
            sink.character(t.pair[leadIndex(b)][p[i + 1]]);
            i += 2;
        }
    }
}

struct Utf8Sink {
    std::string out;
    void character(char32_t c)
    {
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            utf8::encode(c, [this](unsigned char b) { out += static_cast<char>(b); });
    }
    void escaped(const std::string& bytes) { out += bytes; }
};

struct Utf16Sink {
    std::u16string out;
    void character(char32_t c)
    {
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD7C0 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        }
    }
    // The characters the bytes spell; each byte that spells none is U+FFFD.
    void escaped(const std::string& bytes)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        for (std::size_t i = 0; i < bytes.size();) {
            const utf8::Decoded d = utf8::decode(p + i, bytes.size() - i);
            character(d.length ? d.codePoint : kReplacement);
            i += d.length ? d.length : 1;
        }
    }
};

// Code points of UTF-16 text; a lone surrogate is U+FFFD.
template <typename Each>
void forEachCodePoint(std::u16string_view text, Each&& each)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        each(c);
    }
}

// User-defined characters U+E000-U+E757 fill lead bytes 0xF0-0xF9, 188 trail bytes each.
std::uint16_t userDefinedCode(char32_t c) noexcept
{
    const unsigned index = static_cast<unsigned>(c - 0xE000);
    const unsigned trail = index % 188;
    return static_cast<std::uint16_t>((0xF0 + index / 188) << 8 | (trail + (trail < 0x3F ? 0x40 : 0x41)));
}

}  // namespace

std::string utf8ToCp932(std::string_view utf8) { return fromOs(utf8, false); }

std::string osNameToCp932(std::string_view osName) { return fromOs(osName, true); }

std::string cp932ToUtf8(std::string_view cp932)
{
    Utf8Sink sink;
    sink.out.reserve(cp932.size() + cp932.size() / 2);
    decodeScript(cp932, sink);
    return std::move(sink.out);
}

std::u16string cp932ToUtf16(std::string_view cp932)
{
    Utf16Sink sink;
    sink.out.reserve(cp932.size());
    decodeScript(cp932, sink);
    return std::move(sink.out);
}

std::string utf16ToCp932(std::u16string_view utf16)
{
    const Tables& t = tables();
    std::string out;
    out.reserve(utf16.size() * 2);
    forEachCodePoint(utf16, [&](char32_t c) { appendLossless(out, t, c); });
    return out;
}

std::string utf16ToCp932Replacing(std::u16string_view utf16)
{
    const Tables& t = tables();
    std::string out;
    out.reserve(utf16.size() * 2);
    forEachCodePoint(utf16, [&](char32_t c) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c >= 0xE000 && c <= 0xE757)
            appendCode(out, userDefinedCode(c));
        else if (const std::uint16_t code = codeOf(t, c))
            appendCode(out, code);
        else
            out += '?';
    });
    return out;
}

QString cp932ToQString(std::string_view cp932)
{
    const std::u16string u = cp932ToUtf16(cp932);
    return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

std::string qstringToCp932(const QString& text)
{
    return utf16ToCp932(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

namespace {

// Where a UTF-8 sequence that lacks its last bytes begins among the escape units
// text[runStart, end); `end` when the last sequence is whole.
std::size_t openSequence(std::string_view text, std::size_t runStart, std::size_t end) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t units = (end - runStart) / 2;
    for (std::size_t back = 1; back <= 3 && back <= units; ++back) {
        const std::size_t at = end - 2 * back;
        const unsigned char b = sjis::escapedByte(p[at], p[at + 1]);
        if (utf8::isContinuation(b))
            continue;
        const std::size_t needed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 1;
        return needed > back && b <= 0xF4 ? at : end;
    }
    return end;
}

// Where the text's last character, if it may still be incomplete, begins: a lead byte at the
// very end, or the escape units of a UTF-8 sequence that lacks its last bytes. text.size() when
// everything is whole. Holding back more than needed is harmless: it is decoded with what follows.
std::size_t incompleteTail(std::string_view text) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t runStart = std::string_view::npos;  // the escape units just before i
    std::size_t i = 0;
    while (i < text.size()) {
        if (sjis::escapeUnitAt(text, i)) {
            if (runStart == std::string_view::npos)
                runStart = i;
            i += 2;
            continue;
        }
        if (i + 1 == text.size() && sjis::isLeadByte(p[i])) {
            // Perhaps the first half of a unit that continues the run.
            const bool escapeLead = p[i] >= sjis::kEscapeFirstLead && p[i] <= sjis::kEscapeLastLead;
            return escapeLead && runStart != std::string_view::npos ? openSequence(text, runStart, i) : i;
        }
        runStart = std::string_view::npos;
        i += sjis::charLength(text, i);
    }
    return runStart == std::string_view::npos ? text.size() : openSequence(text, runStart, text.size());
}

}  // namespace

QString ScriptTextStream::decode(std::string_view piece)
{
    m_pending.append(piece);
    const std::size_t cut = incompleteTail(m_pending);
    const QString whole = cp932ToQString(std::string_view(m_pending).substr(0, cut));
    m_pending.erase(0, cut);
    return whole;
}

QString ScriptTextStream::finish()
{
    const QString rest = cp932ToQString(m_pending);
    m_pending.clear();
    return rest;
}

}  // namespace platform
