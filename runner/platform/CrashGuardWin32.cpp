// CrashGuard on Windows. A fault is a structured exception:
//   - MSVC catches it in the guarded call's own __except filter;
//   - MinGW's GCC has no __try, so a vectored handler sees the fault first
//     (before the C runtime's own frame filter would turn it into an abort),
//     sends the thread to a landing function on a stack of the guard's own,
//     and that jumps back into the guarded call (__builtin_longjmp);
// abort() raises the C runtime's SIGABRT, whose handler jumps back the same
// way (MinGW) or ends the program with one line (MSVC). A fault no guard
// covers reaches the process's unhandled-exception filter, or the C
// runtime's SIGSEGV, SIGILL or SIGFPE handler, which end the program.
#include "runner/platform/CrashGuard.h"

#include "runner/platform/CrashGuardShared.h"

#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

#include <malloc.h>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace tessivar {
namespace {

struct Guard {
#if !defined(_MSC_VER)
    void* jump[5];                            // __builtin_setjmp's buffer
    alignas(16) unsigned char landing[8192];  // the landing function's stack
#endif
    DWORD code = 0;
    bool abort = false;
    bool hasAddress = false;
    bool writing = false;
    uintptr_t address = 0;
};

thread_local Guard* t_guard = nullptr;
std::atomic<const char*> g_inCall{nullptr};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

// The faults a guard comes back from; anything else (a C++ exception on its
// way to a handler, a debugger's breakpoint) is none of its business.
const char* faultName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION: return "EXCEPTION_ACCESS_VIOLATION";
        case EXCEPTION_IN_PAGE_ERROR: return "EXCEPTION_IN_PAGE_ERROR";
        case EXCEPTION_STACK_OVERFLOW: return "EXCEPTION_STACK_OVERFLOW";
        case EXCEPTION_ILLEGAL_INSTRUCTION: return "EXCEPTION_ILLEGAL_INSTRUCTION";
        case EXCEPTION_PRIV_INSTRUCTION: return "EXCEPTION_PRIV_INSTRUCTION";
        case EXCEPTION_INT_DIVIDE_BY_ZERO: return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case EXCEPTION_INT_OVERFLOW: return "EXCEPTION_INT_OVERFLOW";
        case EXCEPTION_DATATYPE_MISALIGNMENT: return "EXCEPTION_DATATYPE_MISALIGNMENT";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case EXCEPTION_FLT_INVALID_OPERATION: return "EXCEPTION_FLT_INVALID_OPERATION";
        case EXCEPTION_FLT_OVERFLOW: return "EXCEPTION_FLT_OVERFLOW";
        case EXCEPTION_FLT_UNDERFLOW: return "EXCEPTION_FLT_UNDERFLOW";
        case EXCEPTION_FLT_INEXACT_RESULT: return "EXCEPTION_FLT_INEXACT_RESULT";
        case EXCEPTION_FLT_DENORMAL_OPERAND: return "EXCEPTION_FLT_DENORMAL_OPERAND";
        case EXCEPTION_FLT_STACK_CHECK: return "EXCEPTION_FLT_STACK_CHECK";
        default: return nullptr;
    }
}

void record(Guard& guard, const EXCEPTION_RECORD* e) {
    guard.code = e->ExceptionCode;
    if ((e->ExceptionCode == EXCEPTION_ACCESS_VIOLATION || e->ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
        e->NumberParameters >= 2) {
        guard.hasAddress = true;
        guard.writing = e->ExceptionInformation[0] == 1;
        guard.address = uintptr_t(e->ExceptionInformation[1]);
    }
}

void fatalLine(const char* what) {
    if (const char* call = g_inCall.load()) {
        crashguard::WriteError("ffglrun: ");
        crashguard::WriteError(what);
        crashguard::WriteError(" on a thread the module or its driver runs, while the module was in ");
        crashguard::WriteError(call);
        crashguard::WriteError("\n");
    }
    crashguard::RemoveRemembered();
}

#if !defined(_MSC_VER)
[[noreturn]] void land() {
    if (t_guard->code == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();  // the guard page again
    __builtin_longjmp(t_guard->jump, 1);
}

LONG CALLBACK onVectored(EXCEPTION_POINTERS* info) {
    Guard* guard = t_guard;
    if (!guard || !faultName(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    record(*guard, info->ExceptionRecord);
    // Continue in land(), on the guard's own stack (as if just called: the
    // stack 16-byte aligned less the return address).
    CONTEXT* c = info->ContextRecord;
    const uintptr_t top = (reinterpret_cast<uintptr_t>(guard->landing) + sizeof guard->landing) & ~uintptr_t(15);
    c->Rsp = DWORD64(top - 8);
    c->Rip = DWORD64(reinterpret_cast<uintptr_t>(&land));
    return EXCEPTION_CONTINUE_EXECUTION;
}

void onAbort(int) {
    if (Guard* guard = t_guard) {
        guard->abort = true;
        std::signal(SIGABRT, onAbort);  // the C runtime resets a handler it calls
        __builtin_longjmp(guard->jump, 1);
    }
    fatalLine("abort");
    std::signal(SIGABRT, SIG_DFL);
}
#else
int filter(EXCEPTION_POINTERS* info, Guard* guard) {
    if (!faultName(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    record(*guard, info->ExceptionRecord);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool sehCall(void (*fn)(void*), void* context, Guard* guard) {
    __try {
        fn(context);
        return true;
    } __except (filter(GetExceptionInformation(), guard)) {
        if (guard->code == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
        return false;
    }
}

void onAbort(int) {
    fatalLine("abort");
    std::signal(SIGABRT, SIG_DFL);
}
#endif

// A fault no guard covers: ended here, with the fault's code as the exit
// status, as Windows ends a crashed program; left to the system, a debugger
// or an error report would wait for someone to dismiss it.
LONG WINAPI onUnhandled(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (faultName(code)) {
        fatalLine(faultName(code));
        TerminateProcess(GetCurrentProcess(), UINT(code));
    }
    return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// The same fault, when the C runtime's frame filter took it first.
void onFatalSignal(int sig) {
    fatalLine(sig == SIGSEGV  ? "EXCEPTION_ACCESS_VIOLATION"
              : sig == SIGILL ? "EXCEPTION_ILLEGAL_INSTRUCTION"
                              : "a floating-point or division fault");
    TerminateProcess(GetCurrentProcess(), sig == SIGSEGV ? UINT(EXCEPTION_ACCESS_VIOLATION) : 3u);
}

void install() {
#if !defined(_MSC_VER)
    AddVectoredExceptionHandler(1, onVectored);
#endif
    g_previousFilter = SetUnhandledExceptionFilter(onUnhandled);
    for (int sig : {SIGSEGV, SIGILL, SIGFPE}) std::signal(sig, onFatalSignal);
    std::signal(SIGABRT, onAbort);
}

void describe(const Guard& guard, Crash& crash) {
    char hex[24];
    if (guard.abort) {
        crash.signal = "SIGABRT";
        crash.what = "abort";
        return;
    }
    crash.signal = faultName(guard.code);
    switch (guard.code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR:
            crash.what = "invalid memory access";
            if (guard.hasAddress)
                crash.what +=
                    std::string(guard.writing ? " writing " : " reading ") + crashguard::Hex(guard.address, hex);
            break;
        case EXCEPTION_STACK_OVERFLOW: crash.what = "stack overflow"; break;
        case EXCEPTION_INT_DIVIDE_BY_ZERO: crash.what = "integer division by zero"; break;
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION: crash.what = "illegal instruction"; break;
        default: crash.what.clear();
    }
}

}  // namespace

bool Guarded(const char* call, void (*fn)(void*), void* context, Crash& crash) {
    static std::once_flag installed;
    std::call_once(installed, install);

    Guard guard;
    Guard* const outer = t_guard;
    const char* const outerCall = g_inCall.exchange(call);
    auto leave = [&] {
        t_guard = outer;
        g_inCall.store(outerCall);
    };
    bool returned = false;
#if !defined(_MSC_VER)
    if (__builtin_setjmp(guard.jump) == 0) {
        t_guard = &guard;
        try {
            fn(context);
        } catch (...) {
            leave();
            throw;
        }
        returned = true;
    }
#else
    t_guard = &guard;
    try {
        returned = sehCall(fn, context, &guard);
    } catch (...) {
        leave();
        throw;
    }
#endif
    leave();
    if (returned) return true;
    crash.call = call;
    describe(guard, crash);
    return false;
}

namespace crashguard {

void RemovePath(const char* path) {
    wchar_t wide[1024];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 1024) == 0) return;
    if (!DeleteFileW(wide)) RemoveDirectoryW(wide);
}

void WriteError(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, DWORD(std::strlen(text)), &written, nullptr);
}

}  // namespace crashguard
}  // namespace tessivar
