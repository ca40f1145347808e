// BenchHost -- what the benchmarks share: one headless GL context (not a debug
// context, as a host's would not be), the Tessivar module loaded with dlopen
// and driven through plugMain, and host targets with an input picture at
// each frame size.
//
//     std::string error;
//     benchhost::Canvas* canvas = benchhost::CanvasFor(1920, 1080, error);
//     if (!canvas) { state.SkipWithError(error.c_str()); return; }
//     FFInstanceID id = benchhost::Instantiate(1920, 1080, error);
#pragma once

#include "host/FFGLABI.h"
#include "runner/GLFrame.h"

#include <cstdint>
#include <string>

namespace benchhost {

using PlugMain = FFMixed (*)(uint32_t, FFMixed, FFInstanceID);

// The Tessivar module's plugMain, loading the module and making the context
// on first use; null with `error` set when either fails.
PlugMain TessivarMain(std::string& error);

// A host target and an opaque gradient input of the same size, made once per
// size and kept for the whole run. The target is bound as the host binds it
// (framebuffer, viewport, premultiplied blending) on every call.
struct Canvas {
    tessivar::RenderTarget target;
    tessivar::InputTexture input;
    FFGLTextureStruct texture{};
    FFGLTextureStruct* inputs[1] = {&texture};
    ProcessOpenGLStruct process{};
};
Canvas* CanvasFor(uint32_t width, uint32_t height, std::string& error);

// The quadrilateral the frame benchmarks warp onto (canvas, top-left origin).
inline constexpr float kQuad[8] = {0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f};

// A live instance through plugMain with the points on kQuad and "Show Guides"
// as given; 0 with `error` set on failure. Undo with Deinstantiate.
FFInstanceID Instantiate(uint32_t width, uint32_t height, bool guides, std::string& error);
void Deinstantiate(FFInstanceID instance);
bool SetParameter(FFInstanceID instance, uint32_t index, float value);

}  // namespace benchhost
