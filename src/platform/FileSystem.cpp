#include "FileSystem.h"

#include "Paths.h"

#include <unistd.h>

namespace platform {

bool removeFile(std::string_view scriptPath) { return std::remove(toOsPath(scriptPath).c_str()) == 0; }

bool renameFile(std::string_view fromScriptPath, std::string_view toScriptPath)
{
    return std::rename(toOsPath(fromScriptPath).c_str(), toOsPath(toScriptPath).c_str()) == 0;
}

std::optional<std::string> createTemporaryFile()
{
    char name[] = "/tmp/lua_XXXXXX";
    const int fd = mkstemp(name);
    if (fd == -1)
        return std::nullopt;
    close(fd);
    return fromOsPath(name);
}

FILE* openTemporaryStream() { return std::tmpfile(); }

}  // namespace platform
