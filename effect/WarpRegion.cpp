#include "effect/WarpRegion.h"

#include <algorithm>
#include <cmath>

namespace tessivar {

namespace {

struct Point {
    double x, y;
};

// a x + b y + c over window positions.
struct Form {
    double a, b, c;
    double At(const Point& p) const { return a * p.x + b * p.y + c; }
    Form operator-(const Form& o) const { return {a - o.a, b - o.b, c - o.c}; }
    Form operator-() const { return {-a, -b, -c}; }
    Form Plus(double k) const { return {a, b, c + k}; }
};

// A convex polygon: four corners clipped by five half-planes gain at most
// one corner each. Rounding could make a clip cross a nearly straight outline
// more than twice, so there is room for every clip to double the corners.
struct Polygon {
    Point v[4 << 5];
    int n = 0;
};

// Keeps the part of `poly` where f >= 0.
void clip(Polygon& poly, const Form& f) {
    Polygon kept;
    for (int i = 0; i < poly.n; ++i) {
        const Point& p = poly.v[i];
        const Point& q = poly.v[(i + 1) % poly.n];
        const double fp = f.At(p), fq = f.At(q);
        if (fp >= 0) kept.v[kept.n++] = p;
        if ((fp >= 0) != (fq >= 0)) {
            const double t = fp / (fp - fq);
            kept.v[kept.n++] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
        }
    }
    poly = kept;
}

// Window pixels [x0, x1) whose squares the polygon's outline can touch, one
// to spare each side.
bool pixelColumns(const Polygon& poly, int& x0, int& x1) {
    if (poly.n == 0) return false;
    double lo = poly.v[0].x, hi = poly.v[0].x;
    for (int i = 1; i < poly.n; ++i) {
        lo = std::min(lo, poly.v[i].x);
        hi = std::max(hi, poly.v[i].x);
    }
    x0 = int(std::floor(lo)) - 1;
    x1 = int(std::ceil(hi)) + 1;
    return true;
}

// The region's half-planes (each "form >= 0") for z > 0 and for z < 0.
struct Region {
    Form sides[2][5];
};

// The shader's test: its projected position is InverseHomography times
// (canvas x, canvas y, 1), with the canvas 0..1 over the viewport from its
// top-left. Loosened by `slack` (homogeneous units) against the renderer's
// rounding, and by its depth floor.
bool makeRegion(const float m[9], const int viewport[4], Region& region) {
    for (int k = 0; k < 9; ++k)
        if (!std::isfinite(m[k])) return false;
    const double vx = viewport[0], vy = viewport[1], vw = viewport[2], vh = viewport[3];
    // canvas x = (wx - vx) / vw, canvas y = 1 - (wy - vy) / vh
    Form rows[3];
    double largest = 0.0;
    const double reachX = 1.0 + std::fabs(vx) / vw, reachY = 1.0 + std::fabs(vy) / vh;
    for (int r = 0; r < 3; ++r) {
        const double p = double(m[r]), q = double(m[3 + r]), s = double(m[6 + r]);
        rows[r] = {p / vw, -q / vh, s + q - p * vx / vw + q * vy / vh};
        // A bound on the magnitudes the renderer meets on its way to this
        // component, from the window origin to the viewport's far corner.
        largest = std::max(largest, 2.0 * (std::fabs(p) * reachX + std::fabs(q) * reachY) + std::fabs(s));
    }

    // Single precision rounds at 2^-24 of the magnitudes involved; allow 2^-14,
    // over a thousand times that, for every step of the vertex stage, the
    // interpolation and the division.
    const double rounding = std::ldexp(largest, -14);
    const double slack = 4.0 * rounding;
    const double depthFloor = 0.999e-7 - rounding;  // the shader skips |z| < 1e-7
    const Form &x = rows[0], &y = rows[1], &z = rows[2];
    const Form bounds[4] = {x, z - x, y, z - y};  // each >= 0 where z > 0, each <= 0 where z < 0
    for (int i = 0; i < 4; ++i) {
        region.sides[0][i] = bounds[i].Plus(slack);
        region.sides[1][i] = (-bounds[i]).Plus(slack);
    }
    region.sides[0][4] = z.Plus(-depthFloor);
    region.sides[1][4] = (-z).Plus(-depthFloor);
    return true;
}

}  // namespace

bool WarpCover(const float inverse[9], const int viewport[4], const PixelRect& area, std::vector<PixelRect>& out) {
    out.clear();
    Region region;
    if (viewport[2] <= 0 || viewport[3] <= 0 || !makeRegion(inverse, viewport, region)) return false;
    if (area.Empty()) return true;

    size_t previousBand = 0;  // first rectangle of the band below
    int previousEnd = area.y0;
    for (int y0 = area.y0; y0 < area.y1;) {
        // Band edges at multiples of the band height, floor division for negative rows.
        const int aligned = (y0 >= 0 ? y0 : y0 - kWarpBandRows + 1) / kWarpBandRows * kWarpBandRows;
        const int y1 = std::min(area.y1, aligned + kWarpBandRows);

        PixelRect spans[2];
        int count = 0;
        for (const auto& sides : region.sides) {
            Polygon slab;
            slab.n = 4;
            slab.v[0] = {double(area.x0), double(y0)};
            slab.v[1] = {double(area.x1), double(y0)};
            slab.v[2] = {double(area.x1), double(y1)};
            slab.v[3] = {double(area.x0), double(y1)};
            for (const Form& side : sides) clip(slab, side);
            int x0, x1;
            if (!pixelColumns(slab, x0, x1)) continue;
            x0 = std::max(x0, area.x0);
            x1 = std::min(x1, area.x1);
            if (x0 < x1) spans[count++] = {x0, y0, x1, y1};
        }
        if (count == 2) {
            if (spans[1].x0 < spans[0].x0) std::swap(spans[0], spans[1]);
            if (spans[1].x0 <= spans[0].x1) {  // touching or overlapping: one span
                spans[0].x1 = std::max(spans[0].x1, spans[1].x1);
                count = 1;
            }
        }

        // Grow the band below when its columns are the same.
        const size_t below = out.size() - previousBand;
        bool same = count > 0 && previousEnd == y0 && below == size_t(count);
        for (int i = 0; same && i < count; ++i)
            same = out[previousBand + i].x0 == spans[i].x0 && out[previousBand + i].x1 == spans[i].x1;
        if (same) {
            for (int i = 0; i < count; ++i) out[previousBand + i].y1 = y1;
        } else {
            previousBand = out.size();
            out.insert(out.end(), spans, spans + count);
        }
        previousEnd = count > 0 ? y1 : previousEnd;
        y0 = y1;
    }
    return true;
}

}  // namespace tessivar
