#include "PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace fixtures {

ArchivePlugin::ArchivePlugin() : m_library(dlopen(ARCHIVE_SPI_PATH, RTLD_NOW | RTLD_LOCAL))
{
    if (!m_library)
        return;
    getPluginInfo = reinterpret_cast<SpiGetPluginInfoFunc>(dlsym(m_library, "GetPluginInfo"));
    isSupported = reinterpret_cast<SpiIsSupportedFunc>(dlsym(m_library, "IsSupported"));
    getArchiveInfo = reinterpret_cast<SpiGetArchiveInfoFunc>(dlsym(m_library, "GetArchiveInfo"));
    getFile = reinterpret_cast<SpiGetFileFunc>(dlsym(m_library, "GetFile"));
}

ArchivePlugin::~ArchivePlugin()
{
    if (m_library)
        dlclose(m_library);
}

namespace {

Listing readList(int result, HLOCAL handle)
{
    Listing l;
    l.result = result;
    if (!handle)
        return l;
    const std::size_t size = LocalSize(handle);
    const auto* p = static_cast<const unsigned char*>(LocalLock(handle));
    for (std::size_t at = 0; p && at < size && p[at] != 0; at += sizeof(SpiFileInfo)) {
        if (size - at < sizeof(SpiFileInfo)) {
            l.result = -200;  // no end record inside the block
            break;
        }
        SpiFileInfo r;
        std::memcpy(&r, p + at, sizeof r);
        l.records.push_back(r);
    }
    LocalUnlock(handle);
    LocalFree(handle);
    return l;
}

Extracted readOutput(int result, HLOCAL handle)
{
    Extracted e;
    e.result = result;
    if (!handle)
        return e;
    const std::size_t size = LocalSize(handle);
    const auto* p = static_cast<const unsigned char*>(LocalLock(handle));
    e.data = Bytes(p, p + size);
    LocalUnlock(handle);
    LocalFree(handle);
    return e;
}

}  // namespace

Listing listFile(const ArchivePlugin& p, const std::string& path)
{
    HLOCAL handle = 0;
    const int result = p.getArchiveInfo(path.c_str(), 0, SPI_INPUT_FILE, &handle);
    return readList(result, handle);
}

Listing listMemory(const ArchivePlugin& p, const Bytes& data)
{
    HLOCAL handle = 0;
    const int result = p.getArchiveInfo(reinterpret_cast<const char*>(data.data()), static_cast<intptr_t>(data.size()), SPI_INPUT_MEMORY, &handle);
    return readList(result, handle);
}

Extracted extractFile(const ArchivePlugin& p, const std::string& path, std::uint32_t position, SpiProgressCallback progress, intptr_t user)
{
    HLOCAL handle = 0;
    const int result = p.getFile(path.c_str(), position, reinterpret_cast<char*>(&handle), SPI_INPUT_FILE | SPI_OUTPUT_MEMORY, progress, user);
    return readOutput(result, handle);
}

Extracted extractMemory(const ArchivePlugin& p, const Bytes& archive, std::uint32_t position)
{
    const std::size_t at = std::min<std::size_t>(position, archive.size());
    HLOCAL handle = 0;
    const int result = p.getFile(reinterpret_cast<const char*>(archive.data() + at), static_cast<intptr_t>(archive.size() - at),
                                 reinterpret_cast<char*>(&handle), SPI_INPUT_MEMORY | SPI_OUTPUT_MEMORY, nullptr, 0);
    return readOutput(result, handle);
}

std::string fullName(const SpiFileInfo& r)
{
    const std::string path(r.path, strnlen(r.path, sizeof r.path));
    const std::string name(r.filename, strnlen(r.filename, sizeof r.filename));
    return path.empty() ? name : path + "/" + name;
}

const SpiFileInfo* find(const Listing& l, const std::string& name)
{
    for (const SpiFileInfo& r : l.records) {
        if (fullName(r) == name)
            return &r;
    }
    return nullptr;
}

TempFile::TempFile(const Bytes& content, const std::string& suffix)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/archive-spi-XXXXXX" + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd >= 0)
        close(fd);
    m_path = pattern;
    rewrite(content);
}

TempFile::~TempFile() { std::remove(m_path.c_str()); }

void TempFile::rewrite(const Bytes& content) const
{
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

}  // namespace fixtures
