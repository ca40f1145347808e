// Bench -- frame timing for `ffglrun bench`.
//
// A frame is timed from the host's first call to the end of the GPU work
// (glFinish), so a software renderer and a real GPU are measured alike.
// The floor is the cheapest useful frame a host could draw: one full-screen
// triangle that copies the input. Its time, measured in the same run at the
// same size, says what the machine costs before any effect does anything.
#pragma once

#include "host/FFGLABI.h"
#include "runner/media/gpu/GLProgram.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace tessivar {

struct FrameStats {
    size_t frames = 0;
    double minMs = 0, medianMs = 0, meanMs = 0;
    double FramesPerSecond() const { return meanMs > 0 ? 1000.0 / meanMs : 0.0; }
};

// One `ffglrun bench` run: the module's frames and the floor's, side by side.
struct BenchResult {
    std::string module, name, renderer;
    uint32_t width = 0, height = 0;
    size_t frames = 0, warmup = 0;
    FrameStats plugin, floor;
    // The module's median frame as a multiple of the floor's.
    double Ratio() const { return floor.medianMs > 0 ? plugin.medianMs / floor.medianMs : 0.0; }
};

// Runs `frame` `warmup` times untimed, then `frames` times timed.
FrameStats TimeFrames(const std::function<bool()>& frame, size_t frames, size_t warmup, bool& ok);
// Times `a` and `b` in turn, frame by frame, so that the load of a shared
// machine falls on both alike and their ratio stays meaningful.
std::pair<FrameStats, FrameStats> TimeInterleaved(const std::function<bool()>& a, const std::function<bool()>& b,
                                                  size_t frames, size_t warmup, bool& ok);

// The trivial full-screen shader that copies an input texture.
class FloorShader {
public:
    bool Create(std::string& error);
    // Draws into the bound framebuffer with the current viewport.
    void Draw(const FFGLTextureStruct& input) const;

private:
    GLProgram program;
    int maxUVLocation = -1;
};

}  // namespace tessivar
