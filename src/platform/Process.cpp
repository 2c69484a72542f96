#include "Process.h"

#include "TextCodec.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

using Fd = UniqueFd;

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    posix_spawn_file_actions_t* get() noexcept { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

// Reads what is waiting; false at end of file or on a read error.
bool drainOnce(int fd, const std::function<void(std::string_view)>& onOutput)
{
    char block[4096];
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n > 0) {
        onOutput(std::string_view(block, static_cast<std::size_t>(n)));
        return true;
    }
    return n < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

Error systemError(int code) { return Error{code, utf8ToCp932(std::strerror(code))}; }

Result<int> runProcess(const std::vector<std::string>& argv, const std::function<void(std::string_view)>& onOutput)
{
    if (argv.empty())
        return systemError(EINVAL);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return systemError(errno);
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);

    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 2);

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ);
    writeEnd.reset();
    if (spawnError != 0)
        return systemError(spawnError);

    fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);
    bool pipeOpen = true;
    int status = 0;
    for (;;) {
        if (pipeOpen) {
            pollfd p{readEnd.get(), POLLIN, 0};
            if (poll(&p, 1, 100) > 0)
                pipeOpen = drainOnce(readEnd.get(), onOutput);
        }
        const pid_t done = waitpid(pid, &status, pipeOpen ? WNOHANG : 0);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return systemError(errno);
    }
    // The child has ended; take what it left in the pipe, but do not wait for descendants
    // that may still hold the write end.
    while (pipeOpen) {
        pollfd p{readEnd.get(), POLLIN, 0};
        if (poll(&p, 1, 0) <= 0)
            break;
        pipeOpen = drainOnce(readEnd.get(), onOutput);
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace platform
