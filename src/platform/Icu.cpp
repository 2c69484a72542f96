#include "Icu.h"

#include <cstdio>

namespace platform::icu {

void reportUnavailable(const char* what, UErrorCode status) noexcept
{
    std::fprintf(stderr, "selvarin: ICU %s is not available (%s)\n", what, u_errorName(status));
}

}  // namespace platform::icu
