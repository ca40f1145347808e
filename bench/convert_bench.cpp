// The clip pipeline's pixel conversions at 1920 x 1080 and 3840 x 2160, both
// ways a run can take them, on this machine's renderer:
//
//   In/GL        4:2:0 planes uploaded as they are and converted by a shader
//                into the RGBA input texture
//   In/Swscale   swscale (slice threads, one per core) into RGBA, rows
//                bottom-up, uploaded
//   Out/GL       the RGBA target packed into 4:2:0 planes over black by
//                shaders and read back through a pixel buffer
//   Out/Swscale  the RGBA target read back and converted by swscale (slice
//                threads, over black in the same conversion)
//
// Each iteration ends with the result where the next stage takes it (the
// texture rendered: glFinish; the planes in memory); one untimed conversion
// first compiles the shaders. Time is wall-clock; CPU is every thread of
// the process, the renderer's included.
#include "bench/BenchHost.h"
#include "runner/media/LibAv.h"
#include "runner/media/gpu/PlanesToRgba.h"
#include "runner/media/gpu/RgbaToPlanes.h"

#include "gl/GLIncludes.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tessivar;

struct FrameSize {
    const char* name;
    int width, height;
};
const FrameSize kSizes[] = {{"1080p", 1920, 1080}, {"4K", 3840, 2160}};

using libav::FramePtr;
using libav::SwsPtr;

using libav::MakeFrame;

// swscale with one slice thread per core and the given extras.
SwsPtr swsFor(int width, int height, AVPixelFormat from, AVPixelFormat to, int flags, bool overBlack) {
    SwsPtr owner(sws_alloc_context());
    SwsContext* sws = owner.get();
    if (!sws) return nullptr;
    av_opt_set_int(sws, "srcw", width, 0);
    av_opt_set_int(sws, "srch", height, 0);
    av_opt_set_int(sws, "src_format", from, 0);
    av_opt_set_int(sws, "dstw", width, 0);
    av_opt_set_int(sws, "dsth", height, 0);
    av_opt_set_int(sws, "dst_format", to, 0);
    av_opt_set_int(sws, "sws_flags", flags, 0);
    av_opt_set_int(sws, "threads", int(std::thread::hardware_concurrency()), 0);
    if (overBlack) av_opt_set(sws, "alphablend", "uniform_color", 0);
    if (sws_init_context(sws, nullptr, nullptr) < 0) return nullptr;
    return owner;
}

void setCounters(benchmark::State& state, const FrameSize& size) {
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(size.width) * size.height / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void inGL(benchmark::State& state, FrameSize size) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(uint32_t(size.width), uint32_t(size.height), error);
    gpu::PlanesToRgba pass;
    if (!canvas || !pass.Create(error)) return state.SkipWithError(error.c_str());
    FramePtr planes = MakeFrame(AV_PIX_FMT_YUV420P, size.width, size.height);
    gpu::PixelLayout layout;
    auto convert = [&] {
        pass.Convert(layout, libav::PlanesOf(planes.get()), size.width, size.height, 0, canvas->texture.Handle, error);
        glFinish();
    };
    convert();  // the shader is compiled at its first draw
    for (auto _ : state) convert();
    setCounters(state, size);
}

// swscale's fast paths (nearest chroma, its own rounding) or its accurate
// ones (chroma interpolated both ways, exact rounding).
int swsFlags(bool accurate, bool toRgb) {
    if (!accurate) return SWS_BILINEAR;
    return SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | (toRgb ? SWS_FULL_CHR_H_INP : 0);
}

void inSwscale(benchmark::State& state, FrameSize size, bool accurate) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(uint32_t(size.width), uint32_t(size.height), error);
    if (!canvas) return state.SkipWithError(error.c_str());
    FramePtr planes = MakeFrame(AV_PIX_FMT_YUV420P, size.width, size.height);
    const SwsPtr sws =
        swsFor(size.width, size.height, AV_PIX_FMT_YUV420P, AV_PIX_FMT_RGBA, swsFlags(accurate, true), false);
    std::vector<uint8_t> rgba(size_t(size.width) * size_t(size.height) * 4);
    const int stride = size.width * 4;
    for (auto _ : state) {
        // Bottom row first, as GL takes it: the last row's address and a negative stride.
        uint8_t* dst[4] = {rgba.data() + size_t(size.height - 1) * size_t(stride), nullptr, nullptr, nullptr};
        const int strides[4] = {-stride, 0, 0, 0};
        sws_scale(sws.get(), planes->data, planes->linesize, 0, size.height, dst, strides);
        glBindTexture(GL_TEXTURE_2D, canvas->texture.Handle);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish();
    }
    setCounters(state, size);
}

void outGL(benchmark::State& state, FrameSize size) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(uint32_t(size.width), uint32_t(size.height), error);
    gpu::RgbaToPlanes pack;
    gpu::PixelLayout layout;
    if (!canvas || !pack.Create(layout, true, size.width, size.height, 1, error))
        return state.SkipWithError(error.c_str());
    FramePtr planes = MakeFrame(AV_PIX_FMT_YUV420P, size.width, size.height);
    auto convert = [&] {
        pack.Pack(canvas->target.Texture());
        pack.Collect(libav::PlanesOf(planes.get()), error);
    };
    convert();  // the shaders are compiled at their first draw
    for (auto _ : state) convert();
    setCounters(state, size);
}

void outSwscale(benchmark::State& state, FrameSize size, bool accurate) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(uint32_t(size.width), uint32_t(size.height), error);
    if (!canvas) return state.SkipWithError(error.c_str());
    FramePtr planes = MakeFrame(AV_PIX_FMT_YUV420P, size.width, size.height);
    const SwsPtr sws =
        swsFor(size.width, size.height, AV_PIX_FMT_RGBA, AV_PIX_FMT_YUV420P, swsFlags(accurate, false), true);
    std::vector<uint8_t> rgba(size_t(size.width) * size_t(size.height) * 4);
    const int stride = size.width * 4;
    for (auto _ : state) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, canvas->target.Framebuffer());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, size.width, size.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        const uint8_t* src[4] = {rgba.data() + size_t(size.height - 1) * size_t(stride), nullptr, nullptr, nullptr};
        const int strides[4] = {-stride, 0, 0, 0};
        sws_scale(sws.get(), src, strides, 0, size.height, planes->data, planes->linesize);
    }
    setCounters(state, size);
}

void registerAll() {
    for (const FrameSize& size : kSizes) {
        const std::string s = size.name;
        for (auto* b : {benchmark::RegisterBenchmark(("In/GL/" + s).c_str(), inGL, size),
                        benchmark::RegisterBenchmark(("In/Swscale/" + s).c_str(), inSwscale, size, false),
                        benchmark::RegisterBenchmark(("In/SwscaleAccurate/" + s).c_str(), inSwscale, size, true),
                        benchmark::RegisterBenchmark(("Out/GL/" + s).c_str(), outGL, size),
                        benchmark::RegisterBenchmark(("Out/Swscale/" + s).c_str(), outSwscale, size, false),
                        benchmark::RegisterBenchmark(("Out/SwscaleAccurate/" + s).c_str(), outSwscale, size, true)})
            b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
