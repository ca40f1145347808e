// Warp pixels through the host's eyes, against the CPU reference.
#include "tests/effect/EffectHost.h"
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

namespace effecttest {
namespace {

class TessivarWarp : public testhost::GLTest {};

// A few 1/255 steps: llvmpipe filters with reduced-precision weights.
constexpr int kTolerance = 3;

// Renders `image` through the given points with guides off and compares the
// output with the reference. Points are set before the first frame, so the
// auto-fit leaves them alone (or, at the defaults, confirms them).
void ExpectWarp(const tessivar::Image& image, const WarpSetup& setup, uint32_t outW, uint32_t outH,
                uint32_t hwW = 0, uint32_t hwH = 0, double margin = 1.5) {
    EffectHost host(outW, outH);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    host.SetPoints(setup.points);
    tessivar::InputTexture input = MakeInput(image, hwW, hwH);
    const tessivar::Image out = host.Render(input);

    ReferenceWarp reference(image, setup, outW, outH);
    int inside = 0;
    EXPECT_EQ(CompareWithReference(out, reference, kTolerance, &inside, margin), 0);
    EXPECT_GT(inside, int(outW * outH / 20)) << "too few pixels compared to mean anything";
}

TEST_F(TessivarWarp, IdentityWithGuidesOffReproducesTheInput) {
    const tessivar::Image image = Gradient(1920, 1080);
    EffectHost host(1920, 1080);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    tessivar::InputTexture input = MakeInput(image);
    const tessivar::Image out = host.Render(input);
    int worst = 0;
    for (size_t i = 0; i < out.rgba.size(); ++i) worst = std::max(worst, std::abs(out.rgba[i] - image.rgba[i]));
    EXPECT_EQ(worst, 0) << "identity should be the input exactly, stored alpha and all";
}

TEST_F(TessivarWarp, WarpsMatchTheReference) {
    const tessivar::Image image = Gradient(240, 135);
    const struct {
        const char* name;
        WarpSetup setup;
    } cases[] = {
        {"general quadrilateral", {{0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f}}},
        {"strong perspective", {{0.3f, 0.1f, 0.7f, 0.1f, 1.0f, 0.9f, 0.0f, 0.9f}}},
        {"mirrored order", {{0.9f, 0.1f, 0.1f, 0.15f, 0.2f, 0.9f, 0.85f, 0.8f}}},
        {"crossed order (3 and 4 exchanged)", {{0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f, 0.9f, 0.9f}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectWarp(image, c.setup, 480, 270);
    }
}

TEST_F(TessivarWarp, PaddedTextureNeverShowsItsPadding) {
    // 200 x 120 in a 256 x 256 texture padded with opaque magenta, magnified
    // over twice its size. The pixels along the border sample the image's
    // last texels, where filtering would reach into the padding, so they are
    // compared too (margin of a fiftieth of a pixel).
    const tessivar::Image image = Gradient(200, 120);
    WarpSetup identity;
    ExpectWarp(image, identity, 500, 300, 256, 256, 0.02);
    ExpectWarp(image, {{0.05f, 0.0f, 1.0f, 0.1f, 0.95f, 1.0f, 0.0f, 0.9f}}, 500, 300, 256, 256, 0.02);
}

TEST_F(TessivarWarp, SourceCropStretchesTheVisiblePartOverTheQuadrilateral) {
    // Transparent bars of an eighth on each side: the auto-fit crops to the
    // opaque middle, then the host moves the points.
    tessivar::Image image = Gradient(320, 180);
    ClearColumns(image, 40, 40);
    EffectHost host(320, 180);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    tessivar::InputTexture input = MakeInput(image);
    host.Process(input);
    ASSERT_FLOAT_EQ(host.Get(kPoint1X), 0.125f);

    WarpSetup setup{{0.05f, 0.1f, 0.95f, 0.05f, 0.9f, 0.9f, 0.1f, 0.95f}, {0.125f, 0.0f}, {0.875f, 1.0f}};
    host.SetPoints(setup.points);
    const tessivar::Image out = host.Render(input);
    ReferenceWarp reference(image, setup, 320, 180);
    EXPECT_EQ(CompareWithReference(out, reference, kTolerance), 0);
}

TEST_F(TessivarWarp, DegeneratePointsDrawNothingButTheGuides) {
    EffectHost host(320, 180);
    ASSERT_TRUE(host.Ok());
    const float together[8] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    host.SetPoints(together);
    tessivar::InputTexture input = MakeInput(Solid(320, 180, 200, 200, 200, 255));
    const tessivar::Image out = host.Render(input);

    // All four markers sit on the centre; the last drawn (yellow, 4) is on top.
    const uint8_t* centreRing = out.At(160 + 17, 90);
    EXPECT_GT(centreRing[3], 250);
    EXPECT_GT(centreRing[0], 240);
    EXPECT_GT(centreRing[1], 200);
    // Away from the markers: transparent black, no trace of the input.
    for (uint32_t y = 0; y < 180; y += 7)
        for (uint32_t x = 0; x < 320; x += 7) {
            if (std::abs(int(x) - 160) < 40 && std::abs(int(y) - 90) < 40) continue;
            const uint8_t* p = out.At(x, y);
            ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << "pixel (" << x << ", " << y << ")";
        }
}

TEST_F(TessivarWarp, RefusesFramesWithoutUsableInputAndLeavesTheTargetAlone) {
    EffectHost host(64, 36);
    ASSERT_TRUE(host.Ok());
    testhost::ProcessRecord none;
    testhost::ProcessRecord nullFirst;
    nullFirst.AddNullInput();
    host.Fill(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(host.ProcessRaw(0), testhost::kFail);
    EXPECT_EQ(host.ProcessRaw(none.Arg()), testhost::kFail);
    EXPECT_EQ(host.ProcessRaw(nullFirst.Arg()), testhost::kFail);
    const tessivar::Image out = host.Output();
    for (size_t i = 0; i < out.rgba.size(); i += 4)
        ASSERT_EQ(out.rgba[i + 1], 128) << "pixel " << i / 4 << " was drawn over";
}

}  // namespace
}  // namespace effecttest
