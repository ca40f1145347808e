// The colour and depth decisions: what an untagged clip is read as, which
// depth the plugin runs at, and what each container's encoder is given.
#include "runner/media/ColourPlan.h"

#include <gtest/gtest.h>

namespace {

using tessivar::ChooseEncoding;
using tessivar::ColourTags;
using tessivar::PixelFormat;
using tessivar::ReadAs;

ColourTags tags(int matrix, int primaries, int transfer, int range) {
    ColourTags t;
    t.matrix = matrix, t.primaries = primaries, t.transfer = transfer, t.range = range;
    return t;
}

TEST(ColourPlan, UntaggedClipsAreReadAsPlayersGuessAndTagsAreKept) {
    const ColourTags none;
    // HD from 1280 wide or 577 lines; 576 lines is PAL, fewer NTSC.
    EXPECT_EQ(ReadAs(none, false, 1280, 720), tags(1, 1, 1, 1));
    EXPECT_EQ(ReadAs(none, false, 720, 577), tags(1, 1, 1, 1));
    EXPECT_EQ(ReadAs(none, false, 1279, 576), tags(5, 5, 6, 1));
    EXPECT_EQ(ReadAs(none, false, 720, 480), tags(6, 6, 6, 1));
    // PQ over BT.2020 in full range stays exactly that; RGB is RGB, full.
    const ColourTags hdr = tags(9, 9, 16, 2);
    EXPECT_EQ(ReadAs(hdr, false, 640, 360), hdr);
    EXPECT_EQ(ReadAs(hdr, true, 640, 360), tags(0, 9, 16, 2));
    EXPECT_EQ(ReadAs(tags(0, 2, 2, 0), false, 1920, 1080).matrix, 1);  // "RGB" on YUV pictures says nothing
    EXPECT_EQ(tessivar::WorkingBits(8), 8);
    EXPECT_EQ(tessivar::WorkingBits(9), 16);
}

TEST(ColourPlan, EachContainerGetsTheShallowestFormatThatHoldsTheSource) {
    const PixelFormat yuva420p{"yuva420p", 8, false, true}, yuv420p10{"yuv420p10le", 10, false, false},
        yuv420p12{"yuv420p12le", 12, false, false}, yuv420p{"yuv420p", 8, false, false}, bgra{"bgra", 8, true, true},
        gbrap16{"gbrap16le", 16, true, true};
    const std::vector<PixelFormat> vp9 = {yuv420p10, yuva420p, yuv420p12}, ffv1 = {bgra, gbrap16};
    const ColourTags hd = tags(1, 1, 1, 1);
    EXPECT_EQ(ChooseEncoding(vp9, hd, 8, true, 64, 48).pixels.name, "yuva420p");
    EXPECT_EQ(ChooseEncoding(vp9, hd, 10, true, 64, 48).pixels.name, "yuv420p10le");
    EXPECT_EQ(ChooseEncoding(vp9, hd, 11, true, 64, 48).pixels.name, "yuv420p12le");
    const auto cut = ChooseEncoding(vp9, hd, 16, true, 64, 48);
    EXPECT_EQ(cut.pixels.name, "yuv420p12le");
    EXPECT_EQ(cut.note, "keeps 12 of the 16 bits a channel of its source");
    EXPECT_EQ(ChooseEncoding({yuv420p}, hd, 10, true, 64, 48).note, "keeps 8 of the 10 bits a channel of its source");
    EXPECT_EQ(ChooseEncoding({yuv420p}, hd, 8, true, 64, 48).note, "");
    EXPECT_EQ(ChooseEncoding(ffv1, hd, 10, true, 64, 48).pixels.name, "gbrap16le");
    EXPECT_EQ(ChooseEncoding(ffv1, hd, 8, true, 64, 48).pixels.name, "bgra");
}

TEST(ColourPlan, OutputsAreTaggedAsWhatTheyAre) {
    const PixelFormat yuv{"yuv420p10le", 10, false, false}, rgb{"gbrap16le", 16, true, true};
    // HDR passes through: primaries and transfer untouched, matrix and range kept.
    const ColourTags hdr = tags(9, 9, 16, 2);
    EXPECT_EQ(ChooseEncoding({yuv}, hdr, 10, true, 64, 48).colour, hdr);
    EXPECT_EQ(ChooseEncoding({yuv}, hdr, 10, false, 64, 48).colour, tags(9, 9, 16, 1));  // no full range there
    EXPECT_EQ(ChooseEncoding({rgb}, hdr, 10, true, 64, 48).colour, tags(0, 9, 16, 2));
    // RGB sources get the matrix players assume for the size, in limited range.
    EXPECT_EQ(ChooseEncoding({yuv}, tags(0, 1, 13, 2), 8, true, 64, 48).colour, tags(6, 1, 13, 1));
    EXPECT_EQ(ChooseEncoding({yuv}, tags(0, 1, 13, 2), 8, true, 1280, 720).colour, tags(1, 1, 13, 1));
}

}  // namespace
