#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

// The bytes an entry point reads: the caller's memory block, or a regular file read in place
// (never slurped: archives are large and the viewer wants single members of them).
namespace archive_spi {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    // A program can set the modification time back (an archive restored with its old time
    // stamp at the same size); the change time it cannot.
    std::int64_t ctimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

class Source {
public:
    // A regular file from `offset` on; nothing for anything else (a pipe or a device would block).
    static std::optional<Source> openFile(const char* path, std::uint64_t offset);
    static Source memory(const void* data, std::size_t size);

    Source(Source&& other) noexcept;
    Source& operator=(Source&&) = delete;
    Source(const Source&) = delete;
    ~Source();

    std::uint64_t size() const { return m_size; }
    // Memory sources only: the bytes themselves.
    const unsigned char* bytes() const { return m_memory; }
    bool isFile() const { return m_fd >= 0; }
    const FileIdentity& identity() const { return m_identity; }

    // Up to n bytes at `at`; fewer only at the end. -1 on a read error.
    std::ptrdiff_t read(std::uint64_t at, void* out, std::size_t n) const;
    // Exactly n bytes at `at`, or false.
    bool readExact(std::uint64_t at, void* out, std::size_t n) const;

private:
    Source() = default;
    int m_fd = -1;
    std::uint64_t m_base = 0;
    const unsigned char* m_memory = nullptr;
    std::uint64_t m_size = 0;
    FileIdentity m_identity;
};

}  // namespace archive_spi
