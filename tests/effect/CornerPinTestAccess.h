// CornerPinTestAccess -- the switches of CornerPin that only comparisons
// use: the tests that hold every drawing shortcut to one full-screen draw,
// and the benchmarks that time them side by side. A host has no way to them.
#pragma once

#include "effect/CornerPin.h"

struct CornerPinTestAccess {
    // False forces the one-program path on every renderer.
    static void AllowSplitPasses(CornerPin& pin, bool allowed) { pin.AllowSplitPasses(allowed); }
    // False draws the quad over the whole viewport whatever the host's state.
    static void AllowFittedArea(CornerPin& pin, bool allowed) { pin.AllowFittedArea(allowed); }
};
