#include "Paths.h"

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
    // "/" is never a trail byte of code page 932, so the plain replacement is safe.
    std::string text = utf8ToCp932(osPath);
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
    const UniqueFd fd(::open(toOsPath(scriptPath).c_str(), O_RDONLY | O_CLOEXEC));
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
