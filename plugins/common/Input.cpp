#include "Input.h"

#include <selvarin/spi.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plugin {

namespace {

// Inputs beyond this are refused instead of read: no picture the viewer can show needs more.
constexpr std::uint64_t kMaxInputBytes = std::uint64_t{1} << 32;

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

int readFile(const char* path, std::uint64_t offset, std::vector<std::uint8_t>& out)
{
    if (!path || !*path)
        return SPI_FILE_READ_ERROR;
    Fd f;
    // Non-blocking for the open only: opening a FIFO would otherwise wait for a writer.
    f.fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f.fd < 0)
        return SPI_FILE_READ_ERROR;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
        return SPI_FILE_READ_ERROR;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (offset > fileSize)
        return SPI_FILE_READ_ERROR;
    const std::uint64_t want = fileSize - offset;
    if (want > kMaxInputBytes)
        return SPI_NO_MEMORY;
    out.resize(static_cast<std::size_t>(want));
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::pread(f.fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SPI_FILE_READ_ERROR;
        if (n == 0)
            break;  // the file shrank while being read: what is there is the input
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return SPI_SUCCESS;
}

int Input::open(const char* buf, std::intptr_t len, unsigned int flag)
{
    switch (flag & SPI_INPUT_MASK) {
    case SPI_INPUT_MEMORY:
        if (len < 0 || (!buf && len > 0))
            return SPI_MEMORY_ERROR;
        m_data = reinterpret_cast<const std::uint8_t*>(buf);
        m_size = static_cast<std::size_t>(len);
        return SPI_SUCCESS;
    case SPI_INPUT_FILE: {
        if (len < 0)
            return SPI_FILE_READ_ERROR;
        const int rc = readFile(buf, static_cast<std::uint64_t>(len), m_storage);
        if (rc != SPI_SUCCESS)
            return rc;
        m_data = m_storage.data();
        m_size = m_storage.size();
        return SPI_SUCCESS;
    }
    default:
        return SPI_NOT_SUPPORT;
    }
}

}  // namespace plugin
