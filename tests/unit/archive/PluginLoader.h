#pragma once

#include "ArchiveFixtures.h"

#include <selvarin/spi.h>

#include <optional>
#include <string>
#include <vector>

// archive.spi loaded as the viewer loads it (dlopen, entry points by name), with the calls the
// viewer makes.
namespace fixtures {

class ArchivePlugin {
public:
    ArchivePlugin();
    ~ArchivePlugin();

    SpiGetPluginInfoFunc getPluginInfo = nullptr;
    SpiIsSupportedFunc isSupported = nullptr;
    SpiGetArchiveInfoFunc getArchiveInfo = nullptr;
    SpiGetFileFunc getFile = nullptr;
    bool loaded() const { return m_library != nullptr; }

private:
    void* m_library = nullptr;
};

struct Listing {
    int result = -100;
    std::vector<SpiFileInfo> records;
};

Listing listFile(const ArchivePlugin& p, const std::string& path);
Listing listMemory(const ArchivePlugin& p, const Bytes& data);

struct Extracted {
    int result = -100;
    std::optional<Bytes> data;  // only when a handle came back
};

Extracted extractFile(const ArchivePlugin& p, const std::string& path, std::uint32_t position,
                      SpiProgressCallback progress = nullptr, intptr_t user = 0);
// As the viewer passes a Buffer: the block from the position on.
Extracted extractMemory(const ArchivePlugin& p, const Bytes& archive, std::uint32_t position);

std::string fullName(const SpiFileInfo& r);  // "path/filename"
const SpiFileInfo* find(const Listing& l, const std::string& fullName);

// A file in the test's temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const Bytes& content, const std::string& suffix = ".bin");
    ~TempFile();
    const std::string& path() const { return m_path; }
    void rewrite(const Bytes& content) const;

private:
    std::string m_path;
};

}  // namespace fixtures
