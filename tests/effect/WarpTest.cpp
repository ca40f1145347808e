// The Tessivar module through a host's eyes: values it accepts, warp pixels
// against the CPU reference, and the numbered guide markers.
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace effecttest {
namespace {

class TessivarWarp : public GLTest {};
class TessivarGuides : public GLTest {};

// A few 1/255 steps: llvmpipe filters with reduced-precision weights.
constexpr int kTolerance = 3;

TEST_F(TessivarWarp, InstancesStartAtTheDefaultsAndClampWhatTheyAreGiven) {
    const float defaults[11] = {0, 0, 1, 0, 1, 1, 0, 1, 1, 1, 1};
    PluginHost host(Tessivar(), 320, 180), other(Tessivar(), 320, 180);
    ASSERT_TRUE(host.Ok() && other.Ok());
    EXPECT_NE(host.Instance(), other.Instance());
    const struct {
        uint32_t index;
        float value, expected;
    } cases[] = {{kPoint1X, -0.2f, 0}, {kPoint1X, 1.7f, 1},    {kShowGuides, 3, 1}, {kInputAspect, 0.05f, 0.1f},
                 {kInputAspect, 9, 4}, {kPoint2X, 0.4f, 0.4f}, {kPoint2X, 1, 1}};  // before a fit, 1 is a value
    for (const auto& c : cases) {
        host.Set(c.index, c.value);
        EXPECT_FLOAT_EQ(host.Get(c.index), c.expected) << c.index << " set to " << c.value;
    }
    // No parameter 11; NaN cannot be clamped: refused, and the value stays.
    EXPECT_EQ(Tessivar().SetFloat(host.Instance(), 11, 0.5f), kFail);
    EXPECT_EQ(Tessivar().SetFloat(host.Instance(), kPoint2X, std::nanf("")), kFail);
    EXPECT_EQ(Tessivar().SetFloat(host.Instance(), kInputAspect, std::nanf("")), kFail);
    EXPECT_EQ(host.Get(kPoint2X), 1.0f);
    EXPECT_FLOAT_EQ(host.Get(kInputAspect), 4.0f);
    for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(other.Get(i), defaults[i]) << "the other instance, " << i;
}

TEST_F(TessivarWarp, IdentityWithGuidesOffReproducesTheInputExactly) {
    const tessivar::Image image = Gradient(1920, 1080);
    PluginHost host(Tessivar(), 1920, 1080);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    EXPECT_TRUE(host.Render(MakeInput(image)).rgba == image.rgba) << "stored alpha and all";
}

TEST_F(TessivarWarp, WarpsMatchTheReference) {
    // Padded inputs: 200 x 120 in a 256 x 256 texture padded with magenta,
    // magnified; the border pixels sample the image's last texels, where
    // filtering would reach into the padding, so they are compared too.
    const struct {
        const char* name;
        WarpSetup setup;
        uint32_t inW, inH, hwW, hwH;
        double margin;
    } cases[] = {
        {"general quadrilateral", {{0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f}}, 240, 135, 0, 0, 1.5},
        {"mirrored order", {{0.9f, 0.1f, 0.1f, 0.15f, 0.2f, 0.9f, 0.85f, 0.8f}}, 240, 135, 0, 0, 1.5},
        {"crossed order (3 and 4 exchanged)", {{0.1f, 0.1f, 0.9f, 0.1f, 0.1f, 0.9f, 0.9f, 0.9f}}, 240, 135, 0, 0, 1.5},
        {"padded, identity", {}, 200, 120, 256, 256, 0.02},
        {"padded, general", {{0.05f, 0.0f, 1.0f, 0.1f, 0.95f, 1.0f, 0.0f, 0.9f}}, 200, 120, 256, 256, 0.02},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tessivar::Image image = Gradient(c.inW, c.inH);
        const uint32_t w = 2 * c.inW, h = 2 * c.inH;  // the input's aspect: a fit keeps default points
        PluginHost host(Tessivar(), w, h);
        ASSERT_TRUE(host.Ok());
        host.Set(kShowGuides, 0.0f);
        host.SetPoints(c.setup.points);  // before the first frame: the fit leaves them
        int inside = 0;
        EXPECT_EQ(CompareWithReference(host.Render(MakeInput(image, c.hwW, c.hwH)), image, c.setup, kTolerance, &inside,
                                       c.margin),
                  0);
        EXPECT_GT(inside, int(w * h / 20)) << "too few pixels compared to mean anything";
    }
}

TEST_F(TessivarWarp, SourceCropStretchesTheVisiblePartOverTheQuadrilateral) {
    // Transparent bars of an eighth each side: the fit crops to the middle,
    // then the host moves the points.
    tessivar::Image image = Gradient(320, 180);
    ClearColumns(image, 40, 40);
    PluginHost host(Tessivar(), 320, 180);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    const tessivar::InputTexture input = MakeInput(image);
    host.Render(input);
    ASSERT_FLOAT_EQ(host.Get(kPoint1X), 0.125f);
    const WarpSetup setup{{0.05f, 0.1f, 0.95f, 0.05f, 0.9f, 0.9f, 0.1f, 0.95f}, {0.125f, 0.0f}, {0.875f, 1.0f}};
    host.SetPoints(setup.points);
    EXPECT_EQ(CompareWithReference(host.Render(input), image, setup, kTolerance), 0);
}

TEST_F(TessivarWarp, DegeneratePointsDrawNothingButTheGuides) {
    PluginHost host(Tessivar(), 320, 180);
    ASSERT_TRUE(host.Ok());
    const float together[8] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    host.SetPoints(together);
    const tessivar::Image out = host.Render(MakeInput(Solid(320, 180, 200, 200, 200, 255)));
    // All four markers on the centre; the last drawn (yellow, 4) is on top.
    const uint8_t* ring = out.At(160 + 17, 90);
    EXPECT_TRUE(ring[0] > 240 && ring[1] > 200 && ring[3] > 250) << int(ring[0]) << " " << int(ring[1]);
    for (uint32_t y = 0; y < 180; y += 7)
        for (uint32_t x = 0; x < 320; x += 7) {
            if (std::abs(int(x) - 160) < 40 && std::abs(int(y) - 90) < 40) continue;
            const uint8_t* p = out.At(x, y);
            ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << "pixel (" << x << ", " << y << ") away from the markers";
        }
}

TEST_F(TessivarWarp, RefusesFramesWithoutUsableInputAndLeavesTheTargetAlone) {
    PluginHost host(Tessivar(), 64, 36);
    ASSERT_TRUE(host.Ok());
    ProcessRecord none, nullFirst;
    nullFirst.AddNullInput();
    host.Fill(0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(host.Call(0), kFail);
    EXPECT_EQ(host.Call(none.Arg()), kFail);
    EXPECT_EQ(host.Call(nullFirst.Arg()), kFail);
    const tessivar::Image out = host.Output();
    for (size_t i = 0; i < out.rgba.size(); i += 4) ASSERT_EQ(out.rgba[i + 1], 128) << "pixel " << i / 4 << " drawn";
}

// ---- guides on a 1920 x 1080 target, over an opaque grey input -------------

constexpr uint32_t kW = 1920, kH = 1080;

struct Marker {
    float colour[3];
    int label[2];   // bubble centre for the default points, pixels
    int point[2];   // the frame corner
    int inward[2];  // unit step from the corner towards the frame centre
    bool darkInk;
};

const Marker kMarkers[4] = {
    {{1.000f, 0.231f, 0.188f}, {28, 28}, {0, 0}, {1, 1}, false},
    {{0.204f, 0.780f, 0.349f}, {1892, 28}, {1920, 0}, {-1, 1}, false},
    {{0.039f, 0.518f, 1.000f}, {1892, 1052}, {1920, 1080}, {-1, -1}, false},
    {{1.000f, 0.839f, 0.039f}, {28, 1052}, {0, 1080}, {1, -1}, true},
};

// What a pixel shows: `colour` with coverage `alpha` over the grey input.
void ExpectPixel(const tessivar::Image& image, int x, int y, const float colour[3], float alpha, const char* what) {
    float expected[4] = {0, 0, 0, 255};
    for (int c = 0; c < 3; ++c) expected[c] = colour[c] * 255.0f * alpha + 128.0f * (1.0f - alpha);
    const uint8_t* p = image.At(uint32_t(x), uint32_t(y));
    EXPECT_LE(PixelDiff(p, expected), kTolerance) << what << " at (" << x << ", " << y << "): " << int(p[0]) << " "
                                                  << int(p[1]) << " " << int(p[2]) << " " << int(p[3]);
}

TEST_F(TessivarGuides, DefaultMarkersSitInTheCornersWithTheirConnectors) {
    PluginHost host(Tessivar(), kW, kH);
    ASSERT_TRUE(host.Ok());
    const tessivar::Image out = host.Render(MakeInput(Solid(kW, kH, 128, 128, 128, 255)));
    const float white[3] = {1, 1, 1}, nearBlack[3] = {0.02f, 0.02f, 0.02f};
    for (int m = 0; m < 4; ++m) {
        const Marker& k = kMarkers[m];
        SCOPED_TRACE("marker " + std::to_string(m + 1));
        const int lx = k.label[0], ly = k.label[1], ix = k.inward[0], iy = k.inward[1];
        // Ring-free interior 17 pixels from the centre, clear of digit and
        // connector; just outside the bubble, the input.
        for (const auto& d : {std::pair{17, 0}, {0, 17}, {-17, 0}, {13, -13}})
            ExpectPixel(out, lx + d.first * ix, ly + d.second * iy, k.colour, 0.96f, "bubble interior");
        ExpectPixel(out, lx + 30 * ix, ly, k.colour, 0, "outside the bubble");
        ExpectPixel(out, lx, ly + 30 * iy, k.colour, 0, "outside the bubble");
        ExpectPixel(out, lx, ly, k.darkInk ? nearBlack : white, 1, "digit ink");
        // The anchor dot on the corner, the connector from it, and beside it the input.
        const int px = k.point[0] - (ix < 0 ? 1 : 0), py = k.point[1] - (iy < 0 ? 1 : 0);
        ExpectPixel(out, px + ix, py + iy, k.colour, 1, "anchor dot");
        ExpectPixel(out, px + 6 * ix, py + 6 * iy, k.colour, 0.75f, "connector");
        ExpectPixel(out, px + 9 * ix, py + 3 * iy, k.colour, 0, "beside the connector");
    }
}

}  // namespace
}  // namespace effecttest
