// The plugin's CPU-side pieces, each on its own:
//
//   Dispatch/*        plugMain answering FF_GET_PARAMETER and FF_SET_PARAMETER
//                     for a live instance, as a host polls and sets values;
//   Homography        CalculateInverseHomography for a perspective quadrilateral;
//   OpaqueScan/*      the auto-fit's scan of one 256 x 256 read-back;
//   DetectionPass/*   one whole detection (draw the input's alpha into the
//                     analysis target, read it back, scan) on a 1080p input.
#include "bench/BenchHost.h"
#include "effect/AlphaBounds.h"
#include "effect/CornerPin.h"

#include "gl/GLIncludes.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kPointX = 2;  // "Point 2 X"

struct LiveInstance {
    benchhost::PlugMain plugMain = nullptr;
    FFInstanceID id = nullptr;
    std::string error;
    LiveInstance() {
        plugMain = benchhost::TessivarMain(error);
        if (plugMain) id = benchhost::Instantiate(64, 64, false, error);
    }
    ~LiveInstance() {
        if (id) benchhost::Deinstantiate(id);
    }
};

void BM_DispatchGetParameter(benchmark::State& state) {
    LiveInstance live;
    if (!live.id) return state.SkipWithError(live.error.c_str());
    const FFMixed index = ffMixedU32(kPointX);
    for (auto _ : state) benchmark::DoNotOptimize(live.plugMain(FF_GET_PARAMETER, index, live.id));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchGetParameter)->Name("Dispatch/GetParameter");

void BM_DispatchSetParameter(benchmark::State& state) {
    LiveInstance live;
    if (!live.id) return state.SkipWithError(live.error.c_str());
    SetParameterStruct sets[2] = {{kPointX, ffMixedFloat(0.75f)}, {kPointX, ffMixedFloat(0.8f)}};
    const FFMixed records[2] = {ffMixedPtr(&sets[0]), ffMixedPtr(&sets[1])};
    unsigned k = 0;
    for (auto _ : state) benchmark::DoNotOptimize(live.plugMain(FF_SET_PARAMETER, records[++k & 1], live.id));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchSetParameter)->Name("Dispatch/SetParameter");

void BM_Homography(benchmark::State& state) {
    CornerPin pin;
    for (uint32_t i = 0; i < 8; ++i) pin.SetFloatParameter(i, benchhost::kQuad[i]);
    float inverse[9];
    for (auto _ : state) {
        benchmark::DoNotOptimize(pin.CalculateInverseHomography(inverse));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Homography)->Name("Homography");

// A read-back whose first byte is opaque in columns [left, right) of every row.
std::vector<uint8_t> readBack(int left, int right) {
    std::vector<uint8_t> rgba(256 * 256 * 4, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint8_t* p = &rgba[size_t(y * 256 + x) * 4];
            p[0] = p[1] = p[2] = x >= left && x < right ? 255 : 0;
            p[3] = 255;
        }
    return rgba;
}

void opaqueScan(benchmark::State& state, int left, int right) {
    const std::vector<uint8_t> rgba = readBack(left, right);
    tessivar::OpaqueBox box{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(tessivar::FindOpaqueBox(rgba.data(), 256, 256, 12, box));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rgba.size()));
}
BENCHMARK_CAPTURE(opaqueScan, Opaque, 0, 256)->Name("OpaqueScan/Opaque");
BENCHMARK_CAPTURE(opaqueScan, PillarBoxed, 32, 224)->Name("OpaqueScan/PillarBoxed");
BENCHMARK_CAPTURE(opaqueScan, Transparent, 0, 0)->Name("OpaqueScan/Transparent");

void BM_DetectionPass(benchmark::State& state) {
    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(1920, 1080, error);
    if (!canvas) return state.SkipWithError(error.c_str());
    CornerPin pin;
    const FFGLViewportStruct viewport{0, 0, 1920, 1080};
    if (pin.InitGL(&viewport) != FF_SUCCESS) return state.SkipWithError("InitGL failed");
    float rect[4];
    bool found = true;
    for (auto _ : state) found = pin.DetectAlphaBounds(canvas->texture, rect) && found;
    pin.DeInitGL();
    if (!found) state.SkipWithError("the opaque input was not found");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DetectionPass)->Name("DetectionPass/1080p")->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
