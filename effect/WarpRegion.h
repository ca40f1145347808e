// WarpRegion -- the window pixels the warp can colour, as a few rectangles.
// Free of GL.
//
// The warp shader draws a pixel only where the inverse homography takes its
// centre into the unit square; everywhere else it writes transparent black.
// Where that is half the frame, a renderer that shades every pixel in
// software (llvmpipe) spends half its time on nothing. So the frame is drawn
// as the same full-viewport quad, scissored to bands of rows that each span
// the columns the warp can reach there: scissoring changes which pixels are
// drawn, never the values drawn, so the picture stays the same bit for bit.
//
// The region is worked out from the nine floats the shader receives, with
// the shader's own test (0 <= x/z <= 1, 0 <= y/z <= 1, |z| >= 1e-7) taken in
// homogeneous form, which stays linear in the window position:
//
//     z > 0:  0 <= x <= z  and  0 <= y <= z
//     z < 0:  z <= x <= 0  and  z <= y <= 0
//
// two convex polygons, one of them usually empty (a crossed quadrilateral
// can reach the viewport's edges through both). Each inequality is loosened
// by far more than the renderer's rounding of x, y and z can move them, so a
// pixel the renderer's arithmetic lets in is always inside; each band also
// takes in every pixel its polygons' outline touches, so multisampled and
// per-sample shading stay inside the rectangles too.
//
//     std::vector<tessivar::PixelRect> rects;
//     if (!tessivar::WarpCover(inverse, viewport, area, rects)) rects = {area};
//     ...one scissored draw of the quad per rect...
#pragma once

#include "effect/GuideRegions.h"

#include <vector>

namespace tessivar {

// Rows per band. Bands start at multiples of it in window rows, so they match
// the 64-row tiles llvmpipe bins into.
constexpr int kWarpBandRows = 32;

// Disjoint rectangles inside `area` (window pixels, GL's bottom-up rows) that
// hold every pixel of it the warp can draw as anything but transparent black.
// `inverse` is the column-major matrix sent as InverseHomography (nine zeros
// draw nothing), `viewport` the GL viewport (x, y, width, height) the quad
// fills. Bands of equal columns are merged, so a frame the quadrilateral
// fills is one rectangle. False, with `out` empty, when no bound can be given
// (a non-finite matrix, an empty viewport): draw all of `area` then.
bool WarpCover(const float inverse[9], const int viewport[4], const PixelRect& area, std::vector<PixelRect>& out);

}  // namespace tessivar
