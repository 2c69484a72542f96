#include "Locale.h"

#include <clocale>
#include <time.h>

namespace platform {

void useScriptLocale()
{
    std::setlocale(LC_ALL, "C");
    tzset();
}

const char* setLocale(LocaleCategory category, const char* name)
{
    static constexpr int kCategories[] = {LC_ALL, LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME};
    return std::setlocale(kCategories[static_cast<int>(category)], name);
}

bool localTime(std::time_t t, std::tm& parts) { return localtime_r(&t, &parts) != nullptr; }
bool universalTime(std::time_t t, std::tm& parts) { return gmtime_r(&t, &parts) != nullptr; }

}  // namespace platform
