// Running a program the way a user does, one file per platform
// (CliProcessPosix.cpp: fork and exec; CliProcessWin32.cpp: CreateProcess).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace clitest {

// The null device, for a child's standard input.
extern const char* const kNullDevice;

// Runs `program` with `args`, standard input from `stdinPath` (inherited when
// empty or unopenable), standard output and error into the two files, and the
// environment extended by NAME=VALUE entries. Answers the exit code (128 +
// signal when killed by one).
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
               const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env);

#ifndef _WIN32
// Runs `program` as RunProgram does, sends it `signal` as soon as `ready()`
// answers true (polled every 10 ms, for a minute at most) and answers its
// exit code.
int RunProgramAndSignal(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
                        const std::string& errPath, int signal, const std::function<bool()>& ready);
#else
// Runs `program` as RunProgram does and, as soon as `ready()` answers true,
// interrupts it as a console would: Ctrl-C under Wine (delivered to the
// child whose command line holds `tag`), Ctrl-Break on Windows proper.
// Answers its exit code.
int RunProgramAndInterrupt(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
                           const std::string& errPath, const std::string& tag, const std::function<bool()>& ready);
#endif

// A new empty folder under `parent`, with a trailing separator.
std::string MakeTempFolder(const std::string& parent);

}  // namespace clitest
