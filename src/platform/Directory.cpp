#include "Directory.h"

#include "Collator.h"
#include "Paths.h"
#include "Sjis.h"
#include "TextCodec.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* d) const noexcept { closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// A link counts as what it points to, so a link to a folder sorts with the folders; a
// dangling link is a file.
bool isDirectoryAt(int dirFd, const char* name, unsigned char type)
{
    if (type == DT_DIR)
        return true;
    if (type != DT_LNK && type != DT_UNKNOWN)
        return false;
    struct stat st;
    return fstatat(dirFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

std::size_t lastSeparator(std::string_view text) noexcept
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i)) {
        if ((text[i] == '\\' || text[i] == '/') && sjis::charLength(text, i) == 1)
            found = i;
    }
    return found;
}

}  // namespace

std::vector<FoundEntry> findEntries(std::string_view scriptPattern, std::size_t limit)
{
    std::vector<FoundEntry> found;
    const std::string_view pattern = untilZero(scriptPattern);
    const std::size_t sep = lastSeparator(pattern);
    const std::string_view namePattern = sep == std::string_view::npos ? pattern : pattern.substr(sep + 1);
    if (namePattern.empty() || limit == 0)
        return found;

    if (!hasWildcard(namePattern)) {
        const std::string osPath = toOsPath(pattern);
        struct stat st;
        if (stat(osPath.c_str(), &st) == 0)
            found.push_back({std::string(namePattern), osPath, S_ISDIR(st.st_mode)});
        else if (lstat(osPath.c_str(), &st) == 0)
            found.push_back({std::string(namePattern), osPath, false});
        return found;
    }

    std::string osFolder;
    if (sep == std::string_view::npos)
        osFolder = ".";
    else if (sep == 0)
        osFolder = "/";
    else
        osFolder = toOsPath(pattern.substr(0, sep));
    DirPtr dir(opendir(osFolder.c_str()));
    if (!dir)
        return found;
    const int fd = dirfd(dir.get());
    std::string prefix = osFolder;
    if (prefix.back() != '/')
        prefix += '/';
    while (const dirent* e = readdir(dir.get())) {
        std::string name = osNameToCp932(e->d_name);
        if (!matchWildcard(namePattern, name))
            continue;
        found.push_back({std::move(name), prefix + e->d_name, isDirectoryAt(fd, e->d_name, e->d_type)});
        if (found.size() >= limit)
            break;
    }
    return found;
}

std::vector<std::string> findFiles(std::string_view scriptPattern)
{
    std::vector<FoundEntry> entries = findEntries(scriptPattern);
    // "." and ".." lead the directories whatever the collator thinks of punctuation.
    struct Keyed {
        int group;
        std::string key;
        std::string* name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (FoundEntry& e : entries)
        keyed.push_back({e.isDirectory ? (e.name == "." ? 0 : e.name == ".." ? 1 : 2) : 3, collationKey(e.name), &e.name});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.group != b.group)
            return a.group < b.group;
        if (const int c = a.key.compare(b.key); c != 0)
            return c < 0;
        // Equal under the collator: byte order keeps the result the same from run to run.
        return *a.name < *b.name;
    });
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (const Keyed& k : keyed)
        names.push_back(std::move(*k.name));
    return names;
}

}  // namespace platform
