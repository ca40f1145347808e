// The warp's region as rectangles, where the GL comparisons cannot steer it:
// a matrix no four points in 0..1 produce, at the shader's depth floor.
#include "effect/WarpRegion.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tessivar::PixelRect;

// s times the identity: z = s everywhere, the unit square fills the viewport.
std::vector<PixelRect> Cover(float s, const int viewport[4], const PixelRect& area) {
    const float inverse[9] = {s, 0, 0, 0, s, 0, 0, 0, s};
    std::vector<PixelRect> rects(3, PixelRect{1, 2, 3, 4});  // stale contents must go
    EXPECT_TRUE(tessivar::warpCover(inverse, viewport, area, rects));
    return rects;
}

TEST(WarpRegion, AFilledViewportIsOneRectangleAndTheDepthFloorIsTheShaders) {
    // Bands from negative rows up, merged into the area (viewport within a scissor box).
    const int viewport[4] = {-37, -70, 400, 300};
    const PixelRect area{-37, -70, 300, 200};
    const std::vector<PixelRect> whole = Cover(1.01e-7f, viewport, area);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].x0 == area.x0 && whole[0].y0 == area.y0 && whole[0].x1 == area.x1 && whole[0].y1 == area.y1);
    // The shader draws nothing where |z| < 1e-7.
    EXPECT_TRUE(Cover(0.98e-7f, viewport, area).empty());
    EXPECT_TRUE(Cover(0.0f, viewport, area).empty());
}

}  // namespace
