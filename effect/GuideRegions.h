// GuideRegions -- where the guide markers can change a pixel, and a cut of the
// frame into rectangles with and without guides. Free of GL.
//
// On a renderer that evaluates every branch of a shader for every pixel
// (llvmpipe), the guide code costs the whole frame even though it changes
// only a few thousand pixels. A marker paints nothing beyond
//
//     the bubble:     27 pixels from its label,
//     the dot:         6.5 pixels from its point,
//     the connector:   2.2 pixels from the segment point-label,
//     the digit:       inside the bubble,
//
// where the label is the point pulled 28 pixels inside every edge. Outside
// those reaches every coverage term is exactly 0 and the composite leaves the
// warp colour untouched, so the frame can be drawn as disjoint scissor
// rectangles: the warp-only program where no marker reaches, the full program
// in the rest. Each pixel is drawn once, so the host's blending sees the same
// single fragment as with one full-screen draw.
//
//     tessivar::PixelRect markers[4];
//     if (tessivar::MarkerRects(points, resolution, viewport, markers)) {
//         tessivar::SplitPlan plan;
//         tessivar::SplitArea(area, markers, 4, plan);   // area: viewport and host scissor overlap
//         ...one scissored draw per plan.pieces[i]...
//     }
#pragma once

namespace tessivar {

// Reaches of the marker shapes in pixels. The warp shader is built with
// them (as LABEL_INSET and MARKER_REACH), so the regions and the pixels agree.
constexpr double kLabelInset = 28.0;
constexpr double kMarkerReach = 27.0;  // the bubble, the largest of the shapes

// Window pixels [x0, x1) x [y0, y1), y counted from the bottom as GL does.
struct PixelRect {
    int x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// One rectangle per marker, in window pixels, outside which that marker
// changes no pixel. `points` are the eight point values (0..1, top-left
// origin), `resolution` the marker space the shader uses (width, height), and
// `viewport` the GL viewport (x, y, width, height) the frame is drawn with.
// The rectangles are generous by a few pixels. False when they cannot be
// given (a resolution too small to pull the label inside, an empty viewport):
// draw the whole frame with the full program then.
bool MarkerRects(const float points[8], const float resolution[2], const int viewport[4], PixelRect out[4]);

// Disjoint rectangles that together cover `area` exactly: those marked
// `guides` cover every marker rectangle's part of the area, the rest covers
// none of it. Bands cut at the markers' edges, horizontal or vertical,
// whichever gives fewer pieces; pieces of equal extent in neighbouring bands
// are merged.
struct SplitPlan {
    static constexpr int kCapacity = 81;  // (2n + 1)^2 for four markers
    PixelRect pieces[kCapacity];
    bool guides[kCapacity];
    int count = 0;
};
// At most four markers are taken.
void SplitArea(const PixelRect& area, const PixelRect* markers, int markerCount, SplitPlan& plan);

}  // namespace tessivar
