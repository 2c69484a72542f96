#pragma once

#include <unicode/utypes.h>

#include <memory>

// The one way ICU objects are opened here. A missing converter or collator means a broken ICU
// installation, not a script error: the object is null, standard error says which one is
// missing, and its user falls back to a plain but safe behaviour.
namespace platform::icu {

template <typename T, void (*Close)(T*)>
struct Closer {
    void operator()(T* object) const noexcept { Close(object); }
};

template <typename T, void (*Close)(T*)>
using Ptr = std::unique_ptr<T, Closer<T, Close>>;

void reportUnavailable(const char* what, UErrorCode status) noexcept;

// `open(UErrorCode*)` returns the new object; `what` names it in the report.
template <typename T, void (*Close)(T*), typename Open>
Ptr<T, Close> open(const char* what, Open&& open)
{
    UErrorCode status = U_ZERO_ERROR;
    Ptr<T, Close> object(open(&status));
    if (U_FAILURE(status) || !object) {
        object.reset();
        reportUnavailable(what, status);
    }
    return object;
}

}  // namespace platform::icu
