#include "runner/platform/Paths.h"

#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>
#include <shellapi.h>  // CommandLineToArgvW

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tessivar {
namespace {

constexpr int kReadable = 4, kWritable = 2;  // _waccess modes

}  // namespace

std::string WindowsErrorText(unsigned long code) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof text, nullptr);
    std::string why(text, n);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' ' || why.back() == '.'))
        why.pop_back();
    return why.empty() ? "Windows error " + std::to_string(code) : why;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

PathKind KindOf(const std::string& path) {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool CanRead(const std::string& path) { return _waccess(Widen(path).c_str(), kReadable) == 0; }
bool CanWriteIn(const std::string& folder) { return _waccess(Widen(folder).c_str(), kWritable) == 0; }

std::FILE* OpenNamedFile(const std::string& path, const char* mode) {
    return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

bool RemoveNamedFile(const std::string& path) { return _wremove(Widen(path).c_str()) == 0; }

bool MoveOnto(const std::string& from, const std::string& to, std::string& why) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    why = WindowsErrorText(GetLastError());
    return false;
}

// No mkstemp in the C runtime: numbered names, each created exclusively.
std::FILE* CreateTemporaryBeside(const std::string& path, std::string& tmpPath, std::string& why) {
    const std::string stem = path + ".partial-" + std::to_string(_getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = stem + std::to_string(attempt);
        const int fd = _wopen(Widen(tmpPath).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        std::FILE* f = _fdopen(fd, "wb");
        if (!f) {
            why = std::strerror(errno);
            _close(fd);
            RemoveNamedFile(tmpPath);
        }
        return f;
    }
    why = std::strerror(errno);
    return nullptr;
}

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    const std::wstring wide = Widen(path);
    // No access asked and every sharing allowed: a linker writing the file
    // meanwhile is not held up.
    HANDLE f = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (f == INVALID_HANDLE_VALUE) return s;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(f, &info)) {
        s.exists = true;
        // 100 ns steps since 1601: only changes are compared, so the epoch stays.
        s.mtimeNs =
            int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime) * 100);
        s.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
        s.id = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    CloseHandle(f);
    return s;
}

std::string MakeTemporaryFolder(const std::string& prefix) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) return {};
    const std::string base = Narrow(folder) + prefix + std::to_string(_getpid()) + "-";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryW(Widen(name).c_str(), nullptr)) return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return {};
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string FolderOf(const std::string& path) {
    const size_t at = LastSeparator(path);
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (at == std::string::npos) return drive ? path.substr(0, 2) : ".";  // "C:name": drive C's current folder
    if (at == 0 || (drive && at == 2)) return path.substr(0, at + 1);     // a root: "\", "C:\"
    return path.substr(0, at);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide || count != argc) {  // (cannot happen; the narrow ones are better than none)
        if (wide) LocalFree(wide);
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace tessivar
