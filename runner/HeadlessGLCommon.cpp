// What every platform's context shares: its identity strings and the
// KHR_debug route to the sink. (Context making: HeadlessGL.cpp for EGL,
// HeadlessGLWin32.cpp for WGL.)
#include "runner/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <cstring>
#include <string>

namespace tessivar {
namespace {

void APIENTRY debugTrampoline(GLenum, GLenum type, GLuint, GLenum severity, GLsizei length,
                                const GLchar* message, const void* user) {
    auto* sink = static_cast<const HeadlessGL::DebugSink*>(user);
    if (sink && *sink) (*sink)(type, severity, std::string(message, length > 0 ? size_t(length) : std::strlen(message)));
}

}  // namespace

std::string HeadlessGL::Version() const {
    const auto* s = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return s ? s : "";
}

std::string HeadlessGL::Renderer() const {
    const auto* s = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return s ? s : "";
}

void HeadlessGL::SetDebugSink(DebugSink newSink) {
    sink = std::move(newSink);
    if (sink) {
        glDebugMessageCallback(debugTrampoline, &sink);
        glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    } else {
        glDebugMessageCallback(nullptr, nullptr);
    }
}

}  // namespace tessivar
