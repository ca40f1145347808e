// The three example modules through plugMain: every parameter kind of the
// showcase as its shader uses it, the crossfade, and the noise source lit by
// the bass the host writes into its FFT parameter. Their information records
// are checked by ffglrun check and their pictures by the goldens.
#include "tests/support/GLTest.h"
#include "tests/support/PluginHost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testhost;

class Examples : public GLTest {};

struct Rgb {
    int r, g, b;
};

// The centre colour within 2 steps summed over red, green and blue.
void ExpectNear(const tessivar::Image& image, Rgb want, uint32_t x = 4, uint32_t y = 4) {
    const uint8_t* p = image.At(x, y);
    EXPECT_LE(std::abs(p[0] - want.r) + std::abs(p[1] - want.g) + std::abs(p[2] - want.b), 2)
        << "got " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]) << " want " << want.r << "," << want.g << ","
        << want.b;
}

// ---- the showcase effect, over an input of 200, 100, 40 ---------------------

enum Showcase : uint32_t {
    kBrightness,
    kLevels,
    kChannel,
    kInvert,
    kShowTint,
    kFlash,
    kTint,
    kTintGreen,
    kTintBlue,
    kOverlay,
    kOverlaySaturation,
    kOverlayBrightness,
    kOverlayAlpha,
    kCaption,
};

TEST_F(Examples, ShowcaseParametersShapeTheColourAsTheShaderSays) {
    const struct {
        const char* name;
        std::vector<std::pair<uint32_t, float>> settings;
        Rgb expected;
    } cases[] = {
        {"defaults pass the input through", {}, {200, 100, 40}},
        {"range: brightness halved", {{kBrightness, 0.5f}}, {100, 50, 20}},
        {"integer range: steps of one half", {{kLevels, 2}}, {255, 128, 0}},
        {"option: Green", {{kChannel, 2}}, {0, 100, 0}},
        {"option past the end: the first, All", {{kChannel, 7}}, {200, 100, 40}},
        {"bool: invert", {{kInvert, 1}}, {55, 155, 215}},
        {"event: show the tint", {{kShowTint, 1}}, {128, 128, 128}},
        {"RGB group: red halved", {{kTint, 0.25f}}, {100, 100, 40}},
        {"hue group: pure red", {{kOverlaySaturation, 1}}, {200, 0, 0}},
        {"hue group: pure green", {{kOverlay, 1.0f / 3}, {kOverlaySaturation, 1}}, {0, 100, 0}},
        {"hue group at half alpha", {{kOverlaySaturation, 1}, {kOverlayAlpha, 0.5f}}, {200, 50, 20}},
    };
    const tessivar::InputTexture input = MakeInput(Solid(8, 8, 200, 100, 40, 255));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PluginHost host(SharedModule("QUICKSTARTEFFECT"), 8, 8);
        ASSERT_TRUE(host.Ok()) << "the shader did not build?";
        for (const auto& [index, value] : c.settings) host.Set(index, value);
        ExpectNear(host.Render(input), c.expected);
        ExpectNear(host.Render(input), c.expected);  // and it stays
    }
    Module& module = SharedModule("QUICKSTARTEFFECT");
    PluginHost host(module, 8, 8);
    // The caption is a text: served as one, and with no number to display.
    EXPECT_STREQ(AsPtr<const char>(module.Call(FF_GET_PARAMETER, kCaption, host.Instance())), "Tessivar");
    EXPECT_EQ(module.Call(FF_GET_PARAMETER_DISPLAY, kCaption, host.Instance()), kFail);
    host.Set(kChannel, 7);
    EXPECT_EQ(host.Get(kChannel), 0.0f);
    host.Set(kFlash, 1);
    ExpectNear(host.Render(input), {255, 255, 255});
    EXPECT_EQ(host.Get(kFlash), 0.0f) << "a trigger lasts one frame";
    ExpectNear(host.Render(input), {200, 100, 40});
    EXPECT_EQ(host.Frame({}), kFail) << "an effect needs its input";
}

TEST_F(Examples, ShowcaseSamplesOnlyTheImageOfAPaddedTexture) {
    PluginHost host(SharedModule("QUICKSTARTEFFECT"), 40, 30);
    const tessivar::Image image = Gradient(40, 30);
    const tessivar::Image out = host.Render(MakeInput(image, 64, 64));  // used fraction 0.625 x 0.46875
    int worst = 0;
    for (size_t i = 0; i < out.rgba.size(); ++i) worst = std::max(worst, std::abs(out.rgba[i] - image.rgba[i]));
    EXPECT_LE(worst, 1) << "the output shows more (or less) than the image";
}

TEST_F(Examples, CrossfadeMixesTwoInputsAndRefusesOne) {
    PluginHost host(SharedModule("QUICKSTARTMIXER"), 8, 8);
    ASSERT_TRUE(host.Ok());
    const tessivar::InputTexture first = MakeInput(Solid(8, 8, 200, 0, 0, 255));
    const tessivar::InputTexture second = MakeInput(Solid(8, 8, 0, 0, 100, 255), 16, 32);  // padded
    for (const auto& [mix, expected] :
         {std::pair<float, Rgb>{0, {200, 0, 0}}, {0.5f, {100, 0, 50}}, {1, {0, 0, 100}}}) {
        host.Set(0, mix);
        ASSERT_EQ(host.Frame({&first, &second}), kSuccess);
        ExpectNear(host.Output(), expected, 7, 0);  // the far corner: still no padding
    }
    EXPECT_EQ(host.Frame({&first}), kFail);
    EXPECT_EQ(host.Output().At(4, 4)[3], 0) << "nothing drawn";
    ProcessRecord secondMissing;
    secondMissing.AddInput(8, 8, 8, 8, first.Desc().Handle);
    secondMissing.AddNullInput();
    EXPECT_EQ(host.Frame(secondMissing), kFail);
}

TEST_F(Examples, NoiseIsBlackInSilenceAndLitByTheBass) {
    PluginHost host(SharedModule("QUICKSTARTSOURCE"), 32, 32);
    ASSERT_TRUE(host.Ok());
    const auto brightness = [&] {  // mean red after one frame
        EXPECT_EQ(host.Frame({}), kSuccess);
        const tessivar::Image out = host.Output();
        double sum = 0;
        for (size_t i = 0; i < out.rgba.size(); i += 4) sum += out.rgba[i];
        return sum / (out.width * out.height);
    };
    const auto setBass = [&](float level) {  // the lowest third of 2048 bins
        for (uint32_t bin = 0; bin < 2048 / 3; ++bin) ASSERT_EQ(host.SetElement(0, bin, level), kSuccess);
    };
    EXPECT_EQ(brightness(), 0.0);
    EXPECT_EQ(host.Output().At(3, 3)[3], 255);

    setBass(1.0f);
    const double first = brightness(), second = brightness();
    EXPECT_GT(first, 10.0);
    EXPECT_GT(second, first) << "the level rises towards the bass over frames";
    const tessivar::Image out = host.Output();
    int lowest = 255, highest = 0;
    for (uint32_t x = 0; x < out.width; ++x) {
        lowest = std::min<int>(lowest, out.At(x, 16)[0]);
        highest = std::max<int>(highest, out.At(x, 16)[0]);
    }
    EXPECT_GT(highest - lowest, 20) << "noise, not a flat fill";
    setBass(0.0f);
    EXPECT_LT(brightness(), second) << "and falls back when the bass stops";
    EXPECT_EQ(host.SetElement(0, 2048, 1.0f), kFail) << "past the last bin";
}

}  // namespace
