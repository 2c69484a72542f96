#include "FaultGuard.h"

#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>

#include <sys/mman.h>
#include <unistd.h>

namespace platform::fault {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr std::size_t kAltStackSize = 256 * 1024;

struct Previous {
    struct sigaction action[NSIG];
};

Previous g_previous;
std::once_flag g_installed;

// Plain thread-local data (no constructor) so that the signal handler reads it without
// triggering lazy initialisation.
thread_local sigjmp_buf* t_jump = nullptr;
thread_local volatile sig_atomic_t t_signal = 0;
thread_local bool t_hasAltStack = false;

void chain(int sig, siginfo_t* info, void* uc)
{
    const struct sigaction& prev = g_previous.action[sig];
    if (prev.sa_flags & SA_SIGINFO) {
        if (prev.sa_sigaction) {
            prev.sa_sigaction(sig, info, uc);
            return;
        }
    } else if (prev.sa_handler == SIG_IGN) {
        return;
    } else if (prev.sa_handler != SIG_DFL) {
        prev.sa_handler(sig);
        return;
    }
    // Default action: restore it and let the faulting instruction run again (or re-raise a
    // signal that was sent rather than caused), so the process ends with the right status.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    if (info && info->si_code <= 0)
        raise(sig);
}

void onFault(int sig, siginfo_t* info, void* uc)
{
    sigjmp_buf* jump = t_jump;
    if (jump) {
        t_jump = nullptr;
        t_signal = sig;
        siglongjmp(*jump, 1);
    }
    chain(sig, info, uc);
}

void install()
{
    for (const int sig : kSignals) {
        struct sigaction action {};
        action.sa_sigaction = onFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, &g_previous.action[sig]);
    }
}

// sigaltstack is per thread; a thread that already has one (a sanitizer's) keeps it.
void ensureAltStack()
{
    if (t_hasAltStack)
        return;
    stack_t current {};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
        current.ss_size >= static_cast<std::size_t>(MINSIGSTKSZ)) {
        t_hasAltStack = true;
        return;
    }
    // Kept for the thread's life: a signal may still arrive on it at any time.
    void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack {};
    stack.ss_sp = memory;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) == 0)
        t_hasAltStack = true;
    else
        munmap(memory, kAltStackSize);
}

}  // namespace

bool callGuarded(void (*body)(void*), void* context) noexcept
{
    std::call_once(g_installed, install);
    ensureAltStack();
    sigjmp_buf jump;
    sigjmp_buf* const outer = t_jump;
    t_signal = 0;
    if (sigsetjmp(jump, 1) != 0) {
        t_jump = outer;
        return false;
    }
    t_jump = &jump;
    body(context);
    t_jump = outer;
    return true;
}

int lastFaultSignal() noexcept { return t_signal; }

bool isArmed() noexcept { return t_jump != nullptr; }

Disarmed::Disarmed() noexcept : m_saved(t_jump) { t_jump = nullptr; }

Disarmed::~Disarmed() { t_jump = static_cast<sigjmp_buf*>(m_saved); }

}  // namespace platform::fault
