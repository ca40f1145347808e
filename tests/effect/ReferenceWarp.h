// ReferenceWarp -- what the corner pin should draw, computed on the CPU with
// none of the effect's code: the map from the canvas to the unit square is
// solved as a general 8 x 8 linear system from the four correspondences, and
// the input is sampled bilinearly with clamp-to-edge inside its own image.
#pragma once

#include "runner/GLFrame.h"

#include "tests/support/PluginHost.h"

#include <cstdint>

namespace effecttest {

using namespace testhost;

enum Param : uint32_t {
    kPoint1X,
    kPoint1Y,
    kPoint2X,
    kPoint2Y,
    kPoint3X,
    kPoint3Y,
    kPoint4X,
    kPoint4Y,
    kShowGuides,
    kAutoBounds,
    kInputAspect
};
inline constexpr float kDefaultPoints[8] = {0, 0, 1, 0, 1, 1, 0, 1};
inline Module& Tessivar() { return SharedModule("TESSIVAR"); }

struct WarpSetup {
    float points[8] = {0, 0, 1, 0, 1, 1, 0, 1};  // canvas, top-left origin
    float sourceMin[2] = {0, 0};
    float sourceMax[2] = {1, 1};
};

// Compares an output with what the corner pin should draw from `input`.
// Pixels whose surroundings within `margin` pixels lie wholly inside the
// quadrilateral must match to `tolerance` steps, those wholly outside must be
// transparent black; the rest, on the border, are not compared (a small
// margin compares them too, where the source's own edge texels are
// sampled). Returns the number of wrong pixels, reporting the first few.
int CompareWithReference(const tessivar::Image& output, const tessivar::Image& input, const WarpSetup& setup,
                         int tolerance, int* insideCount = nullptr, double margin = 1.5);

}  // namespace effecttest
