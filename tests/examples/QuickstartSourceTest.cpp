// The noise source through plugMain: silent without audio, lit by the bass
// the host writes into its FFT parameter.
#include "tests/examples/ExampleHost.h"

#include <cstring>

using namespace examples;
using testhost::ProcessRecord;

namespace {

constexpr uint32_t kFFT = 0;
constexpr uint32_t kBins = 2048;
constexpr uint32_t kBassBins = kBins / 3;

class NoiseTest : public ExampleTest {
protected:
    void SetUp() override {
        ExampleTest::SetUp();
        Load("QUICKSTARTSOURCE", 32, 32);
    }

    // Mean brightness of the red channel after one frame.
    double Brightness() {
        ProcessRecord none;
        EXPECT_EQ(Frame(none), testhost::kSuccess);
        const tessivar::Image out = Output();
        double sum = 0;
        for (uint32_t y = 0; y < out.height; ++y)
            for (uint32_t x = 0; x < out.width; ++x)
                sum += out.At(x, y)[0];
        return sum / (out.width * out.height);
    }

    void SetBass(float level) {
        for (uint32_t bin = 0; bin < kBassBins; ++bin)
            ASSERT_EQ(SetElement(kFFT, bin, level), testhost::kSuccess);
    }
};

}  // namespace

TEST_F(NoiseTest, AnswersWithItsOwnIdentity) {
    ExpectIdentity("TQSS", "QS Noise", 1 /* source */, 0);
}

TEST_F(NoiseTest, SilenceIsBlack) {
    EXPECT_EQ(Brightness(), 0.0);
    EXPECT_EQ(Pixel(3, 3).a, 255);
}

TEST_F(NoiseTest, BassFromTheHostLightsTheNoise) {
    SetBass(1.0f);
    const double first = Brightness();
    const double second = Brightness();
    EXPECT_GT(first, 10.0);
    EXPECT_GT(second, first);  // the level rises towards the bass over frames

    // It is noise, not a flat fill.
    const tessivar::Image out = Output();
    int lowest = 255, highest = 0;
    for (uint32_t x = 0; x < out.width; ++x) {
        lowest = std::min<int>(lowest, out.At(x, 16)[0]);
        highest = std::max<int>(highest, out.At(x, 16)[0]);
    }
    EXPECT_GT(highest - lowest, 20);

    SetBass(0.0f);
    EXPECT_LT(Brightness(), second);  // and falls back when the bass stops

    EXPECT_EQ(SetElement(kFFT, kBins, 1.0f), testhost::kFail);  // past the last bin
}
