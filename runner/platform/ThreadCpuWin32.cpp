#include "runner/platform/ThreadCpu.h"

#include <windows.h>

#include <cstdint>

namespace tessivar {

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& f) {
        return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) * 1e-7;  // 100 ns units
    };
    return seconds(kernel) + seconds(user);
}

// New threads do not take their creator's name on Windows: naming would
// tell the breakdown nothing.
void NameThisThread(const char*) {}

std::map<std::string, double> ThreadsByName() { return {}; }

}  // namespace tessivar
