#pragma once

// The fault guard around calls into foreign code (image plug-ins): a hardware fault (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL) raised while the calling thread is armed returns control to the guard
// instead of ending the process.
//
// Handlers are installed once, with SA_ONSTACK, and every armed thread runs on an alternate
// signal stack, so a stack overflow in the foreign code is caught too. A signal that arrives on
// a thread that is not armed goes to the handler that was installed before ours (the default
// action, or a sanitizer's report), so faults of the viewer itself still end the process as
// they should.
//
// Under AddressSanitizer: the sanitizer installs its own handlers at start-up and intercepts
// sigaction; with allow_user_segv_handler=1 (the default of current runtimes, set explicitly by
// `make asan`) ours are installed over them and theirs become the "previous" handlers that
// unarmed faults chain to, so the sanitizer still reports faults of the viewer. The sanitizer's
// own alternate stack is kept when a thread has one. Its longjmp interceptor unpoisons the
// frames that the jump leaves.
namespace platform::fault {

// Runs body(context) armed on this thread. True when it returned, false when a fault ended it;
// the frames of body and everything it called are then abandoned without running destructors,
// so body must be a small trampoline with trivial locals and the code it calls foreign C.
// Calls nest: a guarded call inside a disarmed stretch of another works.
[[nodiscard]] bool callGuarded(void (*body)(void*), void* context) noexcept;

// Convenience form for a lambda (which must not throw).
template <typename F>
[[nodiscard]] bool callGuarded(F& f) noexcept
{
    return callGuarded([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

// The signal that ended this thread's last faulted call, 0 when none did.
int lastFaultSignal() noexcept;

// Disarms this thread for a scope: host code called back from foreign code (a progress
// callback running script code) faults as the viewer's own code does.
class Disarmed {
public:
    Disarmed() noexcept;
    Disarmed(const Disarmed&) = delete;
    Disarmed& operator=(const Disarmed&) = delete;
    ~Disarmed();

private:
    void* m_saved;
};

// Whether this thread is armed now.
bool isArmed() noexcept;

}  // namespace platform::fault
