#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Archives made in the tests: libarchive's writers for the formats it writes, and small
// hand-made zip and rar files for what no writer produces (lying headers, old name encodings).
namespace fixtures {

using Bytes = std::vector<unsigned char>;

struct Member {
    std::string name;  // "dir/" for a directory
    Bytes data;
    std::int64_t mtime = 1700000000;
};

Bytes bytesOf(const std::string& text);
// Pseudo-random bytes, the way compressed pictures look to a compressor.
Bytes noise(std::size_t size, std::uint32_t seed);

// A comic: `pages` members "FOLDER/001.jpg"... of pseudo-random bytes, in page order.
std::vector<Member> comicPages(int pages, std::size_t pageSize, const std::string& folder = "comic");

// libarchive writer: format "zip", "7zip", "pax", "ustar"...; filter "gzip", "bzip2", "xz" or "";
// options such as "zip:compression=store" or "hdrcharset=CP932".
Bytes writeArchive(const std::string& format, const std::string& filter, const std::vector<Member>& members,
                   const std::string& options = "");

// A zip written field by field. Members are stored, or deflated with zlib.
struct ZipMember {
    std::string name;  // raw bytes
    Bytes data;
    bool deflate = false;
    std::uint16_t flags = 0;
    // Overrides of what the headers declare (bad archives).
    std::int64_t declaredSize = -1;
    std::int64_t declaredCompressed = -1;
    std::int64_t declaredOffset = -1;
    bool descriptor = false;  // sizes after the data (bit 3), zero in the local header
};
Bytes writeZip(const std::vector<ZipMember>& members, const Bytes& prefix = {});

// A RAR 4 archive of stored members; names without the Unicode flag are raw (code page 932).
Bytes writeRar4(const std::vector<Member>& members);

std::uint32_t crcOf(const Bytes& data);
std::string toCp932(const std::string& utf8);

}  // namespace fixtures
