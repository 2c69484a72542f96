#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Directory search by pattern: a folder path whose last piece may hold "*" and "?" wildcards.
namespace platform {

struct FoundEntry {
    std::string name;    // script form (code page 932)
    std::string osPath;  // the whole path, OS form
    bool isDirectory = false;
};

// Entries matching `scriptPattern`, in the order the file system lists them, "." and ".."
// included; at most `limit`. A last piece without wildcards names one entry, which is looked
// up directly. Missing folders, folders without permission and empty last pieces give nothing.
std::vector<FoundEntry> findEntries(std::string_view scriptPattern, std::size_t limit = static_cast<std::size_t>(-1));

// The names of `findEntries`: every directory before every file, each group in the order of
// compareText (Collator.h).
std::vector<std::string> findFiles(std::string_view scriptPattern);

}  // namespace platform
