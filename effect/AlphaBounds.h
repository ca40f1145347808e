// AlphaBounds -- the CPU half of the auto-fit's detection: the bounding box
// of the opaque pixels in a read-back of the input's alpha. Free of GL.
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
bool findOpaqueBox(const uint8_t* rgba, int width, int height, int threshold, OpaqueBox& box);

}  // namespace tessivar
