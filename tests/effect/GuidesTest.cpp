// The numbered guide markers, read back from a 1920 x 1080 host target.
#include "tests/effect/EffectHost.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace effecttest {
namespace {

class TessivarGuides : public testhost::GLTest {};

constexpr uint32_t kW = 1920, kH = 1080;
constexpr float kGrey = 128.0f;  // the opaque input every marker is drawn over
constexpr int kTolerance = 3;

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

// Marker colour with coverage `alpha` over the opaque grey input.
void Over(const float colour[3], float alpha, float out[4]) {
    for (int c = 0; c < 3; ++c) out[c] = colour[c] * 255.0f * alpha + kGrey * (1.0f - alpha);
    out[3] = 255.0f;
}

void ExpectPixel(const tessivar::Image& image, int x, int y, const float expected[4], const char* what) {
    const uint8_t* p = image.At(uint32_t(x), uint32_t(y));
    EXPECT_LE(PixelDiff(p, expected), kTolerance)
        << what << " at (" << x << ", " << y << "): " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]) << " "
        << int(p[3]) << ", expected " << expected[0] << " " << expected[1] << " " << expected[2] << " "
        << expected[3];
}

TEST_F(TessivarGuides, DefaultMarkersSitInTheCornersWithTheirConnectors) {
    EffectHost host(kW, kH);
    ASSERT_TRUE(host.Ok());
    tessivar::InputTexture input = MakeInput(Solid(kW, kH, 128, 128, 128, 255));
    const tessivar::Image out = host.Render(input);
    const float grey[4] = {kGrey, kGrey, kGrey, 255.0f};

    for (int m = 0; m < 4; ++m) {
        const Marker& k = kMarkers[m];
        SCOPED_TRACE("marker " + std::to_string(m + 1));
        const int lx = k.label[0], ly = k.label[1];
        const int ix = k.inward[0], iy = k.inward[1];
        float expected[4];

        // Ring-free interior, 17 pixels from the centre in four directions,
        // clear of the digit and of the connector.
        Over(k.colour, 0.96f, expected);
        ExpectPixel(out, lx + 17 * ix, ly, expected, "bubble interior");
        ExpectPixel(out, lx, ly + 17 * iy, expected, "bubble interior");
        ExpectPixel(out, lx - 17 * ix, ly, expected, "bubble interior");
        ExpectPixel(out, lx + 13 * ix, ly - 13 * iy, expected, "bubble interior");
        // Just outside the bubble towards the frame centre: the input.
        ExpectPixel(out, lx + 30 * ix, ly, grey, "outside the bubble");
        ExpectPixel(out, lx, ly + 30 * iy, grey, "outside the bubble");

        // The digit's stroke through the centre: white ink, near-black on yellow.
        const float ink = k.darkInk ? 0.02f * 255.0f : 255.0f;
        const float inkPixel[4] = {ink, ink, ink, 255.0f};
        ExpectPixel(out, lx, ly, inkPixel, "digit ink");

        // The anchor dot on the exact corner, and the connector from it
        // towards the bubble; beside the connector, the input.
        const int px = k.point[0] - (ix < 0 ? 1 : 0), py = k.point[1] - (iy < 0 ? 1 : 0);
        Over(k.colour, 1.0f, expected);
        ExpectPixel(out, px + 1 * ix, py + 1 * iy, expected, "anchor dot");
        Over(k.colour, 0.75f, expected);
        ExpectPixel(out, px + 6 * ix, py + 6 * iy, expected, "connector");
        ExpectPixel(out, px + 9 * ix, py + 3 * iy, grey, "beside the connector");
    }
}

TEST_F(TessivarGuides, MarkerOnAPointWellInsideHasNoConnectorAndDisturbsNothingElse) {
    // Point 1 100 pixels inside both edges: the bubble's centre is the point
    // itself and the connector has zero length.
    const float points[8] = {100.0f / kW, 100.0f / kH, 1, 0, 1, 1, 0, 1};
    tessivar::InputTexture input = MakeInput(Solid(kW, kH, 128, 128, 128, 255));

    EffectHost plain(kW, kH);
    ASSERT_TRUE(plain.Ok());
    plain.Set(kShowGuides, 0.0f);
    plain.SetPoints(points);
    const tessivar::Image without = plain.Render(input);

    EffectHost host(kW, kH);
    ASSERT_TRUE(host.Ok());
    host.SetPoints(points);
    const tessivar::Image with = host.Render(input);

    float expected[4];
    Over(kMarkers[0].colour, 0.96f, expected);
    ExpectPixel(with, 117, 100, expected, "bubble interior");
    ExpectPixel(with, 100, 117, expected, "bubble interior");
    const float white[4] = {255, 255, 255, 255};
    ExpectPixel(with, 100, 100, white, "digit ink");

    // Everywhere outside the four bubbles and dots the guides change nothing:
    // no connector towards the corner and no undefined value anywhere.
    const int centres[5][2] = {{100, 100}, {1892, 28}, {1892, 1052}, {28, 1052}, {0, 1080}};
    int changed = 0;
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            bool nearMarker = false;
            for (const auto& c : centres) nearMarker |= std::hypot(x + 0.5 - c[0], y + 0.5 - c[1]) < 45.0;
            if (nearMarker) continue;
            if (std::memcmp(with.At(x, y), without.At(x, y), 4) != 0 && ++changed <= 5)
                ADD_FAILURE() << "guides changed pixel (" << x << ", " << y << ")";
        }
    EXPECT_EQ(changed, 0);
}

}  // namespace
}  // namespace effecttest
