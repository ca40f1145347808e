// CornerPin's shortcuts against one full-screen draw with the full program,
// byte for byte:
//
//   fitted area   the pixels the warp leaves transparent are cleared (no
//                 blending) or left alone (premultiplied-like blending), and
//                 the quad is drawn only over bands covering the quadrilateral
//                 and around the markers;
//   split passes  llvmpipe only: the warp-only program where no marker reaches.
//
// Everything runs in this process on CornerPin objects, one per path, into
// the same host target over a coloured background, so a pixel drawn twice,
// not drawn, or cleared where the draw would have kept it shows.
//
// The fitted area draws the same program under scissor boxes, which GL
// requires to change only which pixels are drawn: it is compared on every
// renderer. Split passes are vouched for on llvmpipe only: another compiler
// could round the two programs' shared warp code differently in the last bit.
#include "effect/CornerPin.h"
#include "tests/effect/CornerPinTestAccess.h"
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace effecttest {
namespace {

class TessivarDrawPaths : public GLTest {};

enum class Blend { None, Over, Additive, Multiply };

// How the host sets up the frame.
struct Host {
    const char* name;
    uint32_t width, height;  // the instance's viewport (FF_RESIZE size)
    int viewport[4];         // the GL viewport at the call; the target is 3 pixels larger
    Blend blend = Blend::Over;
    bool scissor = false;
    int scissorBox[4] = {0, 0, 0, 0};
    bool alphaMasked = false;  // colour mask without alpha
    // The input: the whole of a texture of its size, padded in a larger one,
    // or with transparent bars the first frame crops away (of the instance's size).
    enum { Whole, Padded, Cropped } input = Whole;
};

struct Quad {
    const char* name;
    float points[8];
};

struct Path {
    bool split, fitted;
};
constexpr Path kReference{false, false};

// One CornerPin drawing through one path, and the host's target.
class Renderer {
public:
    Renderer(const Host& h, Path p, const tessivar::InputTexture& in) : host(h), path(p), input(in) {
        target.Create(uint32_t(host.viewport[0] + host.viewport[2]) + 3,
                      uint32_t(host.viewport[1] + host.viewport[3]) + 3);
        CornerPinTestAccess::AllowSplitPasses(pin, path.split);
        CornerPinTestAccess::AllowFittedArea(pin, path.fitted);
        const FFGLViewportStruct viewport{0, 0, host.width, host.height};
        ready = pin.InitGL(&viewport) == FF_SUCCESS && pin.UsesSplitPasses() == path.split;
        if (host.input == Host::Cropped)
            Render({"fitted to the bars", {0, 0, 1, 0, 1, 1, 0, 1}}, false);
        else
            pin.SetFloatParameter(0, 0.5f);  // moved points: the first frame fits nothing
    }
    ~Renderer() { pin.DeInitGL(); }
    bool Ready() const { return ready; }

    // The whole target after one frame; checks the host's GL state came back.
    tessivar::Image Render(const Quad& quad, bool guides) {
        for (uint32_t i = 0; i < 8; ++i) pin.SetFloatParameter(i, quad.points[i]);
        pin.SetFloatParameter(kShowGuides, guides ? 1.0f : 0.0f);
        Prepare();
        FFGLTextureStruct texture = input.Desc();
        FFGLTextureStruct* inputs[1] = {&texture};
        ProcessOpenGLStruct process{1, inputs, target.Framebuffer()};
        const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
        EXPECT_EQ(pin.ProcessOpenGL(&process), FF_SUCCESS);
        const std::string changed = before.Diff(tessivar::GLStateSnapshot::Capture());
        EXPECT_TRUE(changed.empty()) << changed;
        return target.Read();  // (reading is immune to the state the host left)
    }

private:
    // A coloured background, then the host's state.
    void Prepare() {
        target.Bind();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.2f, 0.4f, 0.6f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        glViewport(host.viewport[0], host.viewport[1], host.viewport[2], host.viewport[3]);
        const GLenum factors[][2] = {
            {GL_ONE, GL_ZERO}, {GL_ONE, GL_ONE_MINUS_SRC_ALPHA}, {GL_ONE, GL_ONE}, {GL_DST_COLOR, GL_ZERO}};
        (host.blend == Blend::None ? glDisable : glEnable)(GL_BLEND);
        glBlendFunc(factors[int(host.blend)][0], factors[int(host.blend)][1]);
        glScissor(host.scissorBox[0], host.scissorBox[1], host.scissorBox[2], host.scissorBox[3]);
        if (host.scissor) glEnable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, host.alphaMasked ? GL_FALSE : GL_TRUE);
    }

    const Host& host;
    Path path;
    const tessivar::InputTexture& input;
    tessivar::RenderTarget target;
    CornerPin pin;
    bool ready = false;
};

// Pixels that differ, and where the first one is (from the top-left).
size_t CountDifferences(const tessivar::Image& a, const tessivar::Image& b, std::string* first = nullptr) {
    if (a.rgba.size() != b.rgba.size()) return a.rgba.size() / 4;
    size_t differing = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4)
        if (std::memcmp(&a.rgba[i], &b.rgba[i], 4) != 0 && differing++ == 0 && first)
            *first = "(" + std::to_string(i / 4 % a.width) + ", " + std::to_string(i / 4 / a.width) + ")";
    return differing;
}

bool SplitRenderer() {
    CornerPin probe;
    const FFGLViewportStruct viewport{0, 0, 64, 64};
    const bool ok = probe.InitGL(&viewport) == FF_SUCCESS && probe.UsesSplitPasses();
    probe.DeInitGL();
    return ok;
}

// Every quadrilateral with guides off and on, through every path, against
// the reference; the guides must show.
void CompareAllPaths(const Host& host, const std::vector<Quad>& quads) {
    SCOPED_TRACE(host.name);
    // Varying alpha, so the host's blending depends on every output byte.
    tessivar::Image picture =
        Gradient(host.input == Host::Cropped ? host.width : 300, host.input == Host::Cropped ? host.height : 200);
    if (host.input == Host::Cropped) ClearColumns(picture, host.width / 8, host.width / 8);
    const uint32_t padded = host.input == Host::Padded ? 512 : 0;
    const tessivar::InputTexture input = MakeInput(picture, padded, padded);
    std::vector<Path> paths = {{false, true}};
    if (SplitRenderer()) paths.insert(paths.end(), {{true, false}, {true, true}});
    Renderer reference(host, kReference, input);
    ASSERT_TRUE(reference.Ready());
    std::vector<std::unique_ptr<Renderer>> shortcuts;
    for (const Path& path : paths) {
        shortcuts.push_back(std::make_unique<Renderer>(host, path, input));
        ASSERT_TRUE(shortcuts.back()->Ready());
    }
    for (const Quad& quad : quads) {
        tessivar::Image withoutGuides;
        for (const bool guides : {false, true}) {
            const tessivar::Image expected = reference.Render(quad, guides);
            for (size_t p = 0; p < paths.size(); ++p) {
                SCOPED_TRACE(std::string(quad.name) + (guides ? ", guides on" : ", guides off") +
                             (paths[p].split ? ", split" : "") + (paths[p].fitted ? ", fitted" : ""));
                std::string first;
                EXPECT_EQ(CountDifferences(expected, shortcuts[p]->Render(quad, guides), &first), 0u)
                    << "first at " << first;
            }
            if (guides && !host.scissor) {
                EXPECT_GT(CountDifferences(expected, withoutGuides), 0u) << quad.name << ": no guides";
            }
            withoutGuides = expected;
        }
    }
}

TEST_F(TessivarDrawPaths, AwkwardQuadrilateralsDrawExactlyWhatTheFullScreenDrawDraws) {
    const float huge = FLT_MAX, inf = INFINITY;
    const std::vector<Quad> quads = {
        {"the benchmark's", {0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f}},
        {"points at the corners", {0, 0, 1, 0, 1, 1, 0, 1}},
        {"mirrored (1 and 2 exchanged)", {0.9f, 0.1f, 0.1f, 0.15f, 0.2f, 0.9f, 0.85f, 0.8f}},
        {"crossed (3 and 4 exchanged)", {0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f, 0.9f, 0.9f}},
        {"crossed, lobes out to the edges", {0.3f, 0.2f, 0.75f, 0.8f, 0.7f, 0.25f, 0.2f, 0.7f}},
        {"concave", {0.1f, 0.1f, 0.9f, 0.5f, 0.1f, 0.9f, 0.45f, 0.5f}},
        {"three nearly on a line", {0.1f, 0.5f, 0.5f, 0.502f, 0.9f, 0.5f, 0.5f, 0.9f}},
        {"a sliver", {0.1f, 0.5f, 0.9f, 0.5f, 0.9f, 0.5008f, 0.1f, 0.5008f}},
        {"under a pixel", {0.5f, 0.5f, 0.5006f, 0.5f, 0.5006f, 0.5011f, 0.5f, 0.5011f}},
        {"exact parallelogram", {0.25f, 0.25f, 0.75f, 0.375f, 0.875f, 0.875f, 0.375f, 0.75f}},
        {"three on a line (degenerate)", {0, 0, 1, 0, 0.5f, 0, 0, 1}},
        {"all points together", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
        {"points outside the canvas", {-0.5f, -0.2f, 1.5f, 0.1f, 1.2f, 1.7f, -0.3f, 0.9f}},
        {"extreme values", {-huge, 0.3f, huge, 0.2f, inf, 1e30f, -inf, 0.8f}},
    };
    const Host hosts[] = {
        {"premultiplied blending", 641, 367, {0, 0, 641, 367}},
        {"no blending, alpha masked", 641, 367, {0, 0, 641, 367}, Blend::None, false, {}, true},
        {"additive blending, scissor box through the frame",
         400,
         300,
         {37, 21, 400, 300},
         Blend::Additive,
         true,
         {60, 10, 300, 250}},
        {"multiplying blending (drawn everywhere)", 641, 367, {0, 0, 641, 367}, Blend::Multiply},
    };
    for (const Host& host : hosts) CompareAllPaths(host, quads);
    // Edges through pixel centres, exactly: which side a centre falls on is
    // the renderer's rounding.
    const float l = 10.5f / 256, r = 200.5f / 256, t = 20.5f / 128, b = 100.5f / 128;
    CompareAllPaths({"edges through pixel centres", 256, 128, {0, 0, 256, 128}, Blend::None},
                    {{"a rectangle", {l, t, r, t, r, b, l, b}}, {"a trapezoid", {l, t, r, t, r, b, 0.02f, b}}});
}

TEST_F(TessivarDrawPaths, HostFramesDrawExactlyWhatTheFullScreenDrawDraws) {
    const std::vector<Quad> quads = {
        {"points inside", {0.2f, 0.15f, 0.85f, 0.1f, 0.9f, 0.8f, 0.1f, 0.9f}},
        {"points off to the left, markers overlapping", {0.0f, 0.3f, 0.05f, 0.32f, 0.06f, 0.5f, 0.01f, 0.45f}},
    };
    const Host hosts[] = {
        {"viewport away from the origin", 400, 300, {37, 21, 400, 300}},
        {"viewport hanging off the bottom-left", 400, 300, {-37, -50, 400, 300}, Blend::None},
        {"GL viewport other than the instance's (no FF_RESIZE)", 400, 300, {5, 9, 523, 211}, Blend::None},
        {"host scissor box through two markers", 641, 367, {0, 0, 641, 367}, Blend::Over, true, {30, 40, 500, 300}},
        {"scissor box outside the viewport", 200, 100, {0, 0, 200, 100}, Blend::None, true, {300, 0, 20, 20}},
        {"viewport too small for labels", 50, 40, {0, 0, 50, 40}},
        {"padded input", 400, 300, {0, 0, 400, 300}, Blend::None, false, {}, false, Host::Padded},
        {"input cropped by the fit", 400, 300, {0, 0, 400, 300}, Blend::Over, false, {}, false, Host::Cropped},
    };
    for (const Host& host : hosts) CompareAllPaths(host, quads);
}

}  // namespace
}  // namespace effecttest
