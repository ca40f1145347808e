// The effect's GL-free math without a context, where the GL comparisons
// cannot steer it or would let a fault pass unseen: degenerate quadrilaterals,
// markers at and beyond the edges of the area, a fully transparent input, a
// matrix no four points in 0..1 produce.
#include "effect/AlphaBounds.h"
#include "effect/GuideRegions.h"
#include "effect/Homography.h"
#include "effect/WarpRegion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using tessivar::NormRect;
using tessivar::PixelRect;

// ---- the inverse homography ----------------------------------------------------

// Where the column-major inverse takes a canvas position, divided through.
void apply(const float f[9], double x, double y, double& u, double& v) {
    double m[9];
    std::copy(f, f + 9, m);
    const double px = m[0] * x + m[3] * y + m[6], py = m[1] * x + m[4] * y + m[7], pz = m[2] * x + m[5] * y + m[8];
    u = px / pz;
    v = py / pz;
}

// Each point goes back to its corner of the unit square, for a perspective
// quadrilateral, a mirrored one and a crossed one alike.
TEST(Homography, EveryPointGoesBackToItsCornerOfTheSquare) {
    const float quads[][8] = {
        {0.1f, 0.2f, 0.8f, 0.1f, 0.9f, 0.95f, 0.05f, 0.7f},  // perspective
        {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f},    // mirrored
        {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f},    // crossed
    };
    const double corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& q : quads) {
        float m[9];
        ASSERT_TRUE(tessivar::InverseHomography(q, m));
        for (int c = 0; c < 4; ++c) {
            double u = 0, v = 0;
            apply(m, double(q[2 * c]), double(q[2 * c + 1]), u, v);
            EXPECT_NEAR(u, corners[c][0], 1e-5) << "point " << c + 1;
            EXPECT_NEAR(v, corners[c][1], 1e-5) << "point " << c + 1;
        }
    }
}

// Points that collapse the map give no matrix and leave the output alone:
// all together (the determinant), two on one spot (the perspective terms),
// three on a line with the fourth off it (the determinant again).
TEST(Homography, DegenerateQuadrilateralsAnswerFalseAndWriteNothing) {
    const float degenerate[][8] = {
        {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
        {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f},
        {0.0f, 0.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.0f, 1.0f},
    };
    for (const auto& q : degenerate) {
        float m[9];
        std::fill(m, m + 9, 7.0f);
        EXPECT_FALSE(tessivar::InverseHomography(q, m)) << q[4] << " " << q[5] << " " << q[6] << " " << q[7];
        for (float v : m) EXPECT_EQ(v, 7.0f);
    }
}

// ---- the split into guide and warp pieces ------------------------------------------

// Checks a plan pixel by pixel: every pixel of the area in exactly one piece,
// marked for guides exactly where some marker covers it.
void expectExactCover(const PixelRect& area, const std::vector<PixelRect>& markers, const tessivar::SplitPlan& plan) {
    for (int i = 0; i < plan.count; ++i) {
        const PixelRect& p = plan.pieces[i];
        EXPECT_FALSE(p.Empty()) << "piece " << i;
        EXPECT_TRUE(p.x0 >= area.x0 && p.y0 >= area.y0 && p.x1 <= area.x1 && p.y1 <= area.y1) << "piece " << i;
    }
    int wrong = 0;
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x) {
            int covering = 0, piece = -1;
            for (int i = 0; i < plan.count; ++i) {
                const PixelRect& p = plan.pieces[i];
                if (x >= p.x0 && x < p.x1 && y >= p.y0 && y < p.y1) ++covering, piece = i;
            }
            bool marked = false;
            for (const PixelRect& m : markers) marked |= x >= m.x0 && x < m.x1 && y >= m.y0 && y < m.y1;
            if (covering != 1 || plan.guides[piece] != marked) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(SplitArea, PiecesCoverTheAreaOnceWithGuidesExactlyOverTheMarkers) {
    const PixelRect area{-20, 10, 140, 110};  // a viewport left of the window's origin
    const std::vector<std::vector<PixelRect>> cases = {
        {},                                        // no markers: one piece
        {{-40, 0, -21, 200}},                      // beyond the area entirely
        {{-30, 0, 10, 30}, {130, 100, 200, 300}},  // over two corners and past the edges
        {{-20, 10, 140, 110}},                     // the whole area
        {{0, 20, 40, 60}, {30, 50, 70, 90}, {60, 20, 100, 60}, {0, 80, 140, 110}},     // overlapping, edge to edge
        {{10, 10, 20, 110}, {30, 10, 40, 110}, {50, 10, 60, 110}, {70, 10, 80, 110}},  // columns: cut across
    };
    for (const auto& markers : cases) {
        SCOPED_TRACE(markers.size());
        tessivar::SplitPlan plan;
        tessivar::SplitArea(area, markers.data(), int(markers.size()), plan);
        ASSERT_LE(plan.count, tessivar::SplitPlan::kCapacity);
        expectExactCover(area, markers, plan);
    }
    tessivar::SplitPlan none;
    tessivar::SplitArea(area, nullptr, 0, none);
    EXPECT_EQ(none.count, 1);
    tessivar::SplitArea(PixelRect{5, 5, 5, 9}, nullptr, 0, none);
    EXPECT_EQ(none.count, 0) << "an empty area has no pieces";
}

// ---- the opaque box --------------------------------------------------------------

std::vector<uint8_t> transparent(int width, int height) { return std::vector<uint8_t>(size_t(width) * height * 4, 0); }
void setRed(std::vector<uint8_t>& rgba, int width, int x, int y, uint8_t value) {
    rgba[(size_t(y) * width + x) * 4] = value;
}

TEST(OpaqueBox, FindsTheBoxToTheEdgesAndNothingInATransparentInput) {
    const int w = 256, h = 256, threshold = 12;
    tessivar::OpaqueBox box{-5, -5, -5, -5};
    std::vector<uint8_t> rgba = transparent(w, h);
    setRed(rgba, w, 40, 50, threshold);  // at the threshold: not opaque
    EXPECT_FALSE(tessivar::FindOpaqueBox(rgba.data(), w, h, threshold, box));
    EXPECT_EQ(box.minX, -5) << "a failed search leaves the box alone";

    setRed(rgba, w, 10, 20, threshold + 1);  // one pixel past it
    ASSERT_TRUE(tessivar::FindOpaqueBox(rgba.data(), w, h, threshold, box));
    EXPECT_TRUE(box.minX == 10 && box.maxX == 10 && box.minY == 20 && box.maxY == 20);
    // Its rectangle, edges enclosing the pixel, y flipped to the points' convention.
    const NormRect r = tessivar::BoxRect(box, w, h);
    EXPECT_FLOAT_EQ(r.left, 0.0390625f);
    EXPECT_FLOAT_EQ(r.top, 0.91796875f);
    EXPECT_FLOAT_EQ(r.right, 0.04296875f);
    EXPECT_FLOAT_EQ(r.bottom, 0.921875f);

    // The first and last columns and rows, found from either end of a row.
    setRed(rgba, w, 0, 0, 255);
    setRed(rgba, w, w - 1, h - 1, 255);
    ASSERT_TRUE(tessivar::FindOpaqueBox(rgba.data(), w, h, threshold, box));
    EXPECT_TRUE(box.minX == 0 && box.maxX == w - 1 && box.minY == 0 && box.maxY == h - 1);
    const NormRect whole = tessivar::BoxRect(box, w, h);
    EXPECT_TRUE(whole.left == 0.0f && whole.top == 0.0f && whole.right == 1.0f && whole.bottom == 1.0f);
}

// ---- the warp's region ------------------------------------------------------------

// s times the identity: z = s everywhere, the unit square fills the viewport.
std::vector<PixelRect> cover(float s, const int viewport[4], const PixelRect& area) {
    const float inverse[9] = {s, 0, 0, 0, s, 0, 0, 0, s};
    std::vector<PixelRect> rects(3, PixelRect{1, 2, 3, 4});  // stale contents must go
    EXPECT_TRUE(tessivar::WarpCover(inverse, viewport, area, rects));
    return rects;
}

TEST(WarpRegion, AFilledViewportIsOneRectangleAndTheDepthFloorIsTheShaders) {
    // Bands from negative rows up, merged into the area (viewport within a scissor box).
    const int viewport[4] = {-37, -70, 400, 300};
    const PixelRect area{-37, -70, 300, 200};
    const std::vector<PixelRect> whole = cover(1.01e-7f, viewport, area);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].x0 == area.x0 && whole[0].y0 == area.y0 && whole[0].x1 == area.x1 && whole[0].y1 == area.y1);
    // The shader draws nothing where |z| < 1e-7.
    EXPECT_TRUE(cover(0.98e-7f, viewport, area).empty());
    EXPECT_TRUE(cover(0.0f, viewport, area).empty());
}

}  // namespace
