#include "gl/FFGLShader.h"

#include "gl/FFGLUtilities.h"

#include <cassert>

namespace ffglex {

namespace {

bool isEmpty(const char* source) { return source == nullptr || source[0] == '\0'; }

// Driver logs usually end in a line feed; Log adds its own, so the failure
// stays one line per message.
std::string withoutTrailingNewlines(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

FFGLShader::FFGLShader() : vertexShaderID(0), geometryShaderID(0), fragmentShaderID(0), programID(0) {}

FFGLShader::~FFGLShader() {
    // The owner must FreeGLResources with its context current first.
    assert(vertexShaderID == 0);
    assert(geometryShaderID == 0);
    assert(fragmentShaderID == 0);
    assert(programID == 0);
}

bool FFGLShader::Compile(const std::string& vertexSource, const std::string& fragmentSource) {
    return Compile(vertexSource.c_str(), fragmentSource.c_str());
}

bool FFGLShader::Compile(const char* vertexSource, const char* fragmentSource) {
    return Compile(vertexSource, nullptr, fragmentSource);
}

bool FFGLShader::Compile(const char* vertexSource, const char* geometrySource, const char* fragmentSource) {
    if (isEmpty(vertexSource)) return false;
    // Without a fragment stage only transform feedback gives the program a use.
    if (isEmpty(fragmentSource) && transformFeedbackVaryings.empty()) return false;

    const bool linked = CompileVertexShader(vertexSource) &&
                        (isEmpty(geometrySource) || CompileGeometryShader(geometrySource)) &&
                        (isEmpty(fragmentSource) || CompileFragmentShader(fragmentSource)) && LinkProgram();
    if (linked) return true;
    FreeGLResources();
    return false;
}

bool FFGLShader::CompileVertexShader(const char* source) {
    return CompileStage(GL_VERTEX_SHADER, source, vertexShaderID, "Vertex Shader error: ");
}

bool FFGLShader::CompileGeometryShader(const char* source) {
    return CompileStage(GL_GEOMETRY_SHADER, source, geometryShaderID, "Geometry Shader error: ");
}

bool FFGLShader::CompileFragmentShader(const char* source) {
    return CompileStage(GL_FRAGMENT_SHADER, source, fragmentShaderID, "Fragment Shader error: ");
}

bool FFGLShader::CompileStage(GLenum stage, const char* source, GLuint& name, const char* logPrefix) {
    name = glCreateShader(stage);
    if (name == 0) return false;  // no GL name: no object, no log to show
    glShaderSource(name, 1, &source, nullptr);
    glCompileShader(name);
    GLint status = GL_FALSE;
    glGetShaderiv(name, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return true;

    GLint length = 0;
    glGetShaderiv(name, GL_INFO_LOG_LENGTH, &length);
    if (length < 0) length = 0;
    std::string log(size_t(length) + 1, '\0');
    glGetShaderInfoLog(name, length, nullptr, &log[0]);
    log.resize(log.find('\0'));
    Log(logPrefix, withoutTrailingNewlines(log));
    return false;
}

bool FFGLShader::LinkProgram() {
    programID = glCreateProgram();
    if (programID == 0) return false;
    glAttachShader(programID, vertexShaderID);
    if (geometryShaderID != 0) glAttachShader(programID, geometryShaderID);
    if (fragmentShaderID != 0) glAttachShader(programID, fragmentShaderID);
    if (!transformFeedbackVaryings.empty()) {
        std::vector<const char*> names;
        names.reserve(transformFeedbackVaryings.size());
        for (const std::string& varying : transformFeedbackVaryings) names.push_back(varying.c_str());
        glTransformFeedbackVaryings(programID, GLsizei(names.size()), names.data(), GL_INTERLEAVED_ATTRIBS);
    }
    glLinkProgram(programID);
    GLint status = 0;
    glGetProgramiv(programID, GL_LINK_STATUS, &status);
    if (status == GL_TRUE) return true;

    char log[1024] = {};
    GLsizei written = 0;
    glGetProgramInfoLog(programID, sizeof(log) - 1, &written, log);
    log[written > 0 ? written : 0] = '\0';
    Log("Fragment Shader error: ", withoutTrailingNewlines(log));
    return false;
}

void FFGLShader::FreeGLResources() {
    if (vertexShaderID != 0) glDeleteShader(vertexShaderID);
    vertexShaderID = 0;
    if (fragmentShaderID != 0) glDeleteShader(fragmentShaderID);
    fragmentShaderID = 0;
    if (geometryShaderID != 0) glDeleteShader(geometryShaderID);
    geometryShaderID = 0;
    if (programID != 0) glDeleteProgram(programID);
    programID = 0;
}

void FFGLShader::AddTransformFeedbackVarying(const std::string& name) { transformFeedbackVaryings.push_back(name); }

GLint FFGLShader::FindUniform(const char* name) const {
    // An empty shader has no uniforms; asking GL about program 0 would leave
    // an error queued in the host's context.
    if (programID == 0) return -1;
    return glGetUniformLocation(programID, name);
}

void FFGLShader::Set(const char* name, float x) { glUniform1f(FindUniform(name), x); }

void FFGLShader::Set(const char* name, float x, float y) { glUniform2f(FindUniform(name), x, y); }

void FFGLShader::Set(const char* name, float x, float y, float z) { glUniform3f(FindUniform(name), x, y, z); }

void FFGLShader::Set(const char* name, float x, float y, float z, float w) {
    glUniform4f(FindUniform(name), x, y, z, w);
}

void FFGLShader::Set(const char* name, int value) { glUniform1i(FindUniform(name), value); }

}  // namespace ffglex
