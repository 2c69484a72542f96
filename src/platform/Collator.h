#pragma once

#include <string>
#include <string_view>

// Locale-aware comparison of code page 932 texts: one ICU collator for locale "ja", which
// stands for the Japanese system locale the scripts were written for. Texts are compared in
// full; zero bytes take part.
namespace platform {

// -1, 0 or 1; 0 also when the collator is not available.
int compareText(std::string_view a, std::string_view b);

// Bytes whose plain byte order is the order of compareText; sorting many texts by their keys
// converts each text once instead of once per comparison.
std::string collationKey(std::string_view text);

}  // namespace platform
