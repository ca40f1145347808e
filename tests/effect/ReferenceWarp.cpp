#include "tests/effect/ReferenceWarp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace effecttest {

namespace {

// Solves A x = b for 8 unknowns by Gaussian elimination with partial pivoting.
bool solve(double A[8][8], double b[8], double x[8]) {
    const int n = 8;
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(A[r][col]) > std::fabs(A[pivot][col])) pivot = r;
        if (std::fabs(A[pivot][col]) < 1e-14) return false;
        std::swap(A[col], A[pivot]);
        std::swap(b[col], b[pivot]);
        for (int r = col + 1; r < n; ++r) {
            const double f = A[r][col] / A[col][col];
            for (int c = col; c < n; ++c) A[r][c] -= f * A[col][c];
            b[r] -= f * b[col];
        }
    }
    for (int r = n - 1; r >= 0; --r) {
        double s = b[r];
        for (int c = r + 1; c < n; ++c) s -= A[r][c] * x[c];
        x[r] = s / A[r][r];
    }
    return true;
}

// The warp computed with none of the effect's code: the map from the canvas
// to the unit square is solved directly as a general 8 x 8 linear system from
// the four correspondences, and the input is sampled bilinearly with
// clamp-to-edge inside its own image.
struct Reference {
    const tessivar::Image& input;
    const WarpSetup& setup;
    double width, height;
    double inverse[9] = {};  // row-major
    bool valid = false;

    Reference(const tessivar::Image& image, const WarpSetup& s, uint32_t w, uint32_t h)
        : input(image), setup(s), width(w), height(h) {
        // u = (h0 x + h1 y + h2) / (h6 x + h7 y + 1), v likewise with h3..h5.
        const double corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        double A[8][8] = {}, b[8] = {}, H[8] = {};
        for (int k = 0; k < 4; ++k) {
            const double x = double(s.points[2 * k]), y = double(s.points[2 * k + 1]);
            const double u = corners[k][0], v = corners[k][1];
            double* ru = A[2 * k];
            double* rv = A[2 * k + 1];
            ru[0] = x, ru[1] = y, ru[2] = 1, ru[6] = -x * u, ru[7] = -y * u;
            rv[3] = x, rv[4] = y, rv[5] = 1, rv[6] = -x * v, rv[7] = -y * v;
            b[2 * k] = u, b[2 * k + 1] = v;
        }
        if (!solve(A, b, H)) return;
        std::copy(H, H + 8, inverse);
        inverse[8] = 1.0;
        valid = true;
    }

    // The source position (0..1) drawn at output position (px, py); false outside.
    bool SourceOf(double px, double py, double& u, double& v) const {
        const double x = px / width, y = py / height, *I = inverse;
        const double z = I[6] * x + I[7] * y + I[8];
        if (!valid || std::fabs(z) < 1e-7) return false;
        u = (I[0] * x + I[1] * y + I[2]) / z;
        v = (I[3] * x + I[4] * y + I[5]) / z;
        return u >= 0 && u <= 1 && v >= 0 && v <= 1;
    }

    // Positions within `margin` of the pixel's centre inside the quadrilateral: 0 to 9.
    int Inside(uint32_t x, uint32_t y, double margin) const {
        int inside = 0;
        double u, v;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) inside += SourceOf(x + 0.5 + dx * margin, y + 0.5 + dy * margin, u, v);
        return inside;
    }

    void Expected(uint32_t x, uint32_t y, float rgba[4]) const {
        double u = 0, v = 0;
        SourceOf(x + 0.5, y + 0.5, u, v);
        u = double(setup.sourceMin[0]) + double(setup.sourceMax[0] - setup.sourceMin[0]) * u;
        v = double(setup.sourceMin[1]) + double(setup.sourceMax[1] - setup.sourceMin[1]) * v;
        // Texel centres sit at half-integers; clamp to the image's own edge.
        const double fx = std::clamp(u * input.width - 0.5, 0.0, double(input.width - 1));
        const double fy = std::clamp(v * input.height - 0.5, 0.0, double(input.height - 1));
        const uint32_t x0 = uint32_t(fx), y0 = uint32_t(fy);
        const uint32_t x1 = std::min(x0 + 1, input.width - 1), y1 = std::min(y0 + 1, input.height - 1);
        const double ax = fx - x0, ay = fy - y0;
        for (int c = 0; c < 4; ++c) {
            const double top = input.At(x0, y0)[c] * (1 - ax) + input.At(x1, y0)[c] * ax;
            const double bottom = input.At(x0, y1)[c] * (1 - ax) + input.At(x1, y1)[c] * ax;
            rgba[c] = float(top * (1 - ay) + bottom * ay);
        }
    }
};

}  // namespace

int CompareWithReference(const tessivar::Image& output, const tessivar::Image& input, const WarpSetup& setup,
                         int tolerance, int* insideCount, double margin) {
    const Reference reference(input, setup, output.width, output.height);
    int bad = 0, inside = 0;
    for (uint32_t y = 0; y < output.height; ++y)
        for (uint32_t x = 0; x < output.width; ++x) {
            const uint8_t* p = output.At(x, y);
            const int where = reference.Inside(x, y, margin);
            float expected[4] = {0, 0, 0, 0};
            if (where == 9) {
                ++inside;
                reference.Expected(x, y, expected);
            }
            if ((where == 9 || where == 0) && PixelDiff(p, expected) > (where ? tolerance : 0) && ++bad <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << (where ? "" : "outside the quadrilateral ")
                              << "is " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]) << " " << int(p[3])
                              << ", expected " << expected[0] << " " << expected[1] << " " << expected[2] << " "
                              << expected[3];
        }
    if (insideCount) *insideCount = inside;
    return bad;
}

}  // namespace effecttest
