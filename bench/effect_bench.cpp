// Tessivar frames at 1920 x 1080 in the headless context, driven through
// plugMain exactly as a host drives them, with guides off and on. The same
// run measures the cheapest possible full-screen pass (one texture fetch per
// pixel, no maths) as the floor of the software renderer, and prints how far
// above that floor the effect sits.
//
// Every frame ends with glFinish, so the figures are rendering time, not
// command submission. Times are wall-clock: llvmpipe renders on its own
// threads.
#include "host/FFGLABI.h"
#include "runner/GLFrame.h"
#include "runner/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

constexpr uint32_t kWidth = 1920, kHeight = 1080;

using PlugMain = FFMixed (*)(uint32_t, FFMixed, FFInstanceID);

// The context, the host's target and input, shared by all benchmarks.
struct Stage {
    std::unique_ptr<tessivar::HeadlessGL> gl;
    tessivar::RenderTarget target;
    tessivar::InputTexture input;
    void* module = nullptr;
    PlugMain plugMain = nullptr;
    std::string error;

    bool Ready() {
        if (gl || !error.empty()) return error.empty();
        gl = tessivar::HeadlessGL::Create(error);
        if (!gl) return false;
        module = dlopen(TESSIVAR_MODULE_TESSIVAR, RTLD_NOW | RTLD_LOCAL);
        plugMain = module ? reinterpret_cast<PlugMain>(dlsym(module, "plugMain")) : nullptr;
        if (!plugMain) {
            error = std::string("cannot load Tessivar: ") + (module ? "no plugMain" : dlerror());
            return false;
        }
        tessivar::Image image(kWidth, kHeight);
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                uint8_t* p = image.At(x, y);
                p[0] = uint8_t(x * 255 / kWidth), p[1] = uint8_t(y * 255 / kHeight), p[2] = 128, p[3] = 255;
            }
        if (!target.Create(kWidth, kHeight) || !input.Create(image)) error = "cannot make the frame's textures";
        return error.empty();
    }
};

Stage& stage() {
    static Stage s;
    return s;
}

void bindHostTarget() {
    stage().target.Bind();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void tessivarFrames(benchmark::State& state, bool guides) {
    Stage& s = stage();
    if (!s.Ready()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    bindHostTarget();
    FFGLViewportStruct viewport{0, 0, kWidth, kHeight};
    const FFMixed made = s.plugMain(FF_INSTANTIATE_GL, ffMixedPtr(&viewport), nullptr);
    if (uint32_t(made.Bits) == FF_FAIL && (made.Bits >> 32) == 0) {
        state.SkipWithError("FF_INSTANTIATE_GL failed");
        return;
    }
    FFInstanceID instance = made.PointerValue;
    SetParameterStruct showGuides{8, ffMixedFloat(guides ? 1.0f : 0.0f)};
    if (s.plugMain(FF_SET_PARAMETER, ffMixedPtr(&showGuides), instance).Bits != FF_SUCCESS ||
        ffMixedToFloat(s.plugMain(FF_GET_PARAMETER, ffMixedU32(8), instance)) != (guides ? 1.0f : 0.0f)) {
        state.SkipWithError("cannot set \"Show Guides\"");
        return;
    }

    FFGLTextureStruct texture = s.input.Desc();
    FFGLTextureStruct* inputs[1] = {&texture};
    ProcessOpenGLStruct process{1, inputs, s.target.Framebuffer()};
    // The first frame runs the auto-fit's analysis pass; keep it out of the figures.
    s.plugMain(FF_PROCESS_OPENGL, ffMixedPtr(&process), instance);
    glFinish();

    for (auto _ : state) {
        const FFMixed result = s.plugMain(FF_PROCESS_OPENGL, ffMixedPtr(&process), instance);
        glFinish();
        if (result.Bits != FF_SUCCESS) {
            state.SkipWithError("FF_PROCESS_OPENGL failed");
            break;
        }
    }
    s.plugMain(FF_DEINSTANTIATE_GL, ffMixedU32(0), instance);
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TessivarGuidesOff(benchmark::State& state) { tessivarFrames(state, false); }
void BM_TessivarGuidesOn(benchmark::State& state) { tessivarFrames(state, true); }

// The floor: a full-screen quad that copies the input, nothing else.
void BM_FullScreenCopyFloor(benchmark::State& state) {
    Stage& s = stage();
    if (!s.Ready()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    static const char* vertex = "#version 410 core\n"
                                "const vec2 corners[3] = vec2[3](vec2(-1.0, -1.0), vec2(3.0, -1.0), vec2(-1.0, 3.0));\n"
                                "out vec2 uv;\n"
                                "void main() { gl_Position = vec4(corners[gl_VertexID], 0.0, 1.0);"
                                " uv = corners[gl_VertexID] * 0.5 + 0.5; }\n";
    static const char* fragment = "#version 410 core\n"
                                  "uniform sampler2D InputTexture;\n"
                                  "in vec2 uv;\n"
                                  "out vec4 fragColor;\n"
                                  "void main() { fragColor = texture(InputTexture, uv); }\n";
    const GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, &vertex, nullptr);
    glShaderSource(fs, 1, &fragment, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);

    if (!linked) {
        state.SkipWithError("the floor shader does not link");
    } else {
        bindHostTarget();
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "InputTexture"), 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, s.input.Desc().Handle);
        glBindVertexArray(vao);
        for (auto _ : state) {
            glDrawArrays(GL_TRIANGLES, 0, 3);
            glFinish();
        }
        glBindVertexArray(0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
        state.counters["Mpixel/s"] =
            benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    }
    glDeleteVertexArrays(1, &vao);
    glDeleteProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
}

BENCHMARK(BM_FullScreenCopyFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TessivarGuidesOff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TessivarGuidesOn)->Unit(benchmark::kMillisecond)->UseRealTime();

// Console output as usual, plus the two ratios to the floor at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions the median stands for the benchmark.
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                perFrame[name] = run.GetAdjustedRealTime();
                haveMedian.insert(name);
            } else if (run.run_type == Run::RT_Iteration && !haveMedian.count(name)) {
                perFrame[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios() const {
        const auto floor = perFrame.find("BM_FullScreenCopyFloor");
        if (floor == perFrame.end() || floor->second <= 0) return;
        for (const char* name : {"BM_TessivarGuidesOff", "BM_TessivarGuidesOn"}) {
            const auto it = perFrame.find(name);
            if (it != perFrame.end())
                std::printf("%s / BM_FullScreenCopyFloor = %.2f\n", name, it->second / floor->second);
        }
    }

private:
    std::map<std::string, double> perFrame;
    std::set<std::string> haveMedian;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
