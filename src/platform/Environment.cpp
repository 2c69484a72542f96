#include "Environment.h"

#include "TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::optional<std::string> environmentValue(std::string_view name)
{
    const char* value = std::getenv(cp932ToUtf8(name).c_str());
    if (!value)
        return std::nullopt;
    return utf8ToCp932(value);
}

bool nonInteractive()
{
    const char* value = std::getenv("SELVARIN_NONINTERACTIVE");
    return value && *value;
}

void setNonInteractive(bool on)
{
    if (on)
        setenv("SELVARIN_NONINTERACTIVE", "1", 1);
    else
        unsetenv("SELVARIN_NONINTERACTIVE");
}

bool usePrivateFolder(const std::string& dir)
{
    // lstat: a symbolic link planted under the name is refused, not followed to a folder that
    // somebody else chose.
    struct stat st;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

void prepareSession(bool headless)
{
    if (headless && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        // Private to the user, as the session's own folder would be; otherwise leave it unset.
        const std::string dir = "/tmp/runtime-" + std::to_string(getuid());
        if (usePrivateFolder(dir))
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
}

}  // namespace platform
