// The automatic first fit, seen only through what a host can observe: the
// parameter events it collects, the values it reads back, and the picture.
#include "tests/effect/EffectHost.h"
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include "gl/GLIncludes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace effecttest {
namespace {

class TessivarAutoFit : public testhost::GLTest {};

struct Rect {
    float left, top, right, bottom;
};

// The points a rectangle fit leaves, in parameter order.
void ExpectPointsOn(const EffectHost& host, const Rect& r) {
    const float expected[8] = {r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(host.Get(i), expected[i]) << "parameter " << i;
}

// One event with flag 2 for each of the eight points, nothing else, and
// nothing left for a second collection.
void ExpectFitEvents(const EffectHost& host) {
    const auto events = host.Events();
    ASSERT_EQ(events.size(), 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(events[i].first, i);
        EXPECT_EQ(events[i].second, 2u);
    }
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(TessivarAutoFit, MeasuresTheOpaqueRegionOfAnInputOfTheOutputsShape) {
    {
        SCOPED_TRACE("opaque input: the whole frame, points stay, events still raised");
        EffectHost host(1920, 1080);
        ASSERT_TRUE(host.Ok());
        tessivar::InputTexture input = MakeInput(Solid(1920, 1080, 90, 90, 90, 255));
        host.Process(input);
        ExpectPointsOn(host, {0, 0, 1, 1});
        ExpectFitEvents(host);
        host.Process(input);
        EXPECT_TRUE(host.Events().empty()) << "a fit happens once per request";
    }
    {
        SCOPED_TRACE("240-pixel transparent bars: points and source crop on the picture");
        tessivar::Image image = Gradient(1920, 1080);
        ClearColumns(image, 240, 240);
        EffectHost host(1920, 1080);
        ASSERT_TRUE(host.Ok());
        host.Set(kShowGuides, 0.0f);
        tessivar::InputTexture input = MakeInput(image);
        host.Process(input);
        ExpectPointsOn(host, {0.125f, 0, 0.875f, 1});
        ExpectFitEvents(host);
        // Points and crop agree, so the picture stays where it was; a crop
        // left at the whole input would squeeze the bars into the frame.
        const tessivar::Image out = host.Render(input);
        for (uint32_t x : {250u, 700u, 1200u, 1660u}) {
            float expected[4];
            for (int c = 0; c < 4; ++c) expected[c] = image.At(x, 540)[c];
            EXPECT_LE(PixelDiff(out.At(x, 540), expected), 3) << "column " << x;
        }
    }
}

TEST_F(TessivarAutoFit, MeasuresOnlyTheImageOfAPaddedTexture) {
    // One opaque pixel at column 10, row 20 from the bottom of a 256 x 256
    // image that sits in a 512 x 512 texture padded with opaque magenta: the
    // analysis samples each image pixel once and never the padding.
    tessivar::Image image = Solid(256, 256, 0, 0, 0, 0);
    std::fill(image.At(10, 255 - 20), image.At(10, 255 - 20) + 4, uint8_t(255));
    EffectHost host(512, 512);
    ASSERT_TRUE(host.Ok());
    tessivar::InputTexture input = MakeInput(image, 512, 512);
    host.Process(input);
    ExpectPointsOn(host, {0.0390625f, 0.91796875f, 0.04296875f, 0.921875f});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, GivesATransparentInputThirtyChancesThenFitsItsAspect) {
    EffectHost host(480, 270);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    tessivar::InputTexture input = MakeInput(Solid(480, 270, 0, 0, 0, 0));
    for (int frame = 1; frame < 30; ++frame) {
        host.Process(input);
        ASSERT_TRUE(host.Events().empty()) << "frame " << frame;
    }
    host.Process(input);
    ExpectPointsOn(host, {0, 0, 1, 1});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, FitsARectangleOfTheRightAspect) {
    const struct {
        const char* name;
        uint32_t inW, inH, outW, outH;
        float autoBounds, inputAspect;
        Rect rect;
        bool cropped;  // the source becomes the rectangle too
    } cases[] = {
        // Aspects 0.00087 apart count as equal: detection runs and finds the
        // whole frame, then the input's own aspect decides.
        {"1366 x 768 in 1920 x 1080", 1366, 768, 1920, 1080, 1, 1, {0, 0.00024402142f, 1, 0.99975598f}, false},
        {"square in 1920 x 1080", 1080, 1080, 1920, 1080, 1, 1, {0.21875f, 0, 0.78125f, 1}, false},
        {"1920 x 1080 in portrait", 1920, 1080, 1080, 1920, 1, 1, {0, 0.341796875f, 1, 0.658203125f}, false},
        // "Auto Bounds" off: an input of the output's shape is taken to carry
        // a picture of "Input Aspect" centred in it.
        {"aspect 1 in the output's shape", 1920, 1080, 1920, 1080, 0, 1, {0.21875f, 0, 0.78125f, 1}, true},
        {"aspect 2, 1280 x 720 in 1920 x 1080", 1280, 720, 1920, 1080, 0, 2, {0, 0.05555555f, 1, 0.94444442f}, true},
        {"aspect 2 in a square input", 1080, 1080, 1920, 1080, 0, 2, {0, 0.05555555f, 1, 0.94444442f}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tessivar::Image image = Gradient(c.inW, c.inH);
        EffectHost host(c.outW, c.outH);
        ASSERT_TRUE(host.Ok());
        host.Set(kShowGuides, 0.0f);
        host.Set(kAutoBounds, c.autoBounds);
        host.Set(kInputAspect, c.inputAspect);
        tessivar::InputTexture input = MakeInput(image);
        host.Process(input);
        ExpectPointsOn(host, c.rect);
        ExpectFitEvents(host);

        const Rect& r = c.rect;
        WarpSetup setup{{r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom}};
        if (c.cropped) {
            setup.sourceMin[0] = r.left, setup.sourceMin[1] = r.top;
            setup.sourceMax[0] = r.right, setup.sourceMax[1] = r.bottom;
        }
        ReferenceWarp reference(image, setup, c.outW, c.outH);
        EXPECT_EQ(CompareWithReference(host.Render(input), reference, 3), 0);
    }
}

TEST_F(TessivarAutoFit, LeavesPointsTheHostHasMoved) {
    EffectHost host(640, 360);
    ASSERT_TRUE(host.Ok());
    host.Set(kPoint3X, 0.7f);
    tessivar::InputTexture input = MakeInput(Solid(480, 480, 90, 90, 90, 255));
    host.Process(input);
    const float expected[8] = {0, 0, 1, 0, 0.7f, 1, 0, 1};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(host.Get(i), expected[i]) << "parameter " << i;
    EXPECT_TRUE(host.Events().empty());
    host.Set(kPoint3X, 1.0f);  // back at the default, but the request is gone
    host.Process(input);
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(TessivarAutoFit, WaitsForAUsableViewport) {
    EffectHost host(0, 1080);
    ASSERT_TRUE(host.Ok());
    tessivar::InputTexture input = MakeInput(Solid(1080, 1080, 90, 90, 90, 255));
    host.Process(input);
    EXPECT_TRUE(host.Events().empty());
    EXPECT_FLOAT_EQ(host.Get(kPoint1X), 0.0f);

    host.Resize(1920, 1080);
    host.Process(input);
    ExpectPointsOn(host, {0.21875f, 0, 0.78125f, 1});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, HostWritingDefaultsBackKeepsTheFittedPoints) {
    EffectHost host(1080, 1920);
    ASSERT_TRUE(host.Ok());
    tessivar::InputTexture input = MakeInput(Solid(192, 108, 90, 90, 90, 255));
    host.Process(input);
    ExpectFitEvents(host);

    // A host restoring a preset writes the registered defaults back.
    host.SetPoints(kDefaultPoints);
    ExpectPointsOn(host, {0, 0.341796875f, 1, 0.658203125f});
    host.Set(kPoint2Y, 0.0000005f);
    EXPECT_FLOAT_EQ(host.Get(kPoint2Y), 0.341796875f);
    // Only a point's own default is replaced: 0 is not the default of Point 3 Y.
    host.Set(kPoint3Y, 0.0f);
    EXPECT_FLOAT_EQ(host.Get(kPoint3Y), 0.0f);
    host.Set(kPoint2Y, 0.2f);
    EXPECT_FLOAT_EQ(host.Get(kPoint2Y), 0.2f);
}

TEST_F(TessivarAutoFit, ChangingAutoBoundsOrInputAspectFitsAgain) {
    EffectHost host(1920, 1080);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    tessivar::InputTexture input = MakeInput(Solid(1080, 1080, 90, 90, 90, 255));
    host.Process(input);
    ExpectFitEvents(host);
    host.Set(kPoint1Y, 0.3f);

    // Neither guides nor a change below a millionth request a fit.
    host.Set(kShowGuides, 1.0f);
    host.Set(kAutoBounds, 1.0f);
    host.Set(kInputAspect, 1.0000001f);
    host.Process(input);
    EXPECT_TRUE(host.Events().empty());
    EXPECT_FLOAT_EQ(host.Get(kPoint1Y), 0.3f);

    // 0.3 counts as off: points reset at once (no events yet), refit next frame.
    host.Set(kAutoBounds, 0.3f);
    EXPECT_FLOAT_EQ(host.Get(kAutoBounds), 0.3f);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(host.Get(i), kDefaultPoints[i]) << "parameter " << i;
    EXPECT_TRUE(host.Events().empty());
    host.Process(input);
    ExpectPointsOn(host, {0.21875f, 0, 0.78125f, 1});  // "Input Aspect" 1
    ExpectFitEvents(host);

    host.Set(kInputAspect, 2.0f);
    host.Process(input);
    ExpectPointsOn(host, {0, 0.05555555f, 1, 0.94444442f});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, AnalysisIsImmuneToTheHostsScissorAndPackState) {
    tessivar::Image image = Gradient(480, 270);
    ClearColumns(image, 60, 60);
    EffectHost host(480, 270);
    ASSERT_TRUE(host.Ok());
    tessivar::InputTexture input = MakeInput(image);

    // A host that left a scissor box and a wide pack row length behind.
    host.BindHostState();
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 16, 16);
    glPixelStorei(GL_PACK_ROW_LENGTH, 300);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    testhost::ProcessRecord record;
    const FFGLTextureStruct& d = input.Desc();
    record.AddInput(d.Width, d.Height, d.HardwareWidth, d.HardwareHeight, d.Handle);
    EXPECT_EQ(host.ProcessRaw(record.Arg()), testhost::kSuccess);

    GLint rowLength = 0, alignment = 0;
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(rowLength, 300);
    EXPECT_EQ(alignment, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDisable(GL_SCISSOR_TEST);

    ExpectPointsOn(host, {0.125f, 0, 0.875f, 1});
}

}  // namespace
}  // namespace effecttest
