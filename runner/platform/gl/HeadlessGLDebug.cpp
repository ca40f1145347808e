// Debug messages through KHR_debug (EGL and WGL contexts, which are made as
// debug contexts).
#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <cstring>
#include <string>

namespace tessivar {
namespace {

// A driver's message may run over lines (a shader's compile log does); a
// sink gets it as one, the lines joined by "; ".
std::string oneLine(const char* text, size_t length) {
    std::string line;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\n') {
            line += text[i];
        } else if (i + 1 < length && text[i + 1] != '\n' && !line.empty()) {
            line += "; ";
        }
    }
    return line;
}

void APIENTRY debugTrampoline(GLenum, GLenum type, GLuint, GLenum severity, GLsizei length, const GLchar* message,
                              const void* user) {
    auto* sink = static_cast<const HeadlessGL::DebugSink*>(user);
    if (sink && *sink) (*sink)(type, severity, oneLine(message, length > 0 ? size_t(length) : std::strlen(message)));
}

static_assert(HeadlessGL::kDebugTypeError == GL_DEBUG_TYPE_ERROR, "sinks compare against the GL enum");

}  // namespace

bool HeadlessGL::SetDebugSink(DebugSink newSink) {
    sink = std::move(newSink);
    if (sink) {
        glDebugMessageCallback(debugTrampoline, &sink);
        glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    } else {
        glDebugMessageCallback(nullptr, nullptr);
    }
    return true;
}

void HeadlessGL::EnableCompilerMessages(bool on) {
    glDebugMessageControl(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr,
                          on ? GL_TRUE : GL_FALSE);
}

}  // namespace tessivar
