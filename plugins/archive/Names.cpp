#include "Names.h"

#include <iconv.h>

#include <algorithm>
#include <vector>

namespace archive_spi {
namespace {

// Length of the valid UTF-8 sequence at p (shortest form, no surrogates, at most U+10FFFF), or 0.
std::size_t sequenceLength(const unsigned char* p, std::size_t n) noexcept
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (n < length || p[1] < low || p[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

}  // namespace

bool isUtf8(std::string_view text) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequenceLength(p + i, text.size() - i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

LegacyNameDecoder::LegacyNameDecoder() : m_iconv(reinterpret_cast<void*>(iconv_open("UTF-8", "CP932"))) {}

LegacyNameDecoder::~LegacyNameDecoder()
{
    if (m_iconv != reinterpret_cast<void*>(-1))
        iconv_close(static_cast<iconv_t>(m_iconv));
}

std::string LegacyNameDecoder::decode(std::string_view raw)
{
    if (isUtf8(raw) || m_iconv == reinterpret_cast<void*>(-1))
        return std::string(raw);
    const auto cd = static_cast<iconv_t>(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> in(raw.begin(), raw.end());
    std::string out(raw.size() * 3 + 4, '\0');  // a code page 932 character is at most 3 UTF-8 bytes
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::string(raw);
    out.resize(out.size() - outLeft);
    return out;
}

std::string LegacyNameDecoder::decodeRar(std::string_view raw)
{
    if (isUtf8(raw))
        return std::string(raw);
    std::string repaired(raw);
    for (std::size_t i = 0; i + 1 < repaired.size(); ++i) {
        const auto b = static_cast<unsigned char>(repaired[i]);
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
            if (repaired[i + 1] == '/')
                repaired[i + 1] = '\\';
            ++i;
        }
    }
    return decode(repaired);
}

SplitName splitEntryName(std::string_view full, bool backslashSeparates)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= full.size(); ++i) {
        if (i == full.size() || full[i] == '/' || (backslashSeparates && full[i] == '\\')) {
            // "./a.jpg" from a tar of "." names a.jpg at the top.
            const std::string_view piece = full.substr(start, i - start);
            if (!piece.empty() && piece != ".")
                pieces.push_back(piece);
            start = i + 1;
        }
    }
    const bool directory = !full.empty() && (full.back() == '/' || (backslashSeparates && full.back() == '\\'));
    SplitName split;
    const std::size_t folderPieces = directory ? pieces.size() : (pieces.empty() ? 0 : pieces.size() - 1);
    for (std::size_t i = 0; i < folderPieces; ++i) {
        if (i)
            split.folder += '/';
        split.folder += pieces[i];
    }
    if (!directory && !pieces.empty())
        split.name = pieces.back();
    return split;
}

std::string_view utf8Prefix(std::string_view text, std::size_t limit) noexcept
{
    if (text.size() <= limit)
        return text;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t end = 0;
    while (end < limit) {
        // A byte that starts no valid sequence counts as one character of its own.
        const std::size_t n = std::max<std::size_t>(1, sequenceLength(p + end, text.size() - end));
        if (end + n > limit)
            break;
        end += n;
    }
    return text.substr(0, end);
}

std::string fitName(std::string_view name, std::size_t limit)
{
    if (name.size() <= limit)
        return std::string(name);
    // An extension is kept when it leaves room for at least as much of the name.
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= std::min<std::size_t>(limit / 2, 32)) {
        const std::string_view extension = name.substr(dot);
        std::string fitted(utf8Prefix(name.substr(0, dot), limit - extension.size()));
        fitted += extension;
        return fitted;
    }
    return std::string(utf8Prefix(name, limit));
}

}  // namespace archive_spi
