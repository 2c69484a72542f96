// The archive plug-in's entry points on mutated archives of every format (seeds in
// tests/data/fuzz/archive_plugin): the list is well formed, and every listed member extracted
// from memory and from a file either fails or has the size its record declares.
#include <selvarin/spi.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<SpiFileInfo> takeList(HLOCAL handle)
{
    std::vector<SpiFileInfo> records;
    const std::size_t size = LocalSize(handle);
    const auto* p = static_cast<const unsigned char*>(LocalLock(handle));
    std::size_t at = 0;
    for (; p && at < size && p[at] != 0; at += sizeof(SpiFileInfo)) {
        if (size - at < sizeof(SpiFileInfo))
            std::abort();  // no end record inside the block
        SpiFileInfo r;
        std::memcpy(&r, p + at, sizeof r);
        if (!std::memchr(r.path, 0, sizeof r.path) || !std::memchr(r.filename, 0, sizeof r.filename))
            std::abort();
        records.push_back(r);
    }
    LocalUnlock(handle);
    LocalFree(handle);
    return records;
}

void checkMember(int result, HLOCAL handle, const SpiFileInfo& r)
{
    if (result == SPI_SUCCESS) {
        if (!handle || LocalSize(handle) != r.filesize)
            std::abort();
    } else if (handle) {
        std::abort();  // an error result hands back nothing
    }
    if (handle)
        LocalFree(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    HLOCAL list = 0;
    const int result = GetArchiveInfo(bytes, static_cast<intptr_t>(size), SPI_INPUT_MEMORY, &list);
    if (result != SPI_SUCCESS && result != SPI_NOT_SUPPORT && list)
        std::abort();
    if (!list)
        return 0;
    const std::vector<SpiFileInfo> records = takeList(list);

    // The same bytes as a file, for the file source and the kept reader of solid archives.
    const int fd = memfd_create("archive", 0);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) {
        if (fd >= 0)
            close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    for (std::size_t i = 0; i < records.size() && i < 64; ++i) {
        const SpiFileInfo& r = records[i];
        if (r.filename[0] == 0)
            continue;
        HLOCAL out = 0;
        const std::size_t at = std::min<std::size_t>(r.position, size);
        checkMember(GetFile(bytes + at, static_cast<intptr_t>(size - at), reinterpret_cast<char*>(&out), SPI_INPUT_MEMORY | SPI_OUTPUT_MEMORY,
                            nullptr, 0),
                    out, r);
        out = 0;
        checkMember(GetFile(path.c_str(), r.position, reinterpret_cast<char*>(&out), SPI_INPUT_FILE | SPI_OUTPUT_MEMORY, nullptr, 0), out, r);
    }
    close(fd);
    return 0;
}
