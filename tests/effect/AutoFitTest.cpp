// The automatic first fit, seen only through what a host can observe: the
// parameter events it collects, the values it reads back, and the picture.
#include "tests/effect/ReferenceWarp.h"
#include "tests/support/GLTest.h"

#include "gl/GLIncludes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace effecttest {
namespace {

class TessivarAutoFit : public GLTest {};

struct Rect {
    float left, top, right, bottom;
};

// The points a rectangle fit leaves, in parameter order.
void ExpectPointsOn(const PluginHost& host, const Rect& r) {
    const float expected[8] = {r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom};
    for (uint32_t i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(host.Get(i), expected[i]) << "parameter " << i;
}

// One event with flag 2 for each of the eight points, nothing else, and
// nothing left for a second collection.
void ExpectFitEvents(const PluginHost& host) {
    const auto events = host.Events();
    ASSERT_EQ(events.size(), 8u);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(events[i], std::make_pair(i, uint64_t(2)));
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(TessivarAutoFit, FitsARectangleOfTheRightAspect) {
    const auto bars = [](uint32_t w, uint32_t h) {
        tessivar::Image image = Gradient(w, h);
        ClearColumns(image, 240, 240);
        return image;
    };
    const auto faintBars = [&](uint32_t w, uint32_t h) {  // alpha 12 is still transparent, 13 would not be
        tessivar::Image image = bars(w, h);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < 240; ++x) image.At(x, y)[3] = image.At(w - 1 - x, y)[3] = 12;
        return image;
    };
    const struct {
        const char* name;
        std::function<tessivar::Image(uint32_t, uint32_t)> picture;
        uint32_t inW, inH, outW, outH;
        float autoBounds, inputAspect;
        Rect rect;
        bool cropped;  // the source becomes the rectangle too
    } cases[] = {
        {"opaque, the output's shape: the whole frame, events still raised",
         Gradient,
         1920,
         1080,
         1920,
         1080,
         1,
         1,
         {0, 0, 1, 1},
         false},
        {"240-pixel transparent bars", bars, 1920, 1080, 1920, 1080, 1, 1, {0.125f, 0, 0.875f, 1}, true},
        {"bars of alpha 12", faintBars, 1920, 1080, 1920, 1080, 1, 1, {0.125f, 0, 0.875f, 1}, true},
        // Aspects 0.00087 apart count as equal: detection runs and finds the
        // whole frame, then the input's own aspect decides.
        {"1366 x 768 in 1920 x 1080",
         Gradient,
         1366,
         768,
         1920,
         1080,
         1,
         1,
         {0, 0.00024402142f, 1, 0.99975598f},
         false},
        {"square in 1920 x 1080", Gradient, 1080, 1080, 1920, 1080, 1, 1, {0.21875f, 0, 0.78125f, 1}, false},
        {"1920 x 1080 in portrait", Gradient, 1920, 1080, 1080, 1920, 1, 1, {0, 0.341796875f, 1, 0.658203125f}, false},
        // "Auto Bounds" off: an input of the output's shape is taken to carry
        // a picture of "Input Aspect" centred in it.
        {"aspect 1 in the output's shape", Gradient, 1920, 1080, 1920, 1080, 0, 1, {0.21875f, 0, 0.78125f, 1}, true},
        {"aspect 2, 1280 x 720 in 1920 x 1080",
         Gradient,
         1280,
         720,
         1920,
         1080,
         0,
         2,
         {0, 0.05555555f, 1, 0.94444442f},
         true},
        {"aspect 2 in a square input", Gradient, 1080, 1080, 1920, 1080, 0, 2, {0, 0.05555555f, 1, 0.94444442f}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tessivar::Image image = c.picture(c.inW, c.inH);
        PluginHost host(Tessivar(), c.outW, c.outH);
        ASSERT_TRUE(host.Ok());
        host.Set(kShowGuides, 0.0f);
        host.Set(kAutoBounds, c.autoBounds);
        host.Set(kInputAspect, c.inputAspect);
        const tessivar::InputTexture input = MakeInput(image);
        host.Render(input);
        ExpectPointsOn(host, c.rect);
        ExpectFitEvents(host);

        // Points and crop agree with the picture; a crop left at the whole
        // input would squeeze the bars into the frame.
        const Rect& r = c.rect;
        WarpSetup setup{{r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom}};
        if (c.cropped) {
            setup.sourceMin[0] = r.left, setup.sourceMin[1] = r.top;
            setup.sourceMax[0] = r.right, setup.sourceMax[1] = r.bottom;
        }
        EXPECT_EQ(CompareWithReference(host.Render(input), image, setup, 3), 0);
        EXPECT_TRUE(host.Events().empty()) << "a fit happens once per request";
    }
}

TEST_F(TessivarAutoFit, MeasuresOnlyTheImageOfAPaddedTexture) {
    // One opaque pixel at column 10, row 20 from the bottom of a 256 x 256
    // image in a 512 x 512 texture padded with opaque magenta: the analysis
    // samples each image pixel once and never the padding.
    tessivar::Image image = Solid(256, 256, 0, 0, 0, 0);
    std::fill(image.At(10, 255 - 20), image.At(10, 255 - 20) + 4, uint8_t(255));
    PluginHost host(Tessivar(), 512, 512);
    ASSERT_TRUE(host.Ok());
    host.Render(MakeInput(image, 512, 512));
    ExpectPointsOn(host, {0.0390625f, 0.91796875f, 0.04296875f, 0.921875f});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, GivesATransparentInputThirtyChancesThenFitsItsAspect) {
    PluginHost host(Tessivar(), 480, 270);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    const tessivar::InputTexture input = MakeInput(Solid(480, 270, 0, 0, 0, 0));
    for (int frame = 1; frame < 30; ++frame) {
        host.Render(input);
        ASSERT_TRUE(host.Events().empty()) << "frame " << frame;
    }
    host.Render(input);
    ExpectPointsOn(host, {0, 0, 1, 1});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, LeavesPointsTheHostHasMovedAndWaitsForAUsableViewport) {
    const tessivar::InputTexture square = MakeInput(Solid(480, 480, 90, 90, 90, 255));
    {
        PluginHost host(Tessivar(), 640, 360);
        ASSERT_TRUE(host.Ok());
        host.Set(kPoint3X, 0.7f);
        host.Render(square);
        const float expected[8] = {0, 0, 1, 0, 0.7f, 1, 0, 1};
        for (uint32_t i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(host.Get(i), expected[i]) << "parameter " << i;
        EXPECT_TRUE(host.Events().empty());
        host.Set(kPoint3X, 1.0f);  // back at the default, but the request is gone
        host.Render(square);
        EXPECT_TRUE(host.Events().empty());
    }
    PluginHost host(Tessivar(), 0, 1080);
    ASSERT_TRUE(host.Ok());
    host.Render(square);
    EXPECT_TRUE(host.Events().empty()) << "no fit into a zero-width viewport";
    host.Resize(1920, 1080);
    host.Render(square);
    ExpectPointsOn(host, {0.21875f, 0, 0.78125f, 1});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, DefaultsWrittenBackKeepTheFitAndOnlyFitSettingsFitAgain) {
    PluginHost host(Tessivar(), 1920, 1080);
    ASSERT_TRUE(host.Ok());
    host.Set(kShowGuides, 0.0f);
    const tessivar::InputTexture input = MakeInput(Solid(1080, 1080, 90, 90, 90, 255));
    host.Render(input);
    ExpectFitEvents(host);
    // A host restoring a preset writes the registered defaults back; within
    // a millionth counts as the default. 0 is not the default of Point 2 X.
    host.SetPoints(kDefaultPoints);
    ExpectPointsOn(host, {0.21875f, 0, 0.78125f, 1});
    host.Set(kPoint1X, 0.0000005f);
    EXPECT_FLOAT_EQ(host.Get(kPoint1X), 0.21875f);
    host.Set(kPoint2X, 0.0f);
    EXPECT_FLOAT_EQ(host.Get(kPoint2X), 0.0f);
    host.Set(kPoint1Y, 0.3f);

    // Neither guides nor a change below a millionth request a fit.
    host.Set(kShowGuides, 1.0f);
    host.Set(kAutoBounds, 1.0f);
    host.Set(kInputAspect, 1.0000001f);
    host.Render(input);
    EXPECT_TRUE(host.Events().empty());
    EXPECT_FLOAT_EQ(host.Get(kPoint1Y), 0.3f);

    // 0.3 counts as off: points reset at once (no events yet), refit next frame.
    host.Set(kAutoBounds, 0.3f);
    EXPECT_FLOAT_EQ(host.Get(kAutoBounds), 0.3f);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(host.Get(i), kDefaultPoints[i]) << "parameter " << i;
    EXPECT_TRUE(host.Events().empty());
    host.Render(input);
    ExpectPointsOn(host, {0.21875f, 0, 0.78125f, 1});  // "Input Aspect" 1
    ExpectFitEvents(host);
    host.Set(kInputAspect, 2.0f);
    host.Render(input);
    ExpectPointsOn(host, {0, 0.05555555f, 1, 0.94444442f});
    ExpectFitEvents(host);
}

TEST_F(TessivarAutoFit, AnalysisIsImmuneToTheHostsScissorAndPackState) {
    tessivar::Image image = Gradient(480, 270);
    ClearColumns(image, 60, 60);
    PluginHost host(Tessivar(), 480, 270);
    ASSERT_TRUE(host.Ok());
    const tessivar::InputTexture input = MakeInput(image);
    ProcessRecord record;
    record.AddInput(480, 270, 480, 270, input.Desc().Handle);
    // A host that left a scissor box on viewport 0 (only) and a wide pack
    // row length behind; the scissor test of viewport 1 must stay off.
    host.BindHostState();
    glEnablei(GL_SCISSOR_TEST, 0);
    glScissor(0, 0, 16, 16);
    glPixelStorei(GL_PACK_ROW_LENGTH, 300);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    EXPECT_EQ(Tessivar().Call(FF_PROCESS_OPENGL, record.Arg(), host.Instance()), kSuccess);
    GLint rowLength = 0, alignment = 0;
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(rowLength, 300);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(glIsEnabledi(GL_SCISSOR_TEST, 1), GL_FALSE);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glDisable(GL_SCISSOR_TEST);
    ExpectPointsOn(host, {0.125f, 0, 0.875f, 1});
}

}  // namespace
}  // namespace effecttest
