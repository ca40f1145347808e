// The corner-pin homography without a GL context: where the corners go, how
// the nine floats are laid out for the shader, and which arrangements count
// as degenerate.
#include "effect/Homography.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using tessivar::Matrix3d;

const struct {
    const char* name;
    double points[8];
} kQuads[] = {
    {"defaults", {0, 0, 1, 0, 1, 1, 0, 1}},
    {"general", {0.1, 0.2, 0.8, 0.1, 0.9, 0.95, 0.05, 0.7}},
    {"mirrored", {1, 0, 0, 0, 0, 1, 1, 1}},
    {"crossed", {0, 0, 1, 0, 0, 1, 1, 1}},
    {"concave", {0.1, 0.1, 0.9, 0.1, 0.3, 0.3, 0.1, 0.9}},
    {"decimal parallelogram", {0.2, 0.2, 0.7, 0.3, 0.8, 0.9, 0.3, 0.8}},
};
const double kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Applies a matrix to (x, y, 1) and divides by the third component;
// `row` and `col` are the strides of the layout.
template <typename T>
void project(const T* m, int row, int col, double x, double y, double& outX, double& outY) {
    auto at = [&](int r, int c) { return double(m[r * row + c * col]); };
    const double z = at(2, 0) * x + at(2, 1) * y + at(2, 2);
    outX = (at(0, 0) * x + at(0, 1) * y + at(0, 2)) / z;
    outY = (at(1, 0) * x + at(1, 1) * y + at(1, 2)) / z;
}

TEST(Homography, CornersMapOntoTheirPointsAndBack) {
    for (const auto& q : kQuads) {
        SCOPED_TRACE(q.name);
        Matrix3d H{}, I{};
        ASSERT_TRUE(tessivar::forwardHomography(q.points, H));
        ASSERT_TRUE(tessivar::invertHomography(H, I));
        float points[8], m[9];
        for (int k = 0; k < 8; ++k) points[k] = float(q.points[k]);
        ASSERT_TRUE(tessivar::inverseHomography(points, m));
        for (int k = 0; k < 4; ++k) {
            const double px = q.points[2 * k], py = q.points[2 * k + 1];
            double x, y, u, v;
            project(H.m, 3, 1, kCorners[k][0], kCorners[k][1], x, y);  // double, row-major
            EXPECT_NEAR(x, px, 1e-9);
            EXPECT_NEAR(y, py, 1e-9);
            project(I.m, 3, 1, px, py, u, v);
            EXPECT_NEAR(u, kCorners[k][0], 1e-9);
            EXPECT_NEAR(v, kCorners[k][1], 1e-9);
            project(m, 1, 3, points[2 * k], points[2 * k + 1], u, v);  // float, column-major
            EXPECT_NEAR(u, kCorners[k][0], 1e-5);
            EXPECT_NEAR(v, kCorners[k][1], 1e-5);
        }
    }
}

TEST(Homography, ShaderMatrixIsColumnMajorAndAffineForParallelograms) {
    float m[9];
    // A centred half-size square: u = 2x - 0.5, so the translation sits in
    // the third column (elements 6 and 7), not in the third row.
    const float inner[8] = {0.25f, 0.25f, 0.75f, 0.25f, 0.75f, 0.75f, 0.25f, 0.75f};
    ASSERT_TRUE(tessivar::inverseHomography(inner, m));
    const float expected[9] = {2, 0, 0, 0, 2, 0, -0.5f, -0.5f, 1};
    for (int k = 0; k < 9; ++k) EXPECT_FLOAT_EQ(m[k], expected[k]) << k;

    // An exactly representable parallelogram takes the affine branch: the
    // third row is (0, 0, 1), so the shader's divisor is 1 everywhere.
    const float skewed[8] = {0.25f, 0.25f, 0.75f, 0.375f, 0.875f, 0.875f, 0.375f, 0.75f};
    ASSERT_TRUE(tessivar::inverseHomography(skewed, m));
    EXPECT_EQ(m[2], 0.0f);
    EXPECT_EQ(m[5], 0.0f);
    EXPECT_EQ(m[8], 1.0f);
}

TEST(Homography, DegenerateArrangementsAnswerFalseAndLeaveTheOutputAlone) {
    const struct {
        const char* name;
        float points[8];
    } cases[] = {
        {"all four points equal", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
        {"points 3 and 4 together", {0, 0, 1, 0, 1, 1, 1, 1}},
        {"points 1, 2 and 3 on one line", {0, 0, 1, 0, 0.5f, 0, 0, 1}},
        {"everything on one line", {0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        float m[9];
        std::fill(m, m + 9, 42.0f);
        EXPECT_FALSE(tessivar::inverseHomography(c.points, m));
        EXPECT_EQ(std::count(m, m + 9, 42.0f), 9);
    }
}

}  // namespace
