#include "TextCodec.h"

#include <unicode/ucnv.h>

#include <memory>
#include <new>
#include <stdexcept>

namespace platform {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const noexcept { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// One converter per thread: ICU converters keep state and are not shareable.
UConverter* cp932()
{
    thread_local Converter conv = [] {
        UErrorCode status = U_ZERO_ERROR;
        Converter c(ucnv_open("windows-31j", &status));
        if (U_FAILURE(status) || !c)
            throw std::runtime_error("code page 932 converter is not available");
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(c.get(), "?", 1, &status);
        // Bytes that are not code page 932 come through as "?" too.
        status = U_ZERO_ERROR;
        static const UChar question = u'?';
        ucnv_setSubstString(c.get(), &question, 1, &status);
        return c;
    }();
    return conv.get();
}

}  // namespace

std::u16string cp932ToUtf16(std::string_view cp932Text)
{
    if (cp932Text.empty())
        return {};
    UConverter* conv = cp932();
    ucnv_resetToUnicode(conv);
    std::u16string out(cp932Text.size() * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                    cp932Text.data(), static_cast<int32_t>(cp932Text.size()), &status);
    if (U_FAILURE(status))
        throw std::bad_alloc();
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string utf16ToCp932(std::u16string_view text)
{
    if (text.empty())
        return {};
    UConverter* conv = cp932();
    ucnv_resetFromUnicode(conv);
    std::string out(text.size() * 2 + 2, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        throw std::bad_alloc();
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string cp932ToUtf8(std::string_view cp932Text)
{
    return cp932ToQString(cp932Text).toStdString();
}

std::string utf8ToCp932(std::string_view utf8)
{
    return qstringToCp932(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

QString cp932ToQString(std::string_view cp932Text)
{
    const std::u16string u = cp932ToUtf16(cp932Text);
    return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

std::string qstringToCp932(const QString& text)
{
    return utf16ToCp932(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

}  // namespace platform
