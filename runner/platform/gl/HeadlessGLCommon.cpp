// What every platform's context shares: its identity strings. (Context
// making: HeadlessGLEGL.cpp for EGL, HeadlessGLWin32.cpp for WGL,
// HeadlessGLCGL.cpp for CGL; debug messages: HeadlessGLDebug*.cpp.)
#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <string>

namespace tessivar {

std::string HeadlessGL::Version() const {
    const auto* s = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return s ? s : "";
}

std::string HeadlessGL::Renderer() const {
    const auto* s = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return s ? s : "";
}

}  // namespace tessivar
