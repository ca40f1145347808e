// macOS: the bundle links no GL library, so it builds without Apple's SDK.
// The host that calls InitGL has the OpenGL framework loaded (its context is
// current), and the functions are found there by name; opening the
// framework's path takes one more reference to the image already loaded,
// which the module keeps for its lifetime.
#include "gl/GLEntryPoints.h"

#include <dlfcn.h>

namespace ffglex {

GLProc ResolveGLPlatform(const char* name) {
    static void* const framework = dlopen("/System/Library/Frameworks/OpenGL.framework/OpenGL", RTLD_LAZY | RTLD_LOCAL);
    return framework ? reinterpret_cast<GLProc>(dlsym(framework, name)) : nullptr;
}

}  // namespace ffglex
