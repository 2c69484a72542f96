#include "Source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive_spi {

std::optional<Source> Source::openFile(const char* path, std::uint64_t offset)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) < offset) {
        ::close(fd);
        return std::nullopt;
    }
    Source source;
    source.m_fd = fd;
    source.m_base = offset;
    source.m_size = static_cast<std::uint64_t>(st.st_size) - offset;
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    source.m_identity = {st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
    return source;
}

Source Source::memory(const void* data, std::size_t size)
{
    Source source;
    source.m_memory = static_cast<const unsigned char*>(data);
    source.m_size = data ? size : 0;
    return source;
}

Source::Source(Source&& other) noexcept
    : m_fd(other.m_fd), m_base(other.m_base), m_memory(other.m_memory), m_size(other.m_size), m_identity(other.m_identity)
{
    other.m_fd = -1;
}

Source::~Source()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::ptrdiff_t Source::read(std::uint64_t at, void* out, std::size_t n) const
{
    if (at >= m_size || n == 0)
        return 0;
    if (n > m_size - at)
        n = static_cast<std::size_t>(m_size - at);
    if (m_memory) {
        std::memcpy(out, m_memory + at, n);
        return static_cast<std::ptrdiff_t>(n);
    }
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(m_fd, static_cast<char*>(out) + done, n - done, static_cast<off_t>(m_base + at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;  // the file shrank under us
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::ptrdiff_t>(done);
}

bool Source::readExact(std::uint64_t at, void* out, std::size_t n) const
{
    return read(at, out, n) == static_cast<std::ptrdiff_t>(n);
}

}  // namespace archive_spi
