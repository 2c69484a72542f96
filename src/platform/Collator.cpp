#include "Collator.h"

#include "Icu.h"
#include "TextCodec.h"

#include <unicode/ucol.h>

namespace platform {
namespace {

// One collator per thread; null when ICU cannot give one.
UCollator* japanese()
{
    thread_local const icu::Ptr<UCollator, ucol_close> collator =
        icu::open<UCollator, ucol_close>("collator for locale ja", [](UErrorCode* status) { return ucol_open("ja", status); });
    return collator.get();
}

}  // namespace

int compareText(std::string_view a, std::string_view b)
{
    UCollator* collator = japanese();
    if (!collator)
        return 0;
    const std::u16string ua = cp932ToUtf16(a);
    const std::u16string ub = cp932ToUtf16(b);
    switch (ucol_strcoll(collator, reinterpret_cast<const UChar*>(ua.data()), static_cast<int32_t>(ua.size()),
                         reinterpret_cast<const UChar*>(ub.data()), static_cast<int32_t>(ub.size()))) {
    case UCOL_LESS: return -1;
    case UCOL_GREATER: return 1;
    default: return 0;
    }
}

std::string collationKey(std::string_view text)
{
    UCollator* collator = japanese();
    if (!collator)
        return {};
    const std::u16string u = cp932ToUtf16(text);
    std::string key(u.size() * 4 + 16, '\0');
    for (;;) {
        const int32_t needed = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(u.data()), static_cast<int32_t>(u.size()),
                                               reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
        if (needed <= 0)
            return {};
        if (static_cast<std::size_t>(needed) <= key.size()) {
            // The count includes the terminating zero, which no comparison needs.
            key.resize(static_cast<std::size_t>(needed) - 1);
            return key;
        }
        key.assign(static_cast<std::size_t>(needed), '\0');
    }
}

}  // namespace platform
