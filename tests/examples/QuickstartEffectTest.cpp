// The showcase effect through plugMain: identity, every parameter kind as the
// shader uses it, triggers, texts and a padded input texture.
#include "tests/examples/ExampleHost.h"

#include <cstdlib>
#include <cstring>

using namespace examples;
using testhost::ProcessRecord;

namespace {

enum Param : uint32_t {
    kBrightness = 0, kLevels, kChannel, kInvert, kShowTint, kFlash,
    kTint, kTintGreen, kTintBlue, kOverlay, kOverlaySaturation, kOverlayBrightness, kOverlayAlpha, kCaption,
};

const Rgba kInput = { 200, 100, 40, 255 };

class ShowcaseTest : public ExampleTest {
protected:
    void SetUp() override {
        ExampleTest::SetUp();
        Load("QUICKSTARTEFFECT", 8, 8);
        input = MakeInput(Filled(8, 8, kInput));
        AddInput(frame, *input);
    }

    // One frame; the colour in the middle of the output.
    Rgba Render() {
        EXPECT_EQ(Frame(frame), testhost::kSuccess);
        return Pixel(4, 4);
    }

    std::unique_ptr<tessivar::InputTexture> input;
    ProcessRecord frame;
};

}  // namespace

TEST_F(ShowcaseTest, AnswersWithItsOwnIdentity) {
    ExpectIdentity("TQSE", "QS Showcase", 0 /* effect */, 1);
}

TEST_F(ShowcaseTest, DefaultsPassTheInputThrough) {
    ExpectNear(Render(), 200, 100, 40);
    EXPECT_EQ(GetFloat(kBrightness), 1.0f);
}

TEST_F(ShowcaseTest, NumericParametersShapeTheColour) {
    SetFloat(kBrightness, 0.5f);
    ExpectNear(Render(), 100, 50, 20);
    SetFloat(kBrightness, 1.0f);

    SetFloat(kLevels, 2.0f);  // steps of one half
    ExpectNear(Render(), 255, 128, 0);
    SetFloat(kLevels, 0.0f);

    SetFloat(kChannel, 2.0f);  // Green
    ExpectNear(Render(), 0, 100, 0);
    SetFloat(kChannel, 7.0f);  // no such option: back to the first, All
    EXPECT_EQ(GetFloat(kChannel), 0.0f);
    ExpectNear(Render(), 200, 100, 40);

    SetFloat(kInvert, 1.0f);
    ExpectNear(Render(), 55, 155, 215);
    SetFloat(kInvert, 0.0f);
}

TEST_F(ShowcaseTest, ColourGroupsTintTheImage) {
    SetFloat(kTint, 0.25f);  // red channel halved
    ExpectNear(Render(), 100, 100, 40);
    SetFloat(kTint, 0.5f);

    SetFloat(kOverlaySaturation, 1.0f);  // hue 0, fully saturated: pure red
    ExpectNear(Render(), 200, 0, 0);
    SetFloat(kOverlayAlpha, 0.5f);
    ExpectNear(Render(), 200, 50, 20);
}

TEST_F(ShowcaseTest, TriggerLastsOneFrameEventStays) {
    SetFloat(kFlash, 1.0f);
    ExpectNear(Render(), 255, 255, 255);
    EXPECT_EQ(GetFloat(kFlash), 0.0f);
    ExpectNear(Render(), 200, 100, 40);

    SetFloat(kShowTint, 1.0f);
    ExpectNear(Render(), 128, 128, 128);
    EXPECT_EQ(GetFloat(kShowTint), 1.0f);
    ExpectNear(Render(), 128, 128, 128);
}

TEST_F(ShowcaseTest, CaptionIsATextParameter) {
    EXPECT_STREQ(testhost::AsPtr<const char>(module->Call(kGetParameterDefault, kCaption)), "Tessivar");
    EXPECT_STREQ(testhost::AsPtr<const char>(module->Call(kGetParameter, kCaption, instance)), "Tessivar");
    testhost::Record text = testhost::SetParamText(kCaption, "Hello");
    EXPECT_EQ(module->Call(kSetParameter, text, instance), testhost::kSuccess);
    EXPECT_STREQ(testhost::AsPtr<const char>(module->Call(kGetParameter, kCaption, instance)), "Hello");
    EXPECT_EQ(module->Call(kGetParameterDisplay, kCaption, instance), testhost::kFail);
}

TEST_F(ExampleTest, ShowcaseSamplesOnlyTheImageOfAPaddedTexture) {
    Load("QUICKSTARTEFFECT", 40, 30);
    tessivar::Image image(40, 30);
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 40; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(x * 6);
            p[1] = uint8_t(y * 8);
            p[2] = 30;
            p[3] = 255;
        }
    auto input = MakeInput(image, 64, 64);  // used fraction 0.625 x 0.46875
    ProcessRecord frame;
    AddInput(frame, *input);
    ASSERT_EQ(Frame(frame), testhost::kSuccess);

    const tessivar::Image out = Output();
    int worst = 0;
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            for (int c = 0; c < 4; ++c)
                worst = std::max(worst, std::abs(out.At(x, y)[c] - image.At(x, y)[c]));
    EXPECT_LE(worst, 1) << "the output shows more (or less) than the image";
}
