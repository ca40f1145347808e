// EffectHost -- a test host that drives the Tessivar module the way a video
// host does: through plugMain only, into its own framebuffer object (a
// non-zero name, with a different read framebuffer bound), with its own
// viewport and with premultiplied blending enabled. Input textures may be
// larger than their image, padded with a colour that must never show.
//
// After every FF_PROCESS_OPENGL it checks that the plugin left the host's
// framebuffers, viewport, blend and scissor state alone, and left program 0,
// texture unit 0 and texture 0 bound.
#pragma once

#include "runner/GLFrame.h"
#include "tests/support/AbiHost.h"

#include <cstdint>
#include <memory>
#include <string>

namespace effecttest {

enum Param : uint32_t {
    kPoint1X = 0,
    kPoint1Y,
    kPoint2X,
    kPoint2Y,
    kPoint3X,
    kPoint3Y,
    kPoint4X,
    kPoint4Y,
    kShowGuides,
    kAutoBounds,
    kInputAspect,
};

// Where the points start: the corners of the canvas.
inline constexpr float kDefaultPoints[8] = {0, 0, 1, 0, 1, 1, 0, 1};

// The module, loaded once per test binary.
testhost::Module& TessivarModule();

class EffectHost {
public:
    // Instantiates the effect for an output of width x height.
    EffectHost(uint32_t width, uint32_t height);
    ~EffectHost();
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    bool Ok() const { return instance != testhost::kFail && instance != 0; }
    uint64_t Instance() const { return instance; }

    void Set(uint32_t index, float value);
    float Get(uint32_t index) const;
    void SetPoints(const float points[8]);
    std::vector<std::pair<uint32_t, uint64_t>> Events() const;

    // FF_RESIZE with a new viewport; the render target follows.
    void Resize(uint32_t width, uint32_t height);

    // One frame: clears the target to transparent black, calls
    // FF_PROCESS_OPENGL with the input, checks the answer and the GL state,
    // and reads the output back (top row first).
    tessivar::Image Render(const tessivar::InputTexture& input);
    // A frame whose output is not needed (auto-fit steps); checks the same.
    void Process(const tessivar::InputTexture& input);

    // The target as it stands, and a way to paint it before a call.
    tessivar::Image Output() const { return target.Read(); }
    void Fill(float r, float g, float b, float a);

    // Raw call with an arbitrary process record, for the refusal cases.
    uint64_t ProcessRaw(uint64_t processRecord);

    // Binds the host's framebuffers and state as a host would before a call.
    void BindHostState() const;

private:
    uint64_t instance = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    tessivar::RenderTarget target;
    tessivar::RenderTarget readSide;  // bound for reading, to tell draw and read apart
};

// Image helpers.
tessivar::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
// A smooth, asymmetric picture: red grows to the right, green downward, blue
// and alpha vary slowly, so any flip or shift shows and filtering stays exact
// to a step or two.
tessivar::Image Gradient(uint32_t w, uint32_t h);
// Makes columns [0, left) and [w - right, w) fully transparent.
void ClearColumns(tessivar::Image& image, uint32_t left, uint32_t right);

tessivar::InputTexture MakeInput(const tessivar::Image& image, uint32_t hwW = 0, uint32_t hwH = 0);

// Largest channel difference of one pixel against straight expectations.
int PixelDiff(const uint8_t* actual, const float expected[4]);

}  // namespace effecttest
