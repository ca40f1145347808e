// ReferenceWarp -- what the corner pin should draw, computed on the CPU with
// none of the effect's code: the forward homography is solved as a general
// 8 x 8 linear system from the four correspondences, inverted as a general
// 3 x 3 matrix, and the input is sampled bilinearly with clamp-to-edge
// inside its own image.
#pragma once

#include "runner/GLFrame.h"

#include "tests/support/PluginHost.h"

#include <cstdint>

namespace effecttest {

using namespace testhost;

enum Param : uint32_t { kPoint1X, kPoint1Y, kPoint2X, kPoint2Y, kPoint3X, kPoint3Y, kPoint4X, kPoint4Y,
                        kShowGuides, kAutoBounds, kInputAspect };
inline constexpr float kDefaultPoints[8] = {0, 0, 1, 0, 1, 1, 0, 1};
inline Module& Tessivar() { return SharedModule("TESSIVAR"); }

struct WarpSetup {
    float points[8] = {0, 0, 1, 0, 1, 1, 0, 1};  // canvas, top-left origin
    float sourceMin[2] = {0, 0};
    float sourceMax[2] = {1, 1};
};

class ReferenceWarp {
public:
    enum class Where { Inside, Outside, Edge };

    ReferenceWarp(const tessivar::Image& input, const WarpSetup& setup, uint32_t outWidth, uint32_t outHeight);
    bool Valid() const { return valid; }

    // Classifies the output pixel: Inside or Outside when every position
    // within `margin` pixels of its centre lies on the same side of the
    // quadrilateral's border, Edge otherwise (not compared).
    Where Classify(uint32_t x, uint32_t y, double margin = 1.5) const;
    // Expected straight RGBA (0..255) of an Inside pixel.
    void Expected(uint32_t x, uint32_t y, float rgba[4]) const;

private:
    bool SourceOf(double px, double py, double& u, double& v) const;
    void Sample(double u, double v, float rgba[4]) const;

    const tessivar::Image& input;
    WarpSetup setup;
    uint32_t width, height;
    double inverse[9] = {};  // row-major
    bool valid = false;
};

// Compares an output against the reference. Returns the number of Inside
// pixels off by more than `tolerance` steps plus Outside pixels that are not
// transparent black; reports the first few through gtest. A small `margin`
// also compares the pixels along the quadrilateral's border, where the
// source's own edge texels are sampled.
int CompareWithReference(const tessivar::Image& output, const ReferenceWarp& reference, int tolerance,
                         int* insideCount = nullptr, double margin = 1.5);

}  // namespace effecttest
