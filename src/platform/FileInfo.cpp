#include "FileInfo.h"

#include "Directory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool statPath(const char* path, int flags, struct statx& out)
{
    return statx(AT_FDCWD, path, flags | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &out) == 0;
}

bool mayNotWrite(const char* path)
{
    if (faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0)
        return false;
    return errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY;
}

}  // namespace

Result<FileInfo> fileInfo(std::string_view scriptPattern)
{
    const std::vector<FoundEntry> found = findEntries(scriptPattern, 1);
    if (found.empty())
        return Error{ENOENT, {}};
    const FoundEntry& entry = found.front();
    const char* path = entry.osPath.c_str();
    struct statx st {};
    if (!statPath(path, 0, st) && !statPath(path, AT_SYMLINK_NOFOLLOW, st))
        return lastSystemError();

    FileInfo info;
    info.isDirectory = S_ISDIR(st.stx_mode);
    info.size = info.isDirectory ? 0 : st.stx_size;
    info.lastWriteTime = st.stx_mtime.tv_sec;
    info.createTime = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_ctime.tv_sec;
    info.isHidden = entry.name.starts_with('.') && entry.name != "." && entry.name != "..";
    info.isReadOnly = mayNotWrite(path);
    return info;
}

}  // namespace platform
