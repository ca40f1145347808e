#include "runner/platform/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

extern char** environ;

namespace tessivar {
namespace {

std::string selfPath() {
#if defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string path(size, '\0');
    if (_NSGetExecutablePath(path.data(), &size) != 0) return std::string();
    path.resize(std::strlen(path.c_str()));
    return path;
#else
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return std::string();
    path.resize(size_t(n));
    return path;
#endif
}

std::string signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGABRT: return "SIGABRT";
        case SIGKILL: return "SIGKILL";
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        default: return "signal " + std::to_string(sig);
    }
}

}  // namespace

bool RunSelf(const std::vector<std::string>& args, const std::function<void(const std::string&)>& onLine, ChildEnd& end,
             std::string& error) {
    const std::string self = selfPath();
    if (self.empty()) {
        error = "cannot find this program's own file to run it again";
        return false;
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    std::vector<std::string> all = {self};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        error = "cannot start " + self + ": " + std::strerror(spawned);
        return false;
    }
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buffer, size_t(n));
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1))
            onLine(pending.substr(0, eol));
    }
    if (!pending.empty()) onLine(pending);
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : 0;
    end.how = end.exited            ? "exit status " + std::to_string(end.code)
              : WIFSIGNALED(status) ? signalName(WTERMSIG(status))
                                    : "an unknown end";
    return true;
}

}  // namespace tessivar
