#include "tests/runner/CliProcess.h"

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

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath,
               const std::string& outPath, const std::string& errPath, const std::vector<std::string>& env) {
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

    HANDLE in = stdinPath.empty() ? INVALID_HANDLE_VALUE : openInherited(stdinPath, false);
    HANDLE out = openInherited(outPath, true), err = openInherited(errPath, true);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in != INVALID_HANDLE_VALUE ? in : GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    DWORD code = 127;
    std::wstring wideCommandLine = widen(commandLine);
    if (CreateProcessW(nullptr, wideCommandLine.data(), nullptr, nullptr, TRUE, 0, block.data(), nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return int(code);
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
