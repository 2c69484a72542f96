#pragma once

#include <ctime>

// The process's locale and the calendar conversions of its time zone.
namespace platform {

// The C locale for everything, and the time zone read again from the environment: what scripts
// expect, whatever the GUI library set up before.
void useScriptLocale();

enum class LocaleCategory { All, Collate, Ctype, Monetary, Numeric, Time };
// Sets (or with a null name queries) the locale of `category`; the resulting name, or null when
// the locale is not available.
const char* setLocale(LocaleCategory category, const char* name);

// Calendar parts of `t` in the local time zone or in UTC; false when `t` is out of range.
bool localTime(std::time_t t, std::tm& parts);
bool universalTime(std::time_t t, std::tm& parts);

}  // namespace platform
