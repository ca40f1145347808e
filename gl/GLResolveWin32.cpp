// Windows: functions past GL 1.1 come from wglGetProcAddress while a context
// is current. It answers null (or, from some drivers, 1, 2, 3 or -1) for the
// GL 1.1 functions, which opengl32.dll exports itself.
#include "gl/GLEntryPoints.h"

#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>

#include <cstdint>

namespace ffglex {

GLProc ResolveGLPlatform(const char* name) {
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<std::intptr_t>(proc);
    if (value >= -1 && value <= 3) {
        HMODULE opengl32 = GetModuleHandleA("opengl32.dll");
        proc = opengl32 ? GetProcAddress(opengl32, name) : nullptr;
    }
    return reinterpret_cast<GLProc>(proc);
}

}  // namespace ffglex
