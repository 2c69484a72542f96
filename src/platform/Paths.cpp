#include "Paths.h"

#include "FileIo.h"
#include "Sjis.h"
#include "TextCodec.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

Error lastSystemError()
{
    const int code = errno;
    return Error{code, utf8ToCp932(std::strerror(code))};
}

std::string toOsPath(std::string_view scriptPath)
{
    std::string slashed(scriptPath);
    for (std::size_t i = 0; i < slashed.size(); i += sjis::charLength(slashed, i)) {
        if (slashed[i] == '\\' && sjis::charLength(slashed, i) == 1)
            slashed[i] = '/';
    }
    return cp932ToUtf8(slashed);
}

std::string fromOsPath(std::string_view osPath)
{
    // "/" is never a trail byte of code page 932 nor a byte of an escape unit, so the plain
    // replacement is safe; a "\\" inside a name is escaped and stays part of it.
    std::string text = osNameToCp932(osPath);
    for (char& c : text) {
        if (c == '/')
            c = '\\';
    }
    return text;
}

std::string executablePath()
{
    char buffer[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return {};
    return fromOsPath(std::string_view(buffer, static_cast<std::size_t>(n)));
}

std::string moduleFolder()
{
    const std::string exe = executablePath();
    const std::size_t sep = sjis::findLast(exe, '\\');
    return sep == std::string::npos ? std::string() : exe.substr(0, sep);
}

std::string joinScriptPath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!sjis::endsWith(joined, '\\'))
        joined += '\\';
    joined += name;
    return joined;
}

std::string currentDirectory()
{
    char buffer[PATH_MAX + 1];
    if (!getcwd(buffer, sizeof buffer))
        return {};
    return fromOsPath(buffer);
}

Status setCurrentDirectory(std::string_view scriptPath)
{
    if (chdir(toOsPath(scriptPath).c_str()) != 0)
        return lastSystemError();
    return Done{};
}

bool fileExists(std::string_view scriptPath)
{
    struct stat st;
    return stat(toOsPath(scriptPath).c_str(), &st) == 0;
}

Result<std::string> readWholeFile(std::string_view scriptPath)
{
    const UniqueFd fd(openPlainFile(toOsPath(scriptPath), O_RDONLY));
    if (!fd.valid())
        return lastSystemError();
    std::string data;
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), block, sizeof block);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastSystemError();
        }
        data.append(block, static_cast<std::size_t>(n));
    }
    return data;
}

std::string absoluteOsPath(std::string_view osPath)
{
    if (!osPath.empty() && osPath.front() == '/')
        return std::string(osPath);
    char buffer[PATH_MAX + 1];
    if (!getcwd(buffer, sizeof buffer))
        return std::string(osPath);
    std::string joined(buffer);
    if (joined.back() != '/')
        joined += '/';
    joined += osPath;
    return joined;
}

}  // namespace platform

namespace platform {
namespace {

bool isSeparatorAt(std::string_view text, std::size_t i) noexcept
{
    return (text[i] == '\\' || text[i] == '/') && sjis::charLength(text, i) == 1;
}

char asciiLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the pattern character at p (not "*") matches the name character at n. An escaped
// character is one character, so "?" stands for it whole.
bool charMatches(std::string_view pattern, std::size_t p, std::string_view name, std::size_t n) noexcept
{
    const std::size_t pl = sjis::wholeCharLength(pattern, p);
    const std::size_t nl = sjis::wholeCharLength(name, n);
    if (pl == 1 && pattern[p] == '?')
        return true;
    if (pl != nl)
        return false;
    if (pl == 1)
        return asciiLower(pattern[p]) == asciiLower(name[n]);
    return pattern.compare(p, pl, name, n, nl) == 0;
}

// Greedy match with one remembered star: linear in practice, never exponential.
bool matchPlain(std::string_view pattern, std::string_view name) noexcept
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && charMatches(pattern, p, name, n)) {
            p += sjis::wholeCharLength(pattern, p);
            n += sjis::wholeCharLength(name, n);
        } else if (starP != std::string_view::npos) {
            starN += sjis::wholeCharLength(name, starN);
            n = starN;
            p = starP;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

std::string_view untilZero(std::string_view text) noexcept
{
    return text.substr(0, text.find('\0'));
}

bool isAbsolutePath(std::string_view text) noexcept
{
    if (!text.empty() && (text[0] == '\\' || text[0] == '/'))
        return true;
    if (text.size() <= 2)
        return false;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (letter && text[1] == ':' && text[2] == '\\')
        return true;
    return text.starts_with("\\\\") || text.starts_with("http://") || text.starts_with("ftp://");
}

std::vector<std::string_view> pathPieces(std::string_view text)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i)) {
        if (isSeparatorAt(text, i)) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        pieces.push_back(text.substr(start));
    return pieces;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string joined;
    joined.reserve(folder.size() + name.size() + 1);
    bool first = true;
    for (std::string_view piece : pathPieces(folder)) {
        if (!first)
            joined += '\\';
        joined += piece;
        first = false;
    }
    for (std::string_view piece : pathPieces(name)) {
        joined += '\\';
        joined += piece;
    }
    return joined;
}

std::pair<std::string, std::string> splitPath(std::string_view path)
{
    const std::vector<std::string_view> pieces = pathPieces(path);
    if (pieces.empty())
        return {};
    std::string folder;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (i > 0)
            folder += '\\';
        folder += pieces[i];
    }
    return {std::move(folder), std::string(pieces.back())};
}

std::pair<std::string, std::string> splitExtension(std::string_view path)
{
    const std::size_t sep = sjis::findLast(path, '\\');
    const std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    const std::size_t dot = sjis::findLast(name, '.');
    if (dot == std::string_view::npos)
        return {std::string(name), std::string()};
    return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::string fullPath(std::string_view scriptPath)
{
    if (isAbsolutePath(scriptPath))
        return std::string(scriptPath);
    const std::string joined = joinScriptPath(currentDirectory(), scriptPath);
    std::vector<std::string_view> kept;
    for (std::string_view piece : pathPieces(joined)) {
        if (piece == ".")
            continue;
        if (piece == "..") {
            // The leading empty piece stands for the root, which ".." cannot leave.
            if (kept.size() > 1)
                kept.pop_back();
            continue;
        }
        kept.push_back(piece);
    }
    std::string full;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            full += '\\';
        full += kept[i];
    }
    const bool trailing = sjis::endsWith(scriptPath, '\\') || sjis::endsWith(scriptPath, '/');
    if ((kept.size() == 1 || trailing) && !sjis::endsWith(full, '\\'))
        full += '\\';
    return full;
}

bool hasWildcard(std::string_view text) noexcept
{
    // Neither "*" nor "?" can be the second byte of a double-byte character.
    return text.find_first_of("*?") != std::string_view::npos;
}

bool matchWildcard(std::string_view pattern, std::string_view name) noexcept
{
    if (matchPlain(pattern, name))
        return true;
    if (pattern.size() >= 2 && pattern.ends_with(".*") && sjis::endsWith(pattern.substr(0, pattern.size() - 1), '.'))
        return matchPlain(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

}  // namespace platform
