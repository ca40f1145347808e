// HostTarget -- where a frame lands in the host's framebuffer, and what the
// host's state does there with a transparent black fragment.
//
// A full-viewport draw writes every pixel of the viewport (within the host's
// scissor box, if it has one on), most of them transparent black. The frame
// can skip those pixels only where the result is known without drawing:
//
//   Clear   no blending: the pixel becomes transparent black, which clearing
//           colour attachment 0 gives too (colour mask and scissor apply to
//           a clear as to a draw; sRGB encodes 0 as 0);
//   Keep    blending with a destination factor of one, as premultiplied
//           "over" (GL_ONE, GL_ONE_MINUS_SRC_ALPHA) has: the pixel stays as
//           it was, so it needs no write at all;
//   Draw    anything else (depth or stencil tests, which also write those
//           buffers; logic ops; other blending; sRGB blending, whose round
//           trip may move a byte; culling; coverage from alpha; a fractional
//           viewport): only the draw itself gives the same result.
#pragma once

#include "effect/GuideRegions.h"

namespace tessivar {

struct HostTarget {
    enum class Outside { Clear, Keep, Draw };

    int viewport[4] = {0, 0, 0, 0};  // GL viewport 0: x, y, width, height
    bool scissor = false;            // the host's scissor test on viewport 0
    int scissorBox[4] = {0, 0, 0, 0};
    PixelRect area{0, 0, 0, 0};  // every pixel a full-viewport draw can reach
    Outside outside = Outside::Draw;

    // Reads the state of the current context; changes nothing.
    static HostTarget Read();
};

}  // namespace tessivar
