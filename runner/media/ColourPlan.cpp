#include "runner/media/ColourPlan.h"

#include <algorithm>

namespace tessivar {

namespace {

bool highDefinition(uint32_t width, uint32_t height) { return width >= 1280 || height > 576; }

// What players assume for a picture of this size that says nothing.
ColourTags guessed(uint32_t width, uint32_t height) {
    ColourTags t;
    if (highDefinition(width, height)) {
        t.matrix = t.primaries = t.transfer = ColourTags::kBt709;
    } else {
        const int system = height == 576 ? ColourTags::kBt470bg : ColourTags::kSmpte170m;
        t.matrix = t.primaries = system;
        t.transfer = ColourTags::kSmpte170m;  // the same curve as BT.709's
    }
    t.range = ColourTags::kLimited;
    return t;
}

bool said(int code) { return code != ColourTags::kUnspecified && code != 3; }  // 3 is reserved

}  // namespace

ColourTags ReadAs(ColourTags tagged, bool rgb, uint32_t width, uint32_t height) {
    const ColourTags guess = guessed(width, height);
    ColourTags t;
    t.primaries = said(tagged.primaries) ? tagged.primaries : guess.primaries;
    t.transfer = said(tagged.transfer) ? tagged.transfer : guess.transfer;
    if (rgb) {
        t.matrix = ColourTags::kRgb;
        t.range = ColourTags::kFull;
    } else {
        t.matrix = said(tagged.matrix) && tagged.matrix != ColourTags::kRgb ? tagged.matrix : guess.matrix;
        t.range = tagged.range != ColourTags::kRangeUnknown ? tagged.range : guess.range;
    }
    return t;
}

int WorkingBits(int sourceBits) { return sourceBits > 8 ? 16 : 8; }

Encoding ChooseEncoding(const std::vector<PixelFormat>& candidates, const ColourTags& source, int sourceBits,
                        bool fullRangeOk, uint32_t width, uint32_t height) {
    Encoding e;
    if (candidates.empty()) return e;
    // Shallowest that holds the source, else deepest; alpha first among equals.
    auto better = [&](const PixelFormat& a, const PixelFormat& b) {
        const bool aHolds = a.bits >= sourceBits, bHolds = b.bits >= sourceBits;
        if (aHolds != bHolds) return aHolds;
        if (a.bits != b.bits) return aHolds ? a.bits < b.bits : a.bits > b.bits;
        return a.alpha && !b.alpha;
    };
    e.pixels = *std::min_element(candidates.begin(), candidates.end(),
                                 [&](const PixelFormat& a, const PixelFormat& b) { return better(a, b); });
    if (e.pixels.bits < sourceBits)
        e.note = "keeps " + std::to_string(e.pixels.bits) + " of the " + std::to_string(sourceBits) +
                 " bits a channel of its source";

    e.colour.primaries = source.primaries;
    e.colour.transfer = source.transfer;
    if (e.pixels.rgb) {
        e.colour.matrix = ColourTags::kRgb;
        e.colour.range = ColourTags::kFull;
    } else {
        const bool rgbSource = source.matrix == ColourTags::kRgb;
        e.colour.matrix = rgbSource ? guessed(width, height).matrix : source.matrix;
        e.colour.range =
            !rgbSource && fullRangeOk && source.range == ColourTags::kFull ? ColourTags::kFull : ColourTags::kLimited;
    }
    return e;
}

}  // namespace tessivar
