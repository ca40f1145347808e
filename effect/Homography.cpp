#include "effect/Homography.h"

#include <cmath>

namespace tessivar {

bool ForwardHomography(const double p[8], Matrix3d& forward) {
    const double x0 = p[0], y0 = p[1], x1 = p[2], y1 = p[3];
    const double x2 = p[4], y2 = p[5], x3 = p[6], y3 = p[7];

    // Both alternating sums vanish exactly for a parallelogram, whose map is
    // affine (no perspective terms).
    const double sx = x0 - x1 + x2 - x3;
    const double sy = y0 - y1 + y2 - y3;
    double g = 0.0, h = 0.0;
    if (std::fabs(sx) > kHomographyEpsilon || std::fabs(sy) > kHomographyEpsilon) {
        const double dx1 = x1 - x2, dx2 = x3 - x2;
        const double dy1 = y1 - y2, dy2 = y3 - y2;
        const double den = dx1 * dy2 - dy1 * dx2;
        if (std::fabs(den) < kHomographyEpsilon) return false;
        g = (sx * dy2 - sy * dx2) / den;
        h = (dx1 * sy - sx * dy1) / den;
    }

    forward.m[0] = x1 - x0 + g * x1;  // a
    forward.m[1] = x3 - x0 + h * x3;  // b
    forward.m[2] = x0;                // c
    forward.m[3] = y1 - y0 + g * y1;  // d
    forward.m[4] = y3 - y0 + h * y3;  // e
    forward.m[5] = y0;                // f
    forward.m[6] = g;
    forward.m[7] = h;
    forward.m[8] = 1.0;
    return true;
}

bool InvertHomography(const Matrix3d& H, Matrix3d& inverse) {
    const double a = H.m[0], b = H.m[1], c = H.m[2];
    const double d = H.m[3], e = H.m[4], f = H.m[5];
    const double g = H.m[6], h = H.m[7], i = H.m[8];

    // Cofactors, transposed into the adjugate: adj[r][c] = cofactor of (c, r).
    const double adj[9] = {
        e * i - f * h, c * h - b * i, b * f - c * e, f * g - d * i, a * i - c * g,
        c * d - a * f, d * h - e * g, b * g - a * h, a * e - b * d,
    };
    const double det = a * adj[0] + b * adj[3] + c * adj[6];
    if (!(std::fabs(det) >= kHomographyEpsilon)) return false;

    const double r = 1.0 / det;
    for (int k = 0; k < 9; ++k) inverse.m[k] = adj[k] * r;
    return true;
}

bool InverseHomography(const float points[8], float columnMajor[9]) {
    double p[8];
    for (int k = 0; k < 8; ++k) p[k] = double(points[k]);

    Matrix3d forward, inverse;
    if (!ForwardHomography(p, forward) || !InvertHomography(forward, inverse)) return false;

    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) columnMajor[col * 3 + row] = float(inverse.m[row * 3 + col]);
    return true;
}

}  // namespace tessivar
