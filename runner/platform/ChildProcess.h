// ChildProcess -- ffglrun running itself again in a process of its own, for
// work that must not share a process with a module that has crashed once
// (ffglrun check goes on with its later rows that way).
//
//     ChildEnd end;
//     if (!RunSelf({"check", module, "--from-row", "8"}, [&](const std::string& line) { ... }, end, error))
//         ... error: it could not be started
//     ... end.exited, end.code, end.how
//
// Each line the child writes to standard output reaches onLine as it comes
// (without its line feed); its standard error is ours.
//
// One file per platform: ChildProcessPosix.cpp (posix_spawn and a pipe),
// ChildProcessWin32.cpp (CreateProcessW and a pipe).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tessivar {

struct ChildEnd {
    bool exited = false;  // returned from main or called exit
    int code = 0;         // its exit status, when it exited
    std::string how;      // "exit status 3", "SIGSEGV", "exception 0xc0000005"
};

bool RunSelf(const std::vector<std::string>& args, const std::function<void(const std::string&)>& onLine, ChildEnd& end,
             std::string& error);

}  // namespace tessivar
