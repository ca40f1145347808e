#include "runner/platform/Library.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

namespace tessivar {

void* OpenLibrary(const std::string& path, std::string& why) {
    // A bare name would be searched for along the DLL path; a host means the file.
    std::string openPath = path.find_first_of("/\\") == std::string::npos ? ".\\" + path : path;
    // Windows would add ".dll" to a file name without an extension and load
    // another file; a trailing dot stops that.
    if (openPath.find('.', openPath.find_last_of("/\\") + 1) == std::string::npos) openPath += '.';
    // No error boxes for a file that is not a DLL: the caller reports it.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryExA(openPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = handle ? 0 : GetLastError();
    SetErrorMode(oldMode);
    if (!handle) {
        char text[512] = {};
        const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                       text, sizeof text, nullptr);
        why.assign(text, n);
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' ' || why.back() == '.'))
            why.pop_back();
        if (why.empty()) why = "Windows error " + std::to_string(code);
    }
    return reinterpret_cast<void*>(handle);
}

void* LibrarySymbol(void* handle, const char* name) {
    return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)) : nullptr;
}

void CloseLibrary(void* handle) {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace tessivar
