#include "tests/runner/CliProcess.h"

#include "tests/support/ToolShell.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <random>

namespace clitest {

const char* const kNullDevice = "NUL";

namespace {

// One argument as CommandLineToArgvW reads it back.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

// The command line as UTF-16: CreateProcessA would hand the child the bytes
// read in the ANSI code page, so a name past ASCII could not reach it.
std::wstring widen(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
    return wide;  // with its terminating zero
}

HANDLE openInherited(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

namespace {

// The running child, with the handles its streams were opened on.
struct Child {
    PROCESS_INFORMATION pi{};
    bool started = false;
    HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE, err = INVALID_HANDLE_VALUE;
};

Child start(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
            const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env, DWORD flags) {
    std::string commandLine = quoted(program);
    for (const auto& a : args) commandLine += " " + quoted(a);

    // The current environment, with `env` laid over it.
    std::string block;
    std::vector<std::string> names;
    for (const auto& e : env) names.push_back(e.substr(0, e.find('=') + 1));
    char* current = GetEnvironmentStringsA();
    for (const char* p = current; p && *p; p += std::strlen(p) + 1) {
        bool replaced = false;
        for (const auto& n : names) replaced = replaced || _strnicmp(p, n.c_str(), n.size()) == 0;
        if (!replaced) block.append(p).push_back('\0');
    }
    if (current) FreeEnvironmentStringsA(current);
    for (const auto& e : env) block.append(e).push_back('\0');
    block.push_back('\0');

    Child c;
    c.in = stdinPath.empty() ? INVALID_HANDLE_VALUE : openInherited(stdinPath, false);
    c.out = openInherited(outPath, true);
    c.err = openInherited(errPath, true);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = c.in != INVALID_HANDLE_VALUE ? c.in : GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = c.out;
    si.hStdError = c.err;
    std::wstring wideCommandLine = widen(commandLine);
    c.started = CreateProcessW(nullptr, wideCommandLine.data(), nullptr, nullptr, TRUE, flags, block.data(), nullptr,
                               &si, &c.pi);
    return c;
}

int finish(Child& c) {
    DWORD code = 127;
    if (c.started) {
        WaitForSingleObject(c.pi.hProcess, INFINITE);
        GetExitCodeProcess(c.pi.hProcess, &code);
        CloseHandle(c.pi.hThread);
        CloseHandle(c.pi.hProcess);
    }
    for (HANDLE h : {c.in, c.out, c.err})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return int(code);
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
               const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env) {
    Child c = start(program, args, stdinPath, outPath, errPath, env, 0);
    return finish(c);
}

int RunProgramAndInterrupt(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
                           const std::string& errPath, const std::string& tag, const std::function<bool()>& ready) {
    // A process group of its own takes Ctrl-Break alone, and ignores Ctrl-C.
    const bool wine = testtools::UnderWine();
    Child c = start(program, args, kNullDevice, outPath, errPath, {}, wine ? 0 : CREATE_NEW_PROCESS_GROUP);
    for (int i = 0; c.started && i < 6000 && !ready(); ++i) Sleep(10);
    if (c.started && wine) {
        // Wine hands a Windows program's SIGINT to its console handlers as
        // Ctrl-C, as a terminal's Ctrl-C; the Unix process is the one whose
        // command line holds `tag` (not the shell that looks for it).
        testtools::RunTool(
            "for p in /proc/[0-9]*; do [ \"${p#/proc/}\" = $$ ] && continue; case \"$(tr '\\000' ' ' "
            "2>/dev/null < $p/cmdline)\" in *" +
            tag + "*) kill -INT \"${p#/proc/}\";; esac; done");
    } else if (c.started) {
        // A console's Ctrl-C reaches only the whole console; Ctrl-Break
        // reaches the child's own process group.
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, c.pi.dwProcessId);
    }
    return finish(c);
}

std::string MakeTempFolder(const std::string& parent) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = parent + "ffglrun_" + std::to_string(random());
        std::error_code ec;
        if (std::filesystem::create_directory(name, ec)) return name + "\\";
    }
    return std::string();
}

}  // namespace clitest
