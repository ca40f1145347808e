// AlphaBounds -- the CPU half of the auto-fit: the bounding box of the
// opaque pixels in a read-back of the input's alpha, and the rectangles the
// fit places the points on. Free of GL.
//
// The buffer holds RGBA8 pixels, rows of `width` pixels tightly packed,
// bottom row first; the first byte of each pixel carries the alpha sample. A
// pixel counts as opaque when that byte is greater than `threshold`.
#pragma once

#include <cstdint>

namespace tessivar {

struct OpaqueBox {
    int minX, minY, maxX, maxY;  // inclusive, in buffer rows and columns
};

// False (and `box` untouched) when no pixel is opaque. Each row is searched
// from both ends towards the first opaque pixel, so a row costs a couple of
// pixels once the picture is found there and a full pass only when it is
// transparent; the answer equals a pixel-by-pixel scan.
bool FindOpaqueBox(const uint8_t* rgba, int width, int height, int threshold, OpaqueBox& box);

// A rectangle of the canvas or of the input, normalised to 0..1 with the
// origin at the top-left and y down: the convention of the corner points.
struct NormRect {
    float left, top, right, bottom;
    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
};

// The rectangle of `box` in a bottom-up buffer of width x height: its edges
// enclose the box's pixels whole, y flipped to the top-left convention.
NormRect BoxRect(const OpaqueBox& box, int width, int height);

// The centred rectangle a picture of `aspect` (width over height) fills in
// an output of `outputAspect` at its full width or height, in single
// precision: (0, m, 1, 1 - m) for a wider picture, (m, 0, 1 - m, 1) for a
// narrower one, the whole output for the same shape.
NormRect AspectRect(double aspect, double outputAspect);

}  // namespace tessivar
