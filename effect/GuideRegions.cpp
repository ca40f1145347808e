#include "effect/GuideRegions.h"

#include <algorithm>
#include <cmath>

namespace tessivar {

namespace {

// Keeps the window coordinates within int range whatever the mapping.
int toPixel(double v) { return int(std::max(-1e9, std::min(1e9, v))); }

// Window pixels whose centres may fall in [lo, hi] (window units), with a
// pixel to spare on each side for the rounding of the interpolated position.
void pixelSpan(double lo, double hi, int& first, int& end) {
    first = toPixel(std::floor(lo - 0.5)) - 1;
    end = toPixel(std::ceil(hi - 0.5)) + 2;
}

// Insertion sort: at most ten elements, and std::sort's unrolled paths trip
// the compiler's bounds warnings on arrays this small.
template <typename T, typename Less>
void sortSmall(T* items, int count, Less less) {
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && less(items[j], items[j - 1]); --j) std::swap(items[j], items[j - 1]);
}

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

}  // namespace

bool MarkerRects(const float points[8], const float resolution[2], const int viewport[4], PixelRect out[4]) {
    const double resW = static_cast<double>(resolution[0]), resH = static_cast<double>(resolution[1]);
    // Below twice the inset the label's clamp has no defined result.
    if (!(resW >= 2.0 * kLabelInset && resH >= 2.0 * kLabelInset) || viewport[2] <= 0 || viewport[3] <= 0) return false;

    const double scaleX = viewport[2] / resW, scaleY = viewport[3] / resH;
    const double reach = kMarkerReach + 1.0;  // one marker pixel to spare
    for (int m = 0; m < 4; ++m) {
        const double px = double(points[2 * m]) * resW, py = double(points[2 * m + 1]) * resH;
        if (!std::isfinite(px) || !std::isfinite(py)) return false;
        const double lx = std::max(kLabelInset, std::min(px, resW - kLabelInset));
        const double ly = std::max(kLabelInset, std::min(py, resH - kLabelInset));
        // Marker space, y down; the box of point and label holds the
        // connector, and the bubble's reach covers the dot's.
        const double left = std::min(px, lx) - reach, right = std::max(px, lx) + reach;
        const double top = std::min(py, ly) - reach, bottom = std::max(py, ly) + reach;
        PixelRect& r = out[m];
        pixelSpan(viewport[0] + left * scaleX, viewport[0] + right * scaleX, r.x0, r.x1);
        // Window rows count from the bottom of the viewport.
        pixelSpan(viewport[1] + (resH - bottom) * scaleY, viewport[1] + (resH - top) * scaleY, r.y0, r.y1);
    }
    return true;
}

namespace {

PixelRect transposed(const PixelRect& r) { return {r.y0, r.x0, r.y1, r.x1}; }

// Horizontal bands cut at the markers' top and bottom edges.
void splitIntoBands(const PixelRect& area, const PixelRect* markers, int markerCount, SplitPlan& plan) {
    plan.count = 0;
    if (area.Empty()) return;

    PixelRect clipped[4];
    int n = 0;
    for (int m = 0; m < markerCount && n < 4; ++m) {
        const PixelRect r = intersect(markers[m], area);
        if (!r.Empty()) clipped[n++] = r;
    }

    int edges[2 + 2 * 4];
    int edgeCount = 0;
    edges[edgeCount++] = area.y0;
    edges[edgeCount++] = area.y1;
    for (int m = 0; m < n; ++m) {
        edges[edgeCount++] = clipped[m].y0;
        edges[edgeCount++] = clipped[m].y1;
    }
    sortSmall(edges, edgeCount, [](int a, int b) { return a < b; });
    edgeCount = int(std::unique(edges, edges + edgeCount) - edges);

    // Pieces that end where the current band starts, and those of the
    // current band; a piece of the same columns as one below it grows instead.
    int below[SplitPlan::kCapacity], belowCount = 0;
    int current[SplitPlan::kCapacity], currentCount = 0;
    auto emit = [&](int x0, int x1, int y0, int y1, bool guides) {
        if (x0 >= x1) return;
        for (int k = 0; k < belowCount; ++k) {
            const int i = below[k];
            PixelRect& p = plan.pieces[i];
            if (p.x0 == x0 && p.x1 == x1 && plan.guides[i] == guides) {
                p.y1 = y1;
                current[currentCount++] = i;
                return;
            }
        }
        plan.pieces[plan.count] = {x0, y0, x1, y1};
        plan.guides[plan.count] = guides;
        current[currentCount++] = plan.count++;
    };

    for (int e = 0; e + 1 < edgeCount; ++e) {
        const int y0 = edges[e], y1 = edges[e + 1];
        // Column spans of the markers crossing this band, sorted and merged.
        struct Span {
            int x0, x1;
        } spans[4];
        int spanCount = 0;
        for (int m = 0; m < n; ++m)
            if (clipped[m].y0 <= y0 && clipped[m].y1 >= y1) spans[spanCount++] = {clipped[m].x0, clipped[m].x1};
        sortSmall(spans, spanCount, [](const Span& a, const Span& b) { return a.x0 < b.x0; });
        int x = area.x0;
        for (int s = 0; s < spanCount;) {
            const int start = spans[s].x0;
            int end = spans[s].x1;
            for (++s; s < spanCount && spans[s].x0 <= end; ++s) end = std::max(end, spans[s].x1);
            emit(x, start, y0, y1, false);
            emit(start, end, y0, y1, true);
            x = end;
        }
        emit(x, area.x1, y0, y1, false);
        std::copy(current, current + currentCount, below);
        belowCount = currentCount;
        currentCount = 0;
    }
}

}  // namespace

void SplitArea(const PixelRect& area, const PixelRect* markers, int markerCount, SplitPlan& plan) {
    // Markers at four different heights cut the frame into many bands, but
    // often into few columns (and the other way round): each draw costs the
    // driver a state change, so the cut with fewer pieces wins.
    splitIntoBands(area, markers, markerCount, plan);
    PixelRect flipped[4];
    const int n = markerCount < 4 ? markerCount : 4;
    for (int m = 0; m < n; ++m) flipped[m] = transposed(markers[m]);
    SplitPlan columns;
    splitIntoBands(transposed(area), flipped, n, columns);
    if (columns.count >= plan.count) return;
    plan.count = columns.count;
    for (int i = 0; i < columns.count; ++i) {
        plan.pieces[i] = transposed(columns.pieces[i]);
        plan.guides[i] = columns.guides[i];
    }
}

}  // namespace tessivar
