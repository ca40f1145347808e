#include "runner/platform/Library.h"

#include "runner/platform/Paths.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

namespace tessivar {

void* OpenLibrary(const std::string& path, std::string& why) {
    // LOAD_WITH_ALTERED_SEARCH_PATH (the module's own folder first, for the
    // DLLs it needs) is defined for an absolute path only; and a bare name
    // would be searched for along the DLL path, where a host means the file.
    const std::wstring wide = Widen(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size ? GetFullPathNameW(wide.c_str(), size, full.data(), nullptr) : 0;
    if (length == 0 || length >= size) {
        why = "no such path";
        return nullptr;
    }
    full.resize(length);
    // Windows would add ".dll" to a file name without an extension and load
    // another file; a trailing dot stops that. (GetFullPathNameW drops one.)
    if (full.find(L'.', full.find_last_of(L"/\\") + 1) == std::wstring::npos) full += L'.';
    // No error boxes for a file that is not a DLL: the caller reports it.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = handle ? 0 : GetLastError();
    SetErrorMode(oldMode);
    if (!handle) why = WindowsErrorText(code);
    return reinterpret_cast<void*>(handle);
}

void* LibrarySymbol(void* handle, const char* name) {
    return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)) : nullptr;
}

void CloseLibrary(void* handle) {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace tessivar
