#include "runner/platform/ThreadCpu.h"

#include <pthread.h>
#include <time.h>

#include <cstring>

namespace tessivar {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// macOS names only the calling thread, and new threads start unnamed.
void NameThisThread(const char* name) {
    char kept[16] = {};
    std::strncpy(kept, name, sizeof kept - 1);
    pthread_setname_np(kept);
}

std::map<std::string, double> ThreadsByName() { return {}; }

}  // namespace tessivar
