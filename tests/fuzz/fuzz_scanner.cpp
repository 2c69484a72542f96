#include "engine/profile/Scanner.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    if (engine::profile::isPrecompiled(source))
        return 0;
    std::string out;
    if (engine::profile::translateSource(source, "=fuzz", out)) {
        // The translation keeps the line structure: as many line feeds as the source has lines.
        std::string text(source);
        engine::profile::readAsTextFile(text);
        (void)text;
    }
    engine::profile::chunkId(source);
    return 0;
}
