#include "FileIo.h"

#include "Paths.h"
#include "UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

Error errorOf(int code)
{
    errno = code;
    return lastSystemError();
}

// Reads until `size` bytes arrived or the file ends; a single read call stops at 2 GB.
bool readFully(int fd, std::uint8_t* out, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file that a write to `osPath` must replace: a symbolic link is written through, as an
// in-place write would.
std::string replacedTarget(const std::string& osPath)
{
    struct stat st;
    if (::lstat(osPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(osPath.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return osPath;
}

// A new file, named `stem` plus a random suffix, made with mode 0666 so that the kernel applies
// the process's umask itself: changing the umask to read it would race with other threads.
int createUnique(const std::string& stem, std::string& name)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem;
        for (int i = 0; i < 8; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

int openPlainFile(const std::string& osPath, int flags, bool allowFolder)
{
    // Without O_NONBLOCK, opening a FIFO waits for its other end.
    UniqueFd fd(::open(osPath.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!fd.valid())
        return -1;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode) && !(allowFolder && S_ISDIR(st.st_mode))) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
        return -1;
    }
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return -1;
    return fd.release();
}

FILE* openPlainStream(std::string_view scriptPath, const char* mode)
{
    // The flags fopen gives each mode; "b" is accepted and means nothing here.
    const std::string_view m(mode);
    const bool plus = m.find('+') != std::string_view::npos;
    int flags = 0;
    switch (m.empty() ? '\0' : m[0]) {
    case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
    }
    // A folder opens for reading as fopen allows it; its reads fail.
    UniqueFd fd(openPlainFile(toOsPath(scriptPath), flags, true));
    if (!fd.valid())
        return nullptr;
    FILE* stream = ::fdopen(fd.get(), mode);
    if (stream)
        fd.release();
    return stream;
}

Result<memory::OwnedHandle> readFileToBlock(std::string_view scriptPath, std::uint32_t maximum, memory::Heap heap)
{
    const UniqueFd fd(openPlainFile(toOsPath(scriptPath), O_RDONLY));
    if (!fd.valid())
        return lastSystemError();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastSystemError();
    // Sizes are 32-bit words wherever a block crosses a boundary: a larger file is read only up
    // to a maximum, never cut to its low word.
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (maximum == 0 && size > memory::kMaxSize)
        return errorOf(EFBIG);
    const std::uint32_t count =
        maximum != 0 && maximum < size ? maximum : static_cast<std::uint32_t>(size);
    memory::OwnedHandle block = memory::OwnedHandle::allocate(heap, count);
    if (!block)
        return errorOf(ENOMEM);
    const memory::Lock lock(block.get());
    if (!readFully(fd.get(), lock.data(), count))
        return errorOf(errno ? errno : EIO);
    return block;
}

bool readOsFile(const std::string& osPath, std::uint64_t maxSize, std::vector<std::uint8_t>& out)
{
    const UniqueFd fd(openPlainFile(osPath, O_RDONLY));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxSize)
        return false;
    out.resize(static_cast<std::size_t>(st.st_size));
    if (!readFully(fd.get(), out.data(), out.size()))
        return false;
    // A file that grew while it was read is read again by whoever shows it.
    std::uint8_t extra;
    return ::read(fd.get(), &extra, 1) == 0;
}

Status writeFileReplacing(std::string_view scriptPath, const void* data, std::size_t size)
{
    const std::string osPath = toOsPath(scriptPath);
    if (osPath.empty() || osPath.back() == '/')
        return errorOf(ENOENT);
    const std::string target = replacedTarget(osPath);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

    std::string temporary;
    const UniqueFd fd(createUnique(folder + (folder.back() == '/' ? "." : "/.") + name + ".", temporary));
    if (!fd.valid())
        return lastSystemError();
    // A replaced file keeps its mode; a new one has what the umask gave it.
    struct stat old;
    const bool keepMode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const bool written = (!keepMode || ::fchmod(fd.get(), old.st_mode & 07777) == 0) &&
                         writeFully(fd.get(), static_cast<const std::uint8_t*>(data), size) &&
                         ::fsync(fd.get()) == 0;
    const Error failure = written ? Error{} : lastSystemError();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const Error error = written ? lastSystemError() : failure;
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return Done{};
}

}  // namespace platform
