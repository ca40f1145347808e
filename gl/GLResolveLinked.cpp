// Linux: the module links GLVND's libOpenGL, so every function has an
// address already; the lookup only maps names to them.
#define TESSIVAR_GL_HOST 1  // this file needs the linked prototypes, not the table
#include "gl/GLIncludes.h"

#include <cstring>

namespace ffglex {

GLProc ResolveGLPlatform(const char* name) {
#define TESSIVAR_GL_LINKED(Name, NAME) \
    if (std::strcmp(name, "gl" #Name) == 0) return reinterpret_cast<GLProc>(&::gl##Name);
    TESSIVAR_GL_FUNCTIONS(TESSIVAR_GL_LINKED)
#undef TESSIVAR_GL_LINKED
    return nullptr;
}

}  // namespace ffglex
