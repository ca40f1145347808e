// CrashGuard on Linux and macOS: a fault signal on a thread inside a guarded
// call jumps back to the call (sigsetjmp / siglongjmp), on a signal stack of
// the thread's own so that a stack overflow can be caught too.
#include "runner/platform/CrashGuard.h"

#include "runner/platform/CrashGuardShared.h"

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tessivar {
namespace {

struct Guard {
    sigjmp_buf jump;
    int signal = 0;
    int code = 0;
    uintptr_t address = 0;
};

// Constant-initialised, so a signal handler may read it.
thread_local Guard* t_guard = nullptr;
// The guarded call in progress (the latest, on any thread): named when a
// fault happens where no guard can catch it.
std::atomic<const char*> g_inCall{nullptr};

// SIGTRAP: a trap instruction on arm64 (__builtin_trap, a failed check).
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
struct sigaction g_previous[kSignalCount];

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGTRAP: return "SIGTRAP";
        case SIGABRT: return "SIGABRT";
        default: return "a signal";
    }
}

// No guard on this thread: nothing to come back to. Say what was running,
// leave nothing behind, and die as the program would have.
void fatal(int sig, siginfo_t* info) {
    if (const char* call = g_inCall.load()) {
        crashguard::WriteError("ffglrun: ");
        crashguard::WriteError(signalName(sig));
        crashguard::WriteError(" on a thread the module or its driver runs, while the module was in ");
        crashguard::WriteError(call);
        crashguard::WriteError("\n");
    }
    crashguard::RemoveRemembered();
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == sig) sigaction(sig, &g_previous[i], nullptr);
    // A fault the processor raised happens again on return, now for the
    // previous handler; one that was sent (abort, kill) is sent again.
    if (info && info->si_code > 0 && sig != SIGABRT) return;
    raise(sig);
}

void onFault(int sig, siginfo_t* info, void*) {
    Guard* guard = t_guard;
    if (!guard) {
        fatal(sig, info);
        return;
    }
    guard->signal = sig;
    guard->code = info ? info->si_code : 0;
    guard->address = info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
    siglongjmp(guard->jump, 1);
}

void install() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = onFault;
    // A stack of its own for a stack overflow; not blocked while handled,
    // since the handler jumps out instead of returning.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

// This thread's signal stack, made on its first guarded call (unless it has
// one already, as a sanitizer gives every thread).
struct AltStack {
    void* memory = nullptr;
    AltStack() {
        stack_t current;
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
        const size_t size = std::max<size_t>(SIGSTKSZ, 64 * 1024);
        memory = std::malloc(size);
        stack_t own;
        std::memset(&own, 0, sizeof own);
        own.ss_sp = memory;
        own.ss_size = size;
        if (!memory || sigaltstack(&own, nullptr) != 0) {
            std::free(memory);
            memory = nullptr;
        }
    }
    ~AltStack() {
        if (!memory) return;
        stack_t off;
        std::memset(&off, 0, sizeof off);
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        std::free(memory);
    }
};
thread_local AltStack t_altStack;

void describe(const Guard& guard, Crash& crash) {
    char hex[24];
    const std::string at = std::string(" at ") + crashguard::Hex(guard.address, hex);
    crash.signal = signalName(guard.signal);
    switch (guard.signal) {
        case SIGSEGV: crash.what = "invalid memory access" + at; break;
        case SIGBUS: crash.what = "bus error" + at; break;
        case SIGFPE: crash.what = guard.code == FPE_INTDIV ? "integer division by zero" : "arithmetic fault"; break;
        case SIGILL: crash.what = "illegal instruction" + at; break;
        case SIGTRAP: crash.what = "trap instruction"; break;
        case SIGABRT: crash.what = "abort"; break;
        default: crash.what.clear();
    }
}

}  // namespace

bool Guarded(const char* call, void (*fn)(void*), void* context, Crash& crash) {
    static std::once_flag installed;
    std::call_once(installed, install);
    (void)t_altStack.memory;

    Guard guard;
    Guard* const outer = t_guard;
    const char* const outerCall = g_inCall.exchange(call);
    if (sigsetjmp(guard.jump, 0) == 0) {
        t_guard = &guard;
        try {
            fn(context);
        } catch (...) {
            t_guard = outer;
            g_inCall.store(outerCall);
            throw;
        }
        t_guard = outer;
        g_inCall.store(outerCall);
        return true;
    }
    t_guard = outer;
    g_inCall.store(outerCall);
    crash.call = call;
    describe(guard, crash);
    return false;
}

namespace crashguard {

void RemovePath(const char* path) {
    if (unlink(path) != 0) rmdir(path);
}

void WriteError(const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = write(STDERR_FILENO, text, left);
        if (n <= 0) return;
        text += n;
        left -= size_t(n);
    }
}

}  // namespace crashguard
}  // namespace tessivar
