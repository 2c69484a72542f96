#include "PluginInfo.h"

#include <algorithm>
#include <cstring>

namespace plugin {

int pluginInfo(int infono, char* buf, int buflen, std::initializer_list<const char*> texts)
{
    if (infono < 0 || static_cast<std::size_t>(infono) >= texts.size() || !buf || buflen <= 0)
        return 0;
    const char* text = texts.begin()[infono];
    const std::size_t n = std::min(std::strlen(text), static_cast<std::size_t>(buflen - 1));
    std::memcpy(buf, text, n);
    buf[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace plugin
