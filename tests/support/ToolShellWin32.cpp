#include "tests/support/ToolShell.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testtools {

namespace {

// Wine's own calls between Windows and Unix names (kernel32 exports them
// under Wine only); each answer is freed with HeapFree.
using ToUnix = char* (*)(const wchar_t*);
using ToDos = wchar_t* (*)(const char*);

std::wstring widen(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}

bool startsPath(const std::string& s, size_t i) {
    const bool boundary = i == 0 || std::strchr(" \"'=", s[i - 1]) != nullptr;
    const char c = s[i];
    return boundary && i + 2 < s.size() && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && s[i + 1] == ':' &&
           (s[i + 2] == '\\' || s[i + 2] == '/');
}

std::string unixName(const std::wstring& path, ToUnix toUnix) {
    char* name = toUnix(path.c_str());
    const std::string out = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// `command` with every Windows path in it given its Unix name.
std::string unixNames(const std::string& command, ToUnix toUnix) {
    std::string out;
    for (size_t i = 0; i < command.size();) {
        if (!startsPath(command, i)) {
            out += command[i++];
            continue;
        }
        const size_t end = command.find_first_of(" \"'", i);
        const std::string path = command.substr(i, end == std::string::npos ? std::string::npos : end - i);
        const std::string name = unixName(widen(path), toUnix);
        out += name.empty() ? path : name;
        i += path.size();
    }
    return out;
}

// Wine starts a Linux program from a Windows one, but hands back no process
// to wait for, nor its exit status, and passes it no pipe. So the shell runs
// a script that writes the status into a file when the command is over
// (whole, by a rename), and that file is waited for.
bool runUnderWine(const std::string& command, ToUnix toUnix, ToDos toDos) {
    wchar_t* shell = toDos("/bin/sh");
    wchar_t folder[MAX_PATH], script[MAX_PATH];
    if (!shell || !GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"tool", 0, script)) return false;
    const std::wstring program = shell, done = std::wstring(script) + L".done";
    HeapFree(GetProcessHeap(), 0, shell);
    const std::string name = unixName(script, toUnix);
    std::ofstream(std::filesystem::path(script), std::ios::binary)
        << unixNames(command, toUnix) << " </dev/null\nprintf %d $? > '" << name << ".status' && mv '" << name
        << ".status' '" << name << ".done'\n";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"sh \"" + widen(name) + L"\"";
    const bool ok = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (ok) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    // Ten minutes, as long as CTest gives a test.
    std::string said;
    for (int i = 0; ok && i < 60000 && said.empty(); ++i) {
        std::ifstream status(std::filesystem::path(done), std::ios::binary);
        said.assign(std::istreambuf_iterator<char>(status), {});
        if (said.empty()) Sleep(10);
    }
    DeleteFileW(done.c_str());
    DeleteFileW(script);
    return said == "0";
}

}  // namespace

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version") != nullptr; }

bool RunTool(const std::string& command) {
    HMODULE kernel = GetModuleHandleA("kernel32");
    const auto toUnix =
        reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    const auto toDos =
        reinterpret_cast<ToDos>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (toUnix && toDos) return runUnderWine(command, toUnix, toDos);
    return std::system(command.c_str()) == 0;
}

}  // namespace testtools
