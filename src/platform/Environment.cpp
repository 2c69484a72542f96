#include "Environment.h"

#include "TextCodec.h"

#include <cstdlib>

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

}  // namespace platform
