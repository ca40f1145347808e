// frame_cost -- a fixed number of Tessivar frames through plugMain, for
// counting the instructions a frame costs with callgrind (scripts/frame-cost.sh).
// Only runFrames is meant to be measured: it makes the FF_PROCESS_OPENGL calls,
// each followed by glFinish, and nothing else, so the module's share of the
// count is its cost per frame times the number of frames. The frames are
// 1920 x 1080: the guide rectangles, and so the draws, depend on the size.
//
//     frame_cost [frames] [guides 0|1]
#include "bench/BenchHost.h"

#include "gl/GLIncludes.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// Not inlined and with C names, so callgrind can switch on for it alone.
extern "C" __attribute__((noinline)) uint64_t runFrames(benchhost::PlugMain plugMain, FFMixed process,
                                                        FFInstanceID instance, int frames) {
    uint64_t failures = 0;
    for (int i = 0; i < frames; ++i) {
        failures += plugMain(FF_PROCESS_OPENGL, process, instance).Bits != FF_SUCCESS;
        glFinish();
    }
    return failures;
}

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 100;
    const bool guides = argc > 2 && std::atoi(argv[2]) != 0;
    constexpr uint32_t kWidth = 1920, kHeight = 1080;

    std::string error;
    benchhost::Canvas* canvas = benchhost::CanvasFor(kWidth, kHeight, error);
    FFInstanceID instance = canvas ? benchhost::Instantiate(kWidth, kHeight, guides, error) : nullptr;
    if (!instance) {
        std::fprintf(stderr, "frame_cost: %s\n", error.c_str());
        return 1;
    }
    benchhost::PlugMain plugMain = benchhost::TessivarMain(error);
    const FFMixed process = ffMixedPtr(&canvas->process);
    // The auto-fit and first-use work stay out of the count.
    for (int i = 0; i < 2; ++i) plugMain(FF_PROCESS_OPENGL, process, instance);
    const uint64_t failures = runFrames(plugMain, process, instance, frames);
    benchhost::Deinstantiate(instance);
    std::printf("frame_cost: %d frames, guides %s, %llu failed\n", frames, guides ? "on" : "off",
                static_cast<unsigned long long>(failures));
    return failures == 0 ? 0 : 1;
}
