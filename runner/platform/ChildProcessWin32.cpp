#include "runner/platform/ChildProcess.h"

#include "runner/platform/Paths.h"

#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

#include <cstdio>

namespace tessivar {
namespace {

// One argument as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

bool RunSelf(const std::vector<std::string>& args, const std::function<void(const std::string&)>& onLine, ChildEnd& end,
             std::string& error) {
    std::wstring self(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()));
    if (length == 0 || length >= self.size()) {
        error = "cannot find this program's own file to run it again";
        return false;
    }
    self.resize(length);
    std::wstring commandLine = quoted(self);
    for (const auto& a : args) commandLine += L" " + quoted(Widen(a));

    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        error = "cannot make a pipe: " + WindowsErrorText(GetLastError());
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // the child gets the write end only
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    const DWORD why = GetLastError();
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        error = "cannot start " + Narrow(self) + ": " + WindowsErrorText(why);
        return false;
    }
    std::string pending;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        pending.append(buffer, n);
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos; pending.erase(0, eol + 1)) {
            std::string line = pending.substr(0, eol);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            onLine(line);
        }
    }
    if (!pending.empty()) onLine(pending);
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // A process Windows ended for a fault exits with the exception's code.
    end.exited = code < 0xC0000000u;
    end.code = int(code);
    char hex[32];
    std::snprintf(hex, sizeof hex, "exception 0x%08lx", static_cast<unsigned long>(code));
    end.how = end.exited ? "exit status " + std::to_string(code) : std::string(hex);
    return true;
}

}  // namespace tessivar
