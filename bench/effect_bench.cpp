// Tessivar frames at 1920 x 1080 and 3840 x 2160 in the headless context,
// driven through plugMain as a host drives them, with guides off and on, onto
// a perspective quadrilateral. The same run measures, at each size:
//
//   CopyFloor     the cheapest full-screen pass (one texture fetch per pixel,
//                 no maths): the floor of the software renderer;
//   OneProgram*   CornerPin in this process with split passes disallowed, the
//                 path every renderer but llvmpipe takes;
//   full_screen   (side by side, guides off) CornerPin drawing the quad over
//                 the whole viewport with one program, as every renderer drew
//                 before the frame skipped what the quadrilateral leaves
//                 transparent;
//   OpenCV        cv::warpPerspective of the same picture onto the same
//                 quadrilateral (bilinear, RGBA), when OpenCV was found;
//
// and prints every figure as a ratio to the floor of its size. Every frame
// ends with glFinish, so the figures are rendering time, not command
// submission; they are wall-clock, as llvmpipe renders on its own threads.
// The machine may be shared: run with repetitions and read the medians.
#include "bench/BenchHost.h"
#include "effect/CornerPin.h"
#include "tests/effect/CornerPinTestAccess.h"

#include "gl/GLIncludes.h"

#include <benchmark/benchmark.h>

#ifdef TESSIVAR_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

struct FrameSize {
    const char* name;
    uint32_t width, height;
};
const FrameSize kSizes[] = {{"1080p", 1920, 1080}, {"4K", 3840, 2160}};

void setFrameCounters(benchmark::State& state, const FrameSize& size) {
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(size.width) * size.height / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void tessivarFrames(benchmark::State& state, FrameSize size, bool guides) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(size.width, size.height, error);
    FFInstanceID instance = canvas ? benchhost::Instantiate(size.width, size.height, guides, error) : nullptr;
    if (!instance) {
        state.SkipWithError(error.c_str());
        return;
    }
    benchhost::PlugMain plugMain = benchhost::TessivarMain(error);
    const FFMixed process = ffMixedPtr(&canvas->process);
    // The first frame settles the auto-fit; keep it out of the figures.
    plugMain(FF_PROCESS_OPENGL, process, instance);
    glFinish();
    for (auto _ : state) {
        const FFMixed result = plugMain(FF_PROCESS_OPENGL, process, instance);
        glFinish();
        if (result.Bits != FF_SUCCESS) {
            state.SkipWithError("FF_PROCESS_OPENGL failed");
            break;
        }
    }
    benchhost::Deinstantiate(instance);
    setFrameCounters(state, size);
}

void oneProgramFrames(benchmark::State& state, FrameSize size, bool guides) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(size.width, size.height, error);
    if (!canvas) {
        state.SkipWithError(error.c_str());
        return;
    }
    CornerPin pin;
    CornerPinTestAccess::AllowSplitPasses(pin, false);
    const FFGLViewportStruct viewport{0, 0, size.width, size.height};
    if (pin.InitGL(&viewport) != FF_SUCCESS) {
        state.SkipWithError("InitGL failed");
        return;
    }
    for (uint32_t i = 0; i < 8; ++i) pin.SetFloatParameter(i, benchhost::kQuad[i]);
    pin.SetFloatParameter(8, guides ? 1.0f : 0.0f);
    pin.ProcessOpenGL(&canvas->process);
    glFinish();
    for (auto _ : state) {
        pin.ProcessOpenGL(&canvas->process);
        glFinish();
    }
    pin.DeInitGL();
    setFrameCounters(state, size);
}

// The floor: a full-screen triangle that copies the input, nothing else.
class CopyFloorPass {
public:
    CopyFloorPass() {
        static const char* vertex =
            "#version 410 core\n"
            "const vec2 corners[3] = vec2[3](vec2(-1.0, -1.0), vec2(3.0, -1.0), vec2(-1.0, 3.0));\n"
            "out vec2 uv;\n"
            "void main() { gl_Position = vec4(corners[gl_VertexID], 0.0, 1.0);"
            " uv = corners[gl_VertexID] * 0.5 + 0.5; }\n";
        static const char* fragment =
            "#version 410 core\n"
            "uniform sampler2D InputTexture;\n"
            "in vec2 uv;\n"
            "out vec4 fragColor;\n"
            "void main() { fragColor = texture(InputTexture, uv); }\n";
        vs = glCreateShader(GL_VERTEX_SHADER);
        fs = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(vs, 1, &vertex, nullptr);
        glShaderSource(fs, 1, &fragment, nullptr);
        glCompileShader(vs);
        glCompileShader(fs);
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        glGenVertexArrays(1, &vao);
    }
    ~CopyFloorPass() {
        glDeleteVertexArrays(1, &vao);
        glDeleteProgram(program);
        glDeleteShader(vs);
        glDeleteShader(fs);
    }
    bool Ok() const { return linked == GL_TRUE; }

    // One frame, finished; leaves no program, texture or vertex array bound.
    void Draw(const benchhost::Canvas& canvas) const {
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "InputTexture"), 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, canvas.texture.Handle);
        glBindVertexArray(vao);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glFinish();
        glBindVertexArray(0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
    }

private:
    GLuint vs = 0, fs = 0, program = 0, vao = 0;
    GLint linked = GL_FALSE;
};

void copyFloor(benchmark::State& state, FrameSize size) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(size.width, size.height, error);
    if (!canvas) return state.SkipWithError(error.c_str());
    CopyFloorPass floor;
    if (!floor.Ok()) return state.SkipWithError("the floor shader does not link");
    for (auto _ : state) floor.Draw(*canvas);
    setFrameCounters(state, size);
}

#ifdef TESSIVAR_HAVE_OPENCV
// The same picture onto the same quadrilateral, in client memory: bilinear,
// transparent black outside, on OpenCV's own worker threads.
class OpenCVWarp {
public:
    explicit OpenCVWarp(FrameSize size)
        : source(int(size.height), int(size.width), CV_8UC4), output(int(size.height), int(size.width), CV_8UC4) {
        const int w = int(size.width), h = int(size.height);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                source.at<cv::Vec4b>(y, x) = cv::Vec4b(uchar(x * 255 / w), uchar(y * 255 / h), 128, 255);
        const cv::Point2f from[4] = {{0, 0}, {float(w), 0}, {float(w), float(h)}, {0, float(h)}};
        cv::Point2f to[4];
        for (int i = 0; i < 4; ++i)
            to[i] = {benchhost::kQuad[2 * i] * float(w), benchhost::kQuad[2 * i + 1] * float(h)};
        forward = cv::getPerspectiveTransform(from, to);
    }
    void Run() {
        cv::warpPerspective(source, output, forward, output.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                            cv::Scalar(0, 0, 0, 0));
        benchmark::DoNotOptimize(output.data);
    }

private:
    cv::Mat source, output, forward;
};

void openCVWarp(benchmark::State& state, FrameSize size) {
    OpenCVWarp warp(size);
    for (auto _ : state) warp.Run();
    setFrameCounters(state, size);
}
#endif

// All of the above frame by frame in turn, so that a machine whose load
// drifts during the run slows them alike; reports the median milliseconds of
// the floor and every other median as a multiple of it.
void sideBySide(benchmark::State& state, FrameSize size) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(size.width, size.height, error);
    FFInstanceID off = canvas ? benchhost::Instantiate(size.width, size.height, false, error) : nullptr;
    FFInstanceID on = off ? benchhost::Instantiate(size.width, size.height, true, error) : nullptr;
    if (!on) {
        if (off) benchhost::Deinstantiate(off);
        return state.SkipWithError(error.c_str());
    }
    benchhost::PlugMain plugMain = benchhost::TessivarMain(error);
    const FFMixed process = ffMixedPtr(&canvas->process);
    CopyFloorPass floor;
    CornerPin onePin, fullPin;
    CornerPinTestAccess::AllowSplitPasses(onePin, false);
    CornerPinTestAccess::AllowSplitPasses(fullPin, false);
    CornerPinTestAccess::AllowFittedArea(fullPin, false);
    const FFGLViewportStruct viewport{0, 0, size.width, size.height};
    const bool oneReady = onePin.InitGL(&viewport) == FF_SUCCESS;
    const bool fullReady = fullPin.InitGL(&viewport) == FF_SUCCESS;
    for (uint32_t i = 0; i < 8; ++i) {
        onePin.SetFloatParameter(i, benchhost::kQuad[i]);
        fullPin.SetFloatParameter(i, benchhost::kQuad[i]);
    }
    fullPin.SetFloatParameter(8, 0.0f);
#ifdef TESSIVAR_HAVE_OPENCV
    OpenCVWarp openCV(size);
#endif

    struct Kind {
        const char* counter;
        std::function<void()> frame;
        std::vector<double> ms;
    };
    std::vector<Kind> kinds;
    kinds.push_back({"floor_ms", [&] { floor.Draw(*canvas); }, {}});
    kinds.push_back({"off_x", [&] { plugMain(FF_PROCESS_OPENGL, process, off), glFinish(); }, {}});
    kinds.push_back({"on_x", [&] { plugMain(FF_PROCESS_OPENGL, process, on), glFinish(); }, {}});
    kinds.push_back({"one_program_x", [&] { onePin.ProcessOpenGL(&canvas->process), glFinish(); }, {}});
    kinds.push_back({"full_screen_x", [&] { fullPin.ProcessOpenGL(&canvas->process), glFinish(); }, {}});
#ifdef TESSIVAR_HAVE_OPENCV
    kinds.push_back({"opencv_x", [&] { openCV.Run(); }, {}});
#endif
    for (Kind& kind : kinds) kind.frame();  // first frames: auto-fit, caches
    for (auto _ : state)
        for (Kind& kind : kinds) {
            const auto start = std::chrono::steady_clock::now();
            kind.frame();
            kind.ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    if (oneReady) onePin.DeInitGL();
    if (fullReady) fullPin.DeInitGL();
    benchhost::Deinstantiate(on);
    benchhost::Deinstantiate(off);

    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const double floorMs = median(kinds[0].ms);
    for (const Kind& kind : kinds)
        state.counters[kind.counter] = &kind == &kinds[0] ? floorMs : median(kind.ms) / floorMs;
}

void registerFrameBenchmarks() {
    for (const FrameSize& size : kSizes) {
        const std::string suffix = std::string("/") + size.name;
        auto frames = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->UseRealTime(); };
        frames(benchmark::RegisterBenchmark(("CopyFloor" + suffix).c_str(), copyFloor, size));
        frames(benchmark::RegisterBenchmark(("GuidesOff" + suffix).c_str(), tessivarFrames, size, false));
        frames(benchmark::RegisterBenchmark(("GuidesOn" + suffix).c_str(), tessivarFrames, size, true));
        frames(benchmark::RegisterBenchmark(("OneProgramGuidesOff" + suffix).c_str(), oneProgramFrames, size, false));
        frames(benchmark::RegisterBenchmark(("OneProgramGuidesOn" + suffix).c_str(), oneProgramFrames, size, true));
#ifdef TESSIVAR_HAVE_OPENCV
        frames(benchmark::RegisterBenchmark(("OpenCV" + suffix).c_str(), openCVWarp, size));
#endif
    }
    // 21 and 11 rounds: a few seconds each on two cores.
    for (const FrameSize& size : kSizes)
        benchmark::RegisterBenchmark((std::string("SideBySide/") + size.name).c_str(), sideBySide, size)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(size.width > 1920 ? 11 : 21);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerFrameBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
