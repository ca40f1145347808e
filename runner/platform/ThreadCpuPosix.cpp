#include "runner/platform/ThreadCpu.h"

#include <pthread.h>
#include <time.h>

#include <cstring>

#ifdef __linux__
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#endif

namespace tessivar {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void NameThisThread(const char* name) {
    char kept[16] = {};
    std::strncpy(kept, name, sizeof kept - 1);
#ifdef __APPLE__
    pthread_setname_np(kept);  // macOS names only the calling thread, and new threads start unnamed
#else
    pthread_setname_np(pthread_self(), kept);
#endif
}

#ifdef __linux__
namespace {
// utime + stime of /proc/self/task/TID/stat, in seconds. The name in
// parentheses may hold spaces, so the fields are counted after its ')'.
bool taskSeconds(const std::string& task, double& seconds) {
    std::ifstream in("/proc/self/task/" + task + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields from the third on: state, ppid, pgrp, session, tty, tpgid,
    // flags, minflt, cminflt, majflt, cmajflt, utime, stime.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15) stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    seconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    return true;
}
}  // namespace

std::map<std::string, double> ThreadsByName() {
    std::map<std::string, double> byName;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return byName;
    const std::string first = std::to_string(getpid());
    while (const dirent* e = readdir(dir)) {
        const std::string task = e->d_name;
        if (task == "." || task == ".." || task == first) continue;
        std::ifstream comm("/proc/self/task/" + task + "/comm");
        std::string name;
        std::getline(comm, name);
        double seconds = 0;
        if (!name.empty() && taskSeconds(task, seconds)) byName[name] += seconds;
    }
    closedir(dir);
    return byName;
}
#else
std::map<std::string, double> ThreadsByName() { return {}; }
#endif

}  // namespace tessivar
