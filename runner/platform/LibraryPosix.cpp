#include "runner/platform/Library.h"

#include <dlfcn.h>

namespace tessivar {

void* OpenLibrary(const std::string& path, std::string& why) {
    // dlopen searches the library path for a bare name; a host means the file.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* raw = dlerror();
        why = raw ? raw : "unknown reason";
        // dlerror repeats the path; keep only the reason.
        const std::string prefix = openPath + ": ";
        if (why.compare(0, prefix.size(), prefix) == 0) why.erase(0, prefix.size());
    }
    return handle;
}

void* LibrarySymbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

void CloseLibrary(void* handle) {
    if (handle) dlclose(handle);
}

}  // namespace tessivar
