// The guard around calls into a module (runner/platform/CrashGuard.h): each
// kind of fault comes back as the call's failure, naming it, and the thread
// goes on; a fault where no guard is says what was running and leaves no
// remembered file behind.
#include "runner/platform/CrashGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace {

using namespace tessivar;

volatile int* volatile g_nowhere = nullptr;
volatile int g_depth = 0;

// (Past UndefinedBehaviorSanitizer, which would stop the program at the
// store itself: the fault is the point here.)
#if defined(__GNUC__) || defined(__clang__)
__attribute__((no_sanitize("undefined")))
#endif
void writeNowhere() {
    *g_nowhere = 1;
}

// Deep enough to overflow any thread's stack; the array keeps every frame
// large and the use after the call keeps the recursion from becoming a loop.
int recurse(int n) {
    volatile char frame[4096];
    frame[n % 4096] = char(n);
    g_depth = n;
    return n < 1 << 30 ? recurse(n + 1) + frame[0] : 0;
}

struct Fault {
    const char* call;
    void (*run)();
    const char* signals;  // what it may be called, on this system
    const char* what;     // the start of the description
};

TEST(CrashGuard, EachFaultComesBackAsTheCallsFailureAndTheThreadGoesOn) {
#if defined(_WIN32)
    const Fault faults[] = {
        {"FF_PROCESS_OPENGL", writeNowhere, "EXCEPTION_ACCESS_VIOLATION", "invalid memory access writing 0x0"},
        {"FF_SET_PARAMETER", [] { std::abort(); }, "SIGABRT", "abort"},
        {"FF_INSTANTIATE_GL", [] { recurse(0); }, "EXCEPTION_STACK_OVERFLOW", "stack overflow"},
        {"FF_GET_INFO", [] { __builtin_trap(); }, "EXCEPTION_ILLEGAL_INSTRUCTION", "illegal instruction"},
    };
#else
    const Fault faults[] = {
        {"FF_PROCESS_OPENGL", writeNowhere, "SIGSEGV SIGBUS", "invalid memory access at 0x0"},
        {"FF_SET_PARAMETER", [] { std::abort(); }, "SIGABRT", "abort"},
        {"FF_INSTANTIATE_GL", [] { recurse(0); }, "SIGSEGV SIGBUS", ""},
        {"FF_GET_INFO", [] { __builtin_trap(); }, "SIGILL SIGTRAP", ""},
    };
#endif
    for (int round = 0; round < 2; ++round) {  // a second fault of each kind is caught as well as the first
        for (const Fault& f : faults) {
            Crash crash;
            EXPECT_FALSE(Guarded(f.call, f.run, crash)) << f.call;
            EXPECT_EQ(crash.call, f.call);
            EXPECT_NE(std::string(f.signals).find(crash.signal), std::string::npos) << crash.Describe();
            EXPECT_EQ(crash.what.rfind(f.what, 0), 0u) << crash.Describe();
            EXPECT_EQ(crash.Describe().rfind(std::string("crashed in ") + f.call + ": " + crash.signal, 0), 0u);
        }
    }
    int calls = 0;
    Crash none;
    EXPECT_TRUE(Guarded("FF_GET_INFO", [&] { ++calls; }, none));
    EXPECT_EQ(calls, 1);
}

TEST(CrashGuard, NestedGuardsEachCatchTheirOwnAndAnExceptionLeavesItsGuard) {
    Crash outer, inner, thrown;
    bool innerCaught = false, exceptionPassed = false;
    EXPECT_FALSE(Guarded(
        "outer",
        [&] {
            innerCaught = !Guarded("inner", writeNowhere, inner);
            try {
                Guarded("throwing", [] { throw std::runtime_error("out of the module"); }, thrown);
            } catch (const std::runtime_error&) {
                exceptionPassed = true;
            }
            // Had the throwing call's guard stayed behind, this fault would jump
            // into its finished frame.
            writeNowhere();
        },
        outer));
    EXPECT_TRUE(innerCaught);
    EXPECT_EQ(inner.call, "inner");
    EXPECT_TRUE(exceptionPassed);
    EXPECT_EQ(outer.call, "outer");
}

TEST(CrashGuard, RemembersThirtyTwoPathsShorterThan1024Bytes) {
    std::vector<std::string> paths;
    for (int i = 0; i < 32; ++i) {
        paths.push_back("/nowhere/remembered-" + std::to_string(i));
        EXPECT_TRUE(RememberToRemoveOnCrash(paths.back())) << i;
    }
    EXPECT_FALSE(RememberToRemoveOnCrash("/nowhere/one-too-many"));
    ForgetToRemoveOnCrash(paths[5]);
    EXPECT_TRUE(RememberToRemoveOnCrash("/nowhere/in-the-freed-slot"));
    ForgetToRemoveOnCrash("/nowhere/in-the-freed-slot");
    EXPECT_TRUE(RememberToRemoveOnCrash("/" + std::string(1022, 'a')));
    ForgetToRemoveOnCrash("/" + std::string(1022, 'a'));
    EXPECT_FALSE(RememberToRemoveOnCrash("/" + std::string(1023, 'a')));
    EXPECT_FALSE(RememberToRemoveOnCrash(""));
    for (const auto& p : paths) ForgetToRemoveOnCrash(p);
}

// A thread the guard does not cover faults while another is inside a
// module call: one line names the call, remembered files go, the program dies.
void crashBesideAGuardedCall(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f) std::fclose(f);
    RememberToRemoveOnCrash(file);
    std::atomic<bool> inside{false};
    std::thread module([&] {
        Crash crash;
        Guarded(
            "FF_PROCESS_OPENGL",
            [&] {
                inside = true;
                for (;;) std::this_thread::yield();
            },
            crash);
    });
    while (!inside) std::this_thread::yield();
    writeNowhere();
    module.join();
}

TEST(CrashGuardDeathTest, AFaultNoGuardCoversNamesTheCallAndRemovesRememberedFiles) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string file = ::testing::TempDir() + "crash_guard_" + std::to_string(std::rand()) + ".tmp";
    EXPECT_DEATH(crashBesideAGuardedCall(file), "while the module was in FF_PROCESS_OPENGL");
    std::FILE* left = std::fopen(file.c_str(), "rb");
    EXPECT_EQ(left, nullptr) << file << " was left behind";
    if (left) std::fclose(left);
}

}  // namespace
