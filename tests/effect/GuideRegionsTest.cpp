// The cut of the frame into guide and warp-only rectangles, and the opaque
// scan of the auto-fit, checked pixel by pixel against their plain rules.
#include "effect/AlphaBounds.h"
#include "effect/GuideRegions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using tessivar::PixelRect;

bool Contains(const PixelRect& r, int x, int y) { return x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1; }

// Every pixel of the area lies in exactly one piece, a guide piece exactly
// when some marker covers it; no piece reaches outside the area.
void ExpectExactCut(const PixelRect& area, const PixelRect* markers, int count) {
    tessivar::SplitPlan plan;
    tessivar::splitArea(area, markers, count, plan);
    for (int i = 0; i < plan.count; ++i) {
        const PixelRect& p = plan.pieces[i];
        ASSERT_FALSE(p.Empty()) << "piece " << i;
        ASSERT_TRUE(p.x0 >= area.x0 && p.y0 >= area.y0 && p.x1 <= area.x1 && p.y1 <= area.y1) << "piece " << i;
    }
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x) {
            int hits = 0, piece = -1;
            for (int i = 0; i < plan.count; ++i)
                if (Contains(plan.pieces[i], x, y)) ++hits, piece = i;
            ASSERT_EQ(hits, 1) << "pixel (" << x << ", " << y << ")";
            bool covered = false;
            for (int m = 0; m < count; ++m) covered |= Contains(markers[m], x, y);
            ASSERT_EQ(plan.guides[piece], covered) << "pixel (" << x << ", " << y << ")";
        }
}

TEST(GuideRegions, CutCoversTheAreaOnceWithGuidesExactlyOverTheMarkers) {
    const PixelRect area{-3, 2, 61, 45};
    const struct {
        const char* name;
        int count;
        PixelRect markers[4];
    } cases[] = {
        {"no markers", 0, {}},
        {"four corners, cut by the area", 4, {{-9, -9, 8, 8}, {50, -9, 70, 8}, {50, 40, 70, 60}, {-9, 40, 8, 60}}},
        {"all the same", 4, {{7, 7, 17, 17}, {7, 7, 17, 17}, {7, 7, 17, 17}, {7, 7, 17, 17}}},
        {"covering everything", 2, {{-50, -50, 100, 100}, {0, 0, 5, 5}}},
        {"outside and empty", 2, {{100, 100, 120, 120}, {10, 10, 10, 30}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectExactCut(area, c.markers, c.count);
    }

    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-10, 70);
    for (int round = 0; round < 200; ++round) {
        PixelRect markers[4];
        for (PixelRect& m : markers) {
            const int xa = coordinate(random), xb = coordinate(random), ya = coordinate(random), yb = coordinate(random);
            m = {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
        }
        SCOPED_TRACE("random round " + std::to_string(round));
        ExpectExactCut(area, markers, 4);
        if (HasFatalFailure()) return;
    }
    tessivar::SplitPlan plan;
    tessivar::splitArea({5, 5, 5, 40}, nullptr, 0, plan);
    EXPECT_EQ(plan.count, 0) << "an empty area has no pieces";
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(px - ax - dx * t, py - ay - dy * t);
}

TEST(GuideRegions, MarkerRectanglesHoldEveryPixelAMarkerCanTouch) {
    const struct {
        const char* name;
        float points[8];
        float resolution[2];
        int viewport[4];
    } cases[] = {
        {"corners", {0, 0, 1, 0, 1, 1, 0, 1}, {200, 120}, {0, 0, 200, 120}},
        {"inside, viewport offset", {0.3f, 0.2f, 0.7f, 0.3f, 0.6f, 0.8f, 0.2f, 0.9f}, {200, 120}, {13, 7, 200, 120}},
        {"edges, viewport stretched", {0.5f, 0, 1, 0.5f, 0.5f, 1, 0, 0.5f}, {200, 120}, {-4, 3, 311, 97}},
        {"labels at the minimum size", {0, 0, 1, 0, 1, 1, 0, 1}, {56, 56}, {0, 0, 56, 56}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PixelRect rects[4];
        ASSERT_TRUE(tessivar::markerRects(c.points, c.resolution, c.viewport, rects));
        const double resW = double(c.resolution[0]), resH = double(c.resolution[1]);
        for (int y = c.viewport[1]; y < c.viewport[1] + c.viewport[3]; ++y)
            for (int x = c.viewport[0]; x < c.viewport[0] + c.viewport[2]; ++x) {
                // The pixel's position in marker space, as the shader sees it.
                const double u = (x + 0.5 - c.viewport[0]) / c.viewport[2];
                const double v = 1.0 - (y + 0.5 - c.viewport[1]) / c.viewport[3];
                const double px = u * resW, py = v * resH;
                for (int m = 0; m < 4; ++m) {
                    const double ax = double(c.points[2 * m]) * resW, ay = double(c.points[2 * m + 1]) * resH;
                    const double lx = std::clamp(ax, 28.0, resW - 28.0), ly = std::clamp(ay, 28.0, resH - 28.0);
                    const bool touched = std::hypot(px - lx, py - ly) < 27.0 || std::hypot(px - ax, py - ay) < 6.5 ||
                                         SegmentDistance(px, py, ax, ay, lx, ly) < 2.2;
                    if (touched) {
                        ASSERT_TRUE(Contains(rects[m], x, y)) << "marker " << m + 1 << " at (" << x << ", " << y << ")";
                    }
                }
            }
    }

    const float points[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    const float small[2] = {55, 300}, usual[2] = {300, 300};
    const int viewport[4] = {0, 0, 300, 300}, empty[4] = {0, 0, 0, 300};
    PixelRect rects[4];
    EXPECT_FALSE(tessivar::markerRects(points, small, viewport, rects)) << "no room to pull the labels inside";
    EXPECT_FALSE(tessivar::markerRects(points, usual, empty, rects)) << "an empty viewport";
}

// The plain rule: every pixel, first byte above the threshold.
bool NaiveBox(const std::vector<uint8_t>& rgba, int w, int h, int threshold, tessivar::OpaqueBox& box) {
    box = {w, h, -1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (rgba[size_t(y * w + x) * 4] > threshold) {
                box.minX = std::min(box.minX, x), box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y), box.maxY = std::max(box.maxY, y);
            }
    return box.maxX >= 0;
}

TEST(OpaqueScan, FindsWhatAPixelByPixelScanFinds) {
    constexpr int w = 37, h = 23;
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        // Mostly at or just below the threshold, with the other channels high
        // (they must be ignored), and a few opaque pixels at random.
        std::vector<uint8_t> rgba(size_t(w) * h * 4, 255);
        for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = uint8_t(random() % 13);
        const int opaque = int(random() % 4);
        for (int k = 0; k < opaque; ++k) rgba[size_t(random() % (w * h)) * 4] = uint8_t(13 + random() % 243);
        tessivar::OpaqueBox expected{}, found{-7, -7, -7, -7};
        const bool any = NaiveBox(rgba, w, h, 12, expected);
        ASSERT_EQ(tessivar::findOpaqueBox(rgba.data(), w, h, 12, found), any) << "round " << round;
        if (!any) expected = {-7, -7, -7, -7};  // nothing found leaves the box alone
        EXPECT_TRUE(found.minX == expected.minX && found.minY == expected.minY && found.maxX == expected.maxX &&
                    found.maxY == expected.maxY)
            << "round " << round;
    }
}

}  // namespace
