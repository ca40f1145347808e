// The split passes (warp-only program, full program only around the markers)
// against the one-program path, byte for byte. Both run in this process on
// CornerPin objects, one of them with split passes disallowed, into the same
// host target with blending on over a coloured background, so a pixel drawn
// twice or not at all would show.
//
// Split passes are used only on llvmpipe, and only llvmpipe is vouched for
// here: another compiler could round the two programs' shared warp code
// differently in the last bit. Elsewhere the test is skipped and the module
// draws with the one program.
#include "effect/CornerPin.h"
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace effecttest {
namespace {

class TessivarSplitPasses : public GLTest {};

// The points, and how the host sets up the frame.
struct Frame {
    const char* name;
    float points[8];
    uint32_t width, height;  // the instance's viewport (FF_RESIZE size)
    int viewport[4];         // the GL viewport at the call; the target is large enough
    bool scissor = false;
    int scissorBox[4] = {0, 0, 0, 0};
};

const Frame kFrames[] = {
    {"points at the corners", {0, 0, 1, 0, 1, 1, 0, 1}, 641, 367, {0, 0, 641, 367}},
    {"points inside", {0.2f, 0.15f, 0.85f, 0.1f, 0.9f, 0.8f, 0.1f, 0.9f}, 641, 367, {0, 0, 641, 367}},
    {"points off to the left, markers overlapping", {0.0f, 0.3f, 0.05f, 0.32f, 0.06f, 0.5f, 0.01f, 0.45f}, 641, 367,
     {0, 0, 641, 367}},
    {"all points together", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}, 641, 367, {0, 0, 641, 367}},
    {"viewport away from the origin", {0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f}, 400, 300, {37, 21, 400, 300}},
    {"GL viewport other than the instance's (no FF_RESIZE)", {0.3f, 0.3f, 0.7f, 0.25f, 0.75f, 0.7f, 0.2f, 0.8f}, 400,
     300, {5, 9, 523, 211}},
    {"host scissor box through two markers", {0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f}, 641, 367,
     {0, 0, 641, 367}, true, {30, 40, 500, 300}},
    {"viewport too small for labels", {0.2f, 0.2f, 0.8f, 0.1f, 0.9f, 0.9f, 0.1f, 0.8f}, 50, 40, {0, 0, 50, 40}},
};

// One frame through a fresh CornerPin, as the host sets it up; returns the
// whole target, and checks the host's GL state came back unchanged.
tessivar::Image RenderFrame(const Frame& frame, bool guides, bool split, const tessivar::InputTexture& input) {
    const Frame& host = frame;
    const uint32_t targetW = uint32_t(host.viewport[0] + host.viewport[2]) + 3;
    const uint32_t targetH = uint32_t(host.viewport[1] + host.viewport[3]) + 3;
    tessivar::RenderTarget target;
    EXPECT_TRUE(target.Create(targetW, targetH));
    target.Bind();
    glClearColor(0.2f, 0.4f, 0.6f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glViewport(host.viewport[0], host.viewport[1], host.viewport[2], host.viewport[3]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glScissor(host.scissorBox[0], host.scissorBox[1], host.scissorBox[2], host.scissorBox[3]);
    if (host.scissor) glEnable(GL_SCISSOR_TEST);

    CornerPin pin;
    pin.AllowSplitPasses(split);
    const FFGLViewportStruct viewport{0, 0, host.width, host.height};
    EXPECT_EQ(pin.InitGL(&viewport), FF_SUCCESS);
    for (uint32_t i = 0; i < 8; ++i) pin.SetFloatParameter(i, frame.points[i]);
    pin.SetFloatParameter(kShowGuides, guides ? 1.0f : 0.0f);
    EXPECT_EQ(pin.UsesSplitPasses(), split);

    FFGLTextureStruct texture = input.Desc();
    FFGLTextureStruct* inputs[1] = {&texture};
    ProcessOpenGLStruct process{1, inputs, target.Framebuffer()};
    const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
    EXPECT_EQ(pin.ProcessOpenGL(&process), FF_SUCCESS);
    const std::string changed = before.Diff(tessivar::GLStateSnapshot::Capture());
    EXPECT_TRUE(changed.empty()) << changed;

    pin.DeInitGL();
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    tessivar::Image out = target.Read();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return out;
}

// Pixels that differ, and where the first one is (from the top-left).
size_t CountDifferences(const tessivar::Image& a, const tessivar::Image& b, std::string* first = nullptr) {
    if (a.rgba.size() != b.rgba.size()) return a.rgba.size() / 4;
    size_t differing = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4)
        if (std::memcmp(&a.rgba[i], &b.rgba[i], 4) != 0 && differing++ == 0 && first)
            *first = "(" + std::to_string(i / 4 % a.width) + ", " + std::to_string(i / 4 / a.width) + ")";
    return differing;
}

TEST_F(TessivarSplitPasses, DrawExactlyWhatTheOneProgramDraws) {
    {
        CornerPin probe;
        const FFGLViewportStruct viewport{0, 0, 64, 64};
        ASSERT_EQ(probe.InitGL(&viewport), FF_SUCCESS);
        const bool split = probe.UsesSplitPasses();
        probe.DeInitGL();
        if (!split)
            GTEST_SKIP() << "split passes are used and verified on llvmpipe only; this renderer draws with one program";
    }

    // Varying alpha, so the host's blending depends on every output byte.
    const tessivar::InputTexture input = MakeInput(Gradient(300, 200));
    for (const Frame& frame : kFrames) {
        tessivar::Image withoutGuides;
        for (const bool guides : {false, true}) {
            SCOPED_TRACE(std::string(frame.name) + (guides ? ", guides on" : ", guides off"));
            const tessivar::Image one = RenderFrame(frame, guides, false, input);
            const tessivar::Image split = RenderFrame(frame, guides, true, input);
            ASSERT_EQ(one.rgba.size(), split.rgba.size());
            std::string first;
            EXPECT_EQ(CountDifferences(one, split, &first), 0u) << "first at " << first;
            if (guides) {
                EXPECT_GT(CountDifferences(one, withoutGuides), 0u) << "the guides drew nothing";
            }
            withoutGuides = one;
        }
    }
}

}  // namespace
}  // namespace effecttest
