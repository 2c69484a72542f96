#pragma once

#include "Source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The zip format read by the plug-in itself: the central directory (libarchive's streaming
// reader gives neither compressed sizes nor CRCs) and single local headers.
namespace archive_spi {

struct ZipEntry {
    std::string name;  // UTF-8 when the archive says so or the bytes are UTF-8, else as stored
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeader = 0;  // offset in the source, kNoLocalHeader when outside it
    std::int64_t mtime = 0;         // seconds since 1970
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    bool complete = true;  // false: the directory broke off; the entries before the break are kept
};

constexpr std::uint64_t kNoLocalHeader = UINT64_MAX;
constexpr std::uint16_t kZipEncrypted = 0x0001;
constexpr std::uint16_t kZipDataDescriptor = 0x0008;
constexpr std::uint16_t kZipUtf8 = 0x0800;

// The central directory of the zip archive that ends where the source ends; nothing when there
// is no end record. Offsets are corrected for data in front of the archive, and for a source
// that begins further into it (a memory block passed from a member on).
// Without `decodeNames` the names are left as stored (extraction needs only the sizes).
std::optional<ZipDirectory> readZipDirectory(const Source& source, bool decodeNames = true);

struct ZipLocalHeader {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    bool sizesKnown = false;  // false when a data descriptor after the data holds them
    std::uint64_t dataStart = 0;
};

std::optional<ZipLocalHeader> readZipLocalHeader(const Source& source, std::uint64_t at);

// The text of a zip method for the entry record ("deflate", "store", ...).
const char* zipMethodName(std::uint16_t method);

}  // namespace archive_spi
