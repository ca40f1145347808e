// Homography -- the projective map behind the corner pin, free of GL.
//
// The four corner points live on the output canvas, normalised to 0..1 with
// the origin at the top-left and y growing downward. The forward map H carries
// the unit square of source coordinates onto them:
//
//     (0, 0) -> point 1     (1, 0) -> point 2
//     (1, 1) -> point 3     (0, 1) -> point 4
//
// H has the rows (a b c), (d e f), (g h 1), so x = (a u + b v + c) / (g u + h v + 1)
// and likewise for y. The warp shader needs the inverse, which takes a canvas
// position back to the source position drawn there.
//
// All arithmetic is done in double precision; only InverseHomography narrows
// its nine results to float, for glUniformMatrix3fv. The inverse is not
// rescaled: the shader divides by the third component, which cancels any
// common factor.
//
//     float m[9];
//     if (!tessivar::InverseHomography(points, m)) std::fill(m, m + 9, 0.0f);
//
// There is no convexity or orientation test: mirrored, crossed and concave
// arrangements are accepted whenever the matrix is finite. Degenerate
// arrangements (coincident points, three points on a line in the way that
// collapses the map) answer false.
#pragma once

namespace tessivar {

// A 3 x 3 matrix in double precision, row-major: m[row * 3 + column].
struct Matrix3d {
    double m[9];
};

// Magnitudes below this count as zero in every test below (absolute, strict).
constexpr double kHomographyEpsilon = 1e-12;

// Forward map H from the eight point values x1 y1 x2 y2 x3 y3 x4 y4.
// False when the quadrilateral gives no perspective solution; `forward` is
// then untouched. H's last element is always 1.
bool ForwardHomography(const double points[8], Matrix3d& forward);

// adj(H) / det(H). False (and `inverse` untouched) when |det(H)| < 1e-12.
bool InvertHomography(const Matrix3d& forward, Matrix3d& inverse);

// The inverse for the given float points as nine floats in column-major order,
// ready for glUniformMatrix3fv with transpose GL_FALSE. False when the points
// are degenerate; `columnMajor` is then not written.
bool InverseHomography(const float points[8], float columnMajor[9]);

}  // namespace tessivar
