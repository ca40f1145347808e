#include "runner/media/gpu/GLProgram.h"

#include "gl/GLIncludes.h"

namespace tessivar {
namespace {

GLuint compile(GLenum stage, const char* source, const std::string& what, std::string& error) {
    const GLuint s = glCreateShader(stage);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        error = what + " does not compile: " + log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

}  // namespace

const char* GLProgram::FullScreenVertex() {
    return R"(#version 410 core
out vec2 uv;
void main() {
    // One triangle that covers the viewport: (-1,-1), (3,-1), (-1,3).
    vec2 p = vec2(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0);
    uv = p * 0.5 + 0.5;
    gl_Position = vec4(p, 0.0, 1.0);
}
)";
}

GLProgram::~GLProgram() { Release(); }

void GLProgram::Release() {
    if (program) glDeleteProgram(program);
    if (vao) glDeleteVertexArrays(1, &vao);
    program = vao = 0;
}

bool GLProgram::Create(const char* vertex, const std::string& fragment, const std::string& what, std::string& error) {
    Release();
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex, what, error);
    if (!vs) return false;
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment.c_str(), what, error);
    if (!fs) {
        glDeleteShader(vs);
        return false;
    }
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        error = what + " does not link";
        Release();
        return false;
    }
    glGenVertexArrays(1, &vao);
    return true;
}

int GLProgram::Uniform(const char* name) const { return glGetUniformLocation(program, name); }

void GLProgram::DrawFullScreen() const {
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
}

}  // namespace tessivar
