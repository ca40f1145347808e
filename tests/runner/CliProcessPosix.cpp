#include "tests/runner/CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace clitest {

const char* const kNullDevice = "/dev/null";

namespace {
pid_t start(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
            const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(stdinPath.c_str(), O_RDONLY), 0);
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int finish(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
               const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env) {
    return finish(start(program, args, stdinPath, outPath, errPath, env));
}

int RunProgramAndSignal(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
                        const std::string& errPath, int signal, const std::function<bool()>& ready) {
    const pid_t pid = start(program, args, kNullDevice, outPath, errPath, {});
    for (int i = 0; i < 6000 && !ready(); ++i) ::usleep(10000);
    ::kill(pid, signal);
    return finish(pid);
}

std::string MakeTempFolder(const std::string& parent) {
    std::string name = parent + "ffglrun_XXXXXX";
    return ::mkdtemp(name.data()) ? name + "/" : std::string();
}

}  // namespace clitest
