#include "Profile.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace platform {
namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int leadingInteger(std::string_view v)
{
    long long value = 0;
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i) {
        value = value * 10 + (v[i] - '0');
        if (value > 0x7FFFFFFF)
            value = 0x7FFFFFFF;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::string configFolder()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/selvarin";
}

bool ensureConfigFolder()
{
    std::error_code error;
    const std::filesystem::path folder = configFolder();
    if (std::filesystem::is_directory(folder, error))
        return true;
    // Parents get the usual mode; the folder itself holds the user's own settings.
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return std::filesystem::is_directory(folder, error);
}

std::string profilePath() { return configFolder() + "/win.ini"; }

int readProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback)
{
    std::ifstream in(path);
    if (!in)
        return fallback;
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view t = trim(line);
        if (t.empty() || t.front() == ';')
            continue;
        if (t.front() == '[') {
            const std::size_t close = t.find(']');
            inSection = close != std::string_view::npos && equalsNoCase(trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t eq = t.find('=');
        if (eq != std::string_view::npos && equalsNoCase(trim(t.substr(0, eq)), key))
            return leadingInteger(trim(t.substr(eq + 1)));
    }
    return fallback;
}

}  // namespace platform
