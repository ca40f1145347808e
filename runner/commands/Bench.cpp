#include "runner/commands/Bench.h"

#include "gl/GLIncludes.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

namespace tessivar {
namespace {

const char* kFragment = R"(#version 410 core
uniform sampler2D InputTexture;
uniform vec2 MaxUV;
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = texture(InputTexture, uv * MaxUV); }
)";

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

bool FloorShader::Create(std::string& error) {
    if (!program.Create(GLProgram::FullScreenVertex(), kFragment, "floor shader", error)) return false;
    maxUVLocation = program.Uniform("MaxUV");
    glUseProgram(program.Name());
    glUniform1i(program.Uniform("InputTexture"), 0);
    glUseProgram(0);
    return true;
}

void FloorShader::Draw(const FFGLTextureStruct& input) const {
    glUseProgram(program.Name());
    glUniform2f(maxUVLocation, float(input.Width) / float(input.HardwareWidth),
                float(input.Height) / float(input.HardwareHeight));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, input.Handle);
    program.DrawFullScreen();
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}

}  // namespace tessivar
