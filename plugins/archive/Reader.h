#pragma once

#include "Source.h"

#include <archive.h>

#include <cstdint>
#include <memory>
#include <vector>

// A libarchive reader over a window of a source, fed through callbacks so that a member deep
// inside a file is reached by seeking, not by reading everything before it.
namespace archive_spi {

enum class ReaderKind {
    ZipMember,  // one zip member from its local header on
    Tar,        // an uncompressed tar from a header on
    Listed,     // rar, 7z, and tar with or without gzip, bzip2 or xz
};

class Reader {
public:
    // Nothing when libarchive refuses to open the window.
    static std::unique_ptr<Reader> open(const Source& source, std::uint64_t start, std::uint64_t end, ReaderKind kind);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    archive* get() const { return m_archive; }

private:
    Reader(const Source& source, std::uint64_t start, std::uint64_t end);
    static la_ssize_t readCallback(archive*, void* self, const void** buffer);
    static la_int64_t skipCallback(archive*, void* self, la_int64_t request);
    static la_int64_t seekCallback(archive*, void* self, la_int64_t offset, int whence);

    const Source& m_source;
    std::uint64_t m_start;
    std::uint64_t m_end;
    std::uint64_t m_position;
    std::vector<unsigned char> m_buffer;
    archive* m_archive = nullptr;
};

}  // namespace archive_spi
