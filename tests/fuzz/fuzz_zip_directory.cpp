// The zip central-directory and local-header readers on untrusted bytes: every entry they report
// lies inside the input, and reading its local header stays inside it too.
#include "ZipDirectory.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace archive_spi;
    const Source source = Source::memory(data, size);
    const std::optional<ZipDirectory> directory = readZipDirectory(source);
    if (!directory)
        return 0;
    for (const ZipEntry& e : directory->entries) {
        if (e.localHeader == kNoLocalHeader)
            continue;
        if (e.localHeader >= size)
            std::abort();
        if (const std::optional<ZipLocalHeader> local = readZipLocalHeader(source, e.localHeader); local && local->dataStart > size)
            std::abort();
    }
    return 0;
}
