#include "runner/commands/Bench.h"

#include "gl/GLIncludes.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

namespace tessivar {
namespace {

const char* kVertex = R"(#version 410 core
out vec2 uv;
void main() {
    // One triangle that covers the viewport: (-1,-1), (3,-1), (-1,3).
    vec2 p = vec2(float((gl_VertexID & 1) << 2) - 1.0, float((gl_VertexID & 2) << 1) - 1.0);
    uv = p * 0.5 + 0.5;
    gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* kFragment = R"(#version 410 core
uniform sampler2D InputTexture;
uniform vec2 MaxUV;
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = texture(InputTexture, uv * MaxUV); }
)";

unsigned compile(GLenum stage, const char* source, std::string& error) {
    const GLuint s = glCreateShader(stage);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[512] = {};
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        error = std::string("floor shader does not compile: ") + log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

double timeOne(const std::function<bool()>& frame, bool& ok) {
    const auto start = Clock::now();
    ok = frame();
    glFinish();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

FrameStats summarize(std::vector<double> ms) {
    FrameStats stats;
    if (ms.empty()) return stats;
    stats.frames = ms.size();
    stats.meanMs = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
    std::sort(ms.begin(), ms.end());
    stats.minMs = ms.front();
    const size_t mid = ms.size() / 2;
    stats.medianMs = ms.size() % 2 ? ms[mid] : (ms[mid - 1] + ms[mid]) / 2;
    return stats;
}

}  // namespace

FrameStats TimeFrames(const std::function<bool()>& frame, size_t frames, size_t warmup, bool& ok) {
    ok = true;
    for (size_t i = 0; i < warmup && ok; ++i) timeOne(frame, ok);
    std::vector<double> ms;
    for (size_t i = 0; i < frames && ok; ++i) ms.push_back(timeOne(frame, ok));
    return summarize(std::move(ms));
}

std::pair<FrameStats, FrameStats> TimeInterleaved(const std::function<bool()>& a, const std::function<bool()>& b,
                                                  size_t frames, size_t warmup, bool& ok) {
    ok = true;
    for (size_t i = 0; i < warmup && ok; ++i) {
        timeOne(a, ok);
        if (ok) timeOne(b, ok);
    }
    std::vector<double> msA, msB;
    for (size_t i = 0; i < frames && ok; ++i) {
        msA.push_back(timeOne(a, ok));
        if (ok) msB.push_back(timeOne(b, ok));
    }
    return {summarize(std::move(msA)), summarize(std::move(msB))};
}

FloorShader::~FloorShader() {
    if (program) glDeleteProgram(program);
    if (vao) glDeleteVertexArrays(1, &vao);
}

bool FloorShader::Create(std::string& error) {
    const GLuint vs = compile(GL_VERTEX_SHADER, kVertex, error);
    if (!vs) return false;
    const GLuint fs = compile(GL_FRAGMENT_SHADER, kFragment, error);
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
        error = "floor shader does not link";
        return false;
    }
    maxUVLocation = glGetUniformLocation(program, "MaxUV");
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "InputTexture"), 0);
    glUseProgram(0);
    glGenVertexArrays(1, &vao);  // core profile draws need one, even empty
    return true;
}

void FloorShader::Draw(const FFGLTextureStruct& input) const {
    glUseProgram(program);
    glUniform2f(maxUVLocation, float(input.Width) / float(input.HardwareWidth),
                float(input.Height) / float(input.HardwareHeight));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, input.Handle);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}

}  // namespace tessivar
