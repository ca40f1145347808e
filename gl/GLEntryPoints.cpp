#include "gl/GLIncludes.h"

#include "host/FFGLLog.h"

#include <cstdio>

namespace ffglex {

GLEntryPoints g_GL{};

namespace {
bool s_loaded = false;
}

bool LoadGLEntryPoints(GLResolver resolver) {
    if (s_loaded) return true;
    GLEntryPoints table{};
    const char* missing = nullptr;
#define TESSIVAR_GL_RESOLVE(Name, NAME) \
    table.Name = reinterpret_cast<decltype(table.Name)>(resolver("gl" #Name)); \
    if (!table.Name && !missing) missing = "gl" #Name;
    TESSIVAR_GL_FUNCTIONS(TESSIVAR_GL_RESOLVE)
#undef TESSIVAR_GL_RESOLVE
    if (missing) {
        char line[160];
        std::snprintf(line, sizeof line, "InitGL: the OpenGL driver has no %s; no instance can be made", missing);
        FFGLLog::LogToHost(line);
        return false;
    }
    g_GL = table;
    s_loaded = true;
    return true;
}

}  // namespace ffglex
