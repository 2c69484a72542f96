#include "FileIo.h"

#include "Paths.h"
#include "UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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

mode_t newFileMode(const std::string& target)
{
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

Result<memory::OwnedHandle> readFileToBlock(std::string_view scriptPath, std::uint32_t maximum, memory::Heap heap)
{
    const UniqueFd fd(::open(toOsPath(scriptPath).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return lastSystemError();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastSystemError();
    if (S_ISDIR(st.st_mode))
        return errorOf(EISDIR);
    // The size is a 32-bit word wherever a block crosses a boundary: its low word counts.
    std::uint32_t count = static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size));
    if (maximum != 0 && maximum < count)
        count = maximum;
    memory::OwnedHandle block = memory::OwnedHandle::allocate(heap, count);
    if (!block)
        return errorOf(ENOMEM);
    const memory::Lock lock(block.get());
    if (!readFully(fd.get(), lock.data(), count))
        return errorOf(errno ? errno : EIO);
    return block;
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

    std::string temporary = folder + (folder.back() == '/' ? "." : "/.") + name + ".XXXXXX";
    const UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return lastSystemError();
    const bool written = ::fchmod(fd.get(), newFileMode(target)) == 0 &&
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
