// Running a program the way a user does, one file per platform
// (CliProcessPosix.cpp: fork and exec; CliProcessWin32.cpp: CreateProcess).
#pragma once

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

// A new empty folder under `parent`, with a trailing separator.
std::string MakeTempFolder(const std::string& parent);

}  // namespace clitest
