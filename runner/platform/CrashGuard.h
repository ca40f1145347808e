// CrashGuard -- a call into a module that crashes comes back as a failure.
//
// A host runs a module's code in its own process, so a fault there (a null
// pointer, a division by zero, an assertion, a stack overflow) would end
// ffglrun without a word, half-written files and temporary folders left
// behind. Every call into a module goes through Guarded instead:
//
//     Crash crash;
//     if (!Guarded("FF_PROCESS_OPENGL", [&] { answer = entry(...); }, crash))
//         fail(crash.Describe());  // "crashed in FF_PROCESS_OPENGL: SIGSEGV (invalid
//                                  //  memory access at 0x10)"
//
// A fault in the code the call runs, on the thread that made it, is caught
// and control comes back to Guarded, which answers false. Nothing that code
// was doing is finished or undone: the module's state, its GL objects and
// any lock it held stay as they were, so the caller must not call that
// module again (Module stops calling it) and should not unload it.
//
// Caught: SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP and SIGABRT on POSIX (a stack
// overflow too: the handler runs on a stack of its own); on Windows the
// faults of structured exception handling (access violation, stack overflow,
// division by zero, illegal instruction, ...) and abort(). A fault on a thread
// with no guarded call (one the module or its driver started) cannot be come
// back from: the program then prints one line naming the call in progress,
// removes the files and folders registered with RemoveOnCrash, and dies as
// it would have.
//
// One file per platform: CrashGuardPosix.cpp (sigaction, sigsetjmp, an
// alternate signal stack per thread), CrashGuardWin32.cpp (structured
// exception handling and the C runtime's SIGABRT).
#pragma once

#include <string>

namespace tessivar {

struct Crash {
    std::string call;    // as given to Guarded: "FF_PROCESS_OPENGL"
    std::string signal;  // "SIGSEGV", "EXCEPTION_ACCESS_VIOLATION", ...
    std::string what;    // "invalid memory access at 0x10", "abort", ...

    // "crashed in FF_PROCESS_OPENGL: SIGSEGV (invalid memory access at 0x10)"
    std::string Describe() const;
};

// Runs fn(context) on this thread; true when it returned, false with `crash`
// filled when it crashed. Guarded calls nest. An exception thrown by fn
// passes through.
bool Guarded(const char* call, void (*fn)(void*), void* context, Crash& crash);

template <class F>
bool Guarded(const char* call, F&& f, Crash& crash) {
    auto run = [&f] { f(); };
    void (*const trampoline)(void*) = [](void* p) { (*static_cast<decltype(run)*>(p))(); };
    return Guarded(call, trampoline, &run, crash);
}

// Files and (then empty) folders to remove when a crash ends the program,
// latest first; a path is registered until Forget. At most 32 at a time,
// each under 1024 bytes; Remember answers false beyond that.
bool RememberToRemoveOnCrash(const std::string& path);
void ForgetToRemoveOnCrash(const std::string& path);

}  // namespace tessivar
