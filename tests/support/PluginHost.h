// PluginHost -- drives one instance of a module through plugMain the way a
// video host does: into its own framebuffer object (a non-zero name, with a
// different read framebuffer bound), with its own viewport and premultiplied
// blending enabled. Input textures may be larger than their image, padded
// with opaque magenta that must never show. Every plugMain call is watched
// by a GLStateGuard: the framebuffers, viewport, blend and scissor state,
// program 0, texture unit 0 and texture 0 must be as the host left them.
#pragma once

#include "runner/GLFrame.h"
#include "tests/support/AbiHost.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace testhost {

// The module of CMake target `target` (upper case), loaded once per test
// binary and deinitialised before it is unloaded, as a host does.
Module& SharedModule(const char* target);

class PluginHost {
public:
    PluginHost(Module& module, uint32_t width, uint32_t height);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    bool Ok() const { return instance != kFail && instance != 0; }
    uint64_t Instance() const { return instance; }

    void Set(uint32_t index, float value);  // expects success
    float Get(uint32_t index) const { return module.GetFloat(instance, index); }
    void SetPoints(const float values[8]) {  // parameters 0 to 7
        for (uint32_t i = 0; i < 8; ++i) Set(i, values[i]);
    }
    uint64_t SetElement(uint32_t index, uint32_t element, float value);
    std::vector<std::pair<uint32_t, uint64_t>> Events() const { return module.CollectEvents(instance); }
    void Resize(uint32_t width, uint32_t height);  // FF_RESIZE; the target follows

    // Binds the host's framebuffers and state as a host does before a call.
    void BindHostState() const;
    void Fill(float r, float g, float b, float a);  // paints the target
    // FF_PROCESS_OPENGL with the host state bound and the target as it is.
    uint64_t Call(uint64_t processRecord);
    // Clears the target to transparent black, then calls.
    uint64_t Frame(ProcessRecord& record);
    uint64_t Frame(const std::vector<const tessivar::InputTexture*>& inputs);
    // One frame with one input, expected to succeed; the output read back.
    tessivar::Image Render(const tessivar::InputTexture& input);
    tessivar::Image Output() const { return target.Read(); }

    Module& module;

private:
    uint64_t instance = kFail;
    uint32_t width, height;
    tessivar::RenderTarget target;
    tessivar::RenderTarget readSide;
};

tessivar::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
// A smooth, asymmetric picture: red grows to the right, green downward, blue
// and alpha vary slowly, so any flip or shift shows and filtering stays exact
// to a step or two.
tessivar::Image Gradient(uint32_t w, uint32_t h);
// Makes columns [0, left) and [w - right, w) fully transparent.
void ClearColumns(tessivar::Image& image, uint32_t left, uint32_t right);
// `image` bottom-left in a texture of the hardware size (0: the image's),
// padded with opaque magenta.
tessivar::InputTexture MakeInput(const tessivar::Image& image, uint32_t hwW = 0, uint32_t hwH = 0);
// Largest channel difference of one pixel against (straight) expectations.
int PixelDiff(const uint8_t* actual, const float expected[4]);

}  // namespace testhost
