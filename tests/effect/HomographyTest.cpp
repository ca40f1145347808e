// The corner-pin homography without a GL context: where the corners go, how
// the nine floats are laid out for the shader, and which arrangements count
// as degenerate.
#include "effect/Homography.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

using tessivar::Matrix3d;

struct Quad {
    const char* name;
    std::array<double, 8> points;
};

const Quad kQuads[] = {
    {"defaults", {0, 0, 1, 0, 1, 1, 0, 1}},
    {"general", {0.1, 0.2, 0.8, 0.1, 0.9, 0.95, 0.05, 0.7}},
    {"mirrored", {1, 0, 0, 0, 0, 1, 1, 1}},
    {"crossed", {0, 0, 1, 0, 0, 1, 1, 1}},
    {"concave", {0.1, 0.1, 0.9, 0.1, 0.3, 0.3, 0.1, 0.9}},
    {"decimal parallelogram", {0.2, 0.2, 0.7, 0.3, 0.8, 0.9, 0.3, 0.8}},
};

const double kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Applies a row-major matrix to (x, y, 1) and divides by the third component.
void project(const Matrix3d& M, double x, double y, double& outX, double& outY) {
    const double X = M.m[0] * x + M.m[1] * y + M.m[2];
    const double Y = M.m[3] * x + M.m[4] * y + M.m[5];
    const double Z = M.m[6] * x + M.m[7] * y + M.m[8];
    outX = X / Z;
    outY = Y / Z;
}

// The same with the nine column-major floats the shader receives.
void projectColumnMajor(const float* m, double x, double y, double& outX, double& outY) {
    const double X = double(m[0]) * x + double(m[3]) * y + double(m[6]);
    const double Y = double(m[1]) * x + double(m[4]) * y + double(m[7]);
    const double Z = double(m[2]) * x + double(m[5]) * y + double(m[8]);
    outX = X / Z;
    outY = Y / Z;
}

TEST(Homography, CornersMapOntoTheirPointsAndBackInDoublePrecision) {
    for (const Quad& q : kQuads) {
        SCOPED_TRACE(q.name);
        Matrix3d H{}, I{};
        ASSERT_TRUE(tessivar::forwardHomography(q.points.data(), H));
        EXPECT_EQ(H.m[8], 1.0);
        ASSERT_TRUE(tessivar::invertHomography(H, I));
        for (int k = 0; k < 4; ++k) {
            double x, y, u, v;
            project(H, kCorners[k][0], kCorners[k][1], x, y);
            EXPECT_NEAR(x, q.points[2 * k], 1e-9) << "corner " << k + 1;
            EXPECT_NEAR(y, q.points[2 * k + 1], 1e-9) << "corner " << k + 1;
            project(I, q.points[2 * k], q.points[2 * k + 1], u, v);
            EXPECT_NEAR(u, kCorners[k][0], 1e-9) << "point " << k + 1;
            EXPECT_NEAR(v, kCorners[k][1], 1e-9) << "point " << k + 1;
        }
    }
}

TEST(Homography, FloatInverseTakesEachPointBackToItsSourceCorner) {
    for (const Quad& q : kQuads) {
        SCOPED_TRACE(q.name);
        float points[8], m[9];
        for (int k = 0; k < 8; ++k) points[k] = float(q.points[k]);
        ASSERT_TRUE(tessivar::inverseHomography(points, m));
        for (int k = 0; k < 4; ++k) {
            double u, v;
            projectColumnMajor(m, points[2 * k], points[2 * k + 1], u, v);
            EXPECT_NEAR(u, kCorners[k][0], 1e-5);
            EXPECT_NEAR(v, kCorners[k][1], 1e-5);
        }
    }
}

TEST(Homography, LayoutIsColumnMajorForTheShader) {
    // Default points: the identity, exactly.
    const float defaults[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    float m[9];
    ASSERT_TRUE(tessivar::inverseHomography(defaults, m));
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(m[k], identity[k]) << k;

    // A centred half-size square: u = 2x - 0.5, so the translation sits in
    // the third column (elements 6 and 7), not in the third row.
    const float inner[8] = {0.25f, 0.25f, 0.75f, 0.25f, 0.75f, 0.75f, 0.25f, 0.75f};
    ASSERT_TRUE(tessivar::inverseHomography(inner, m));
    const float expected[9] = {2, 0, 0, 0, 2, 0, -0.5f, -0.5f, 1};
    for (int k = 0; k < 9; ++k) EXPECT_FLOAT_EQ(m[k], expected[k]) << k;
}

TEST(Homography, ExactParallelogramIsAffine) {
    const double p[8] = {0.25, 0.25, 0.75, 0.375, 0.875, 0.875, 0.375, 0.75};
    Matrix3d H{};
    ASSERT_TRUE(tessivar::forwardHomography(p, H));
    EXPECT_EQ(H.m[6], 0.0);
    EXPECT_EQ(H.m[7], 0.0);

    float points[8], m[9];
    for (int k = 0; k < 8; ++k) points[k] = float(p[k]);
    ASSERT_TRUE(tessivar::inverseHomography(points, m));
    // Third row of the inverse: the shader's divisor is 1 everywhere.
    EXPECT_EQ(m[2], 0.0f);
    EXPECT_EQ(m[5], 0.0f);
    EXPECT_EQ(m[8], 1.0f);
}

TEST(Homography, MirroredOrderFlipsTheSource) {
    // Points 1 and 2 swapped, 3 and 4 swapped: a horizontal mirror.
    const float points[8] = {1, 0, 0, 0, 0, 1, 1, 1};
    float m[9];
    ASSERT_TRUE(tessivar::inverseHomography(points, m));
    double u, v;
    projectColumnMajor(m, 0.25, 0.4, u, v);
    EXPECT_NEAR(u, 0.75, 1e-6);
    EXPECT_NEAR(v, 0.4, 1e-6);
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
        for (float value : m) EXPECT_EQ(value, 42.0f);
    }
}

}  // namespace
