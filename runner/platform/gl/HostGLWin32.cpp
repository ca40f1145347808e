#include "gl/GLIncludes.h"

#include <cstdint>

namespace tessivar {

HostGLEntryPoints g_HostGL{};

namespace {

// wglGetProcAddress answers only past GL 1.1 (and null, 1, 2, 3 or -1
// otherwise); opengl32.dll exports the rest.
void (*lookUp(const char* name))() {
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<std::intptr_t>(proc);
    if (value >= -1 && value <= 3) {
        HMODULE opengl32 = GetModuleHandleA("opengl32.dll");
        proc = opengl32 ? GetProcAddress(opengl32, name) : nullptr;
    }
    return reinterpret_cast<void (*)()>(proc);
}

}  // namespace

bool LoadHostGL(std::string& missing) {
    HostGLEntryPoints table{};
    missing.clear();
#define TESSIVAR_GL_HOST_RESOLVE(Name, NAME) \
    table.Name = reinterpret_cast<decltype(table.Name)>(lookUp("gl" #Name)); \
    if (!table.Name && missing.empty()) missing = "gl" #Name;
    TESSIVAR_GL_HOST_FUNCTIONS(TESSIVAR_GL_HOST_RESOLVE)
#undef TESSIVAR_GL_HOST_RESOLVE
    if (!missing.empty()) return false;
    g_HostGL = table;
    return true;
}

}  // namespace tessivar
