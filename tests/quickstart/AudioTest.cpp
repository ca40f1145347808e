// Audio levels: bands, gain, smoothing, and what short or bad spectra do.
#include "quickstart/FFGLAudio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using ffglqs::Audio;

namespace {

void ExpectLevels(const Audio& audio, float volume, float bass, float med, float high) {
    EXPECT_FLOAT_EQ(audio.GetVolume(), volume);
    EXPECT_FLOAT_EQ(audio.GetBass(), bass);
    EXPECT_FLOAT_EQ(audio.GetMed(), med);
    EXPECT_FLOAT_EQ(audio.GetHigh(), high);
}

}  // namespace

TEST(Audio, GainSmoothingAndDecibels) {
    Audio audio;
    audio.Update(std::vector<float>(2048, 0.5f));
    ExpectLevels(audio, 0, 0, 0, 0);  // silent until a gain is set
    audio.SetGain(0.0f);              // unity
    audio.Update(std::vector<float>(2048, 0.5f));
    ExpectLevels(audio, 0.1f, 0.1f, 0.1f, 0.1f);  // 0.8 * 0 + 0.2 * 0.5
    audio.SetGain(20.0f);
    EXPECT_NEAR(audio.GetGain(), 10.0f, 1e-5f);
    audio.SetGain(-20.0f);
    EXPECT_NEAR(audio.GetGain(), 0.1f, 1e-7f);

    const float toDB[][2] = {{1, 1}, {0.001f, 0.375f}, {0, 0}, {10, 1}, {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& c : toDB) EXPECT_FLOAT_EQ(Audio::ToDB(c[0]), c[1]) << c[0];
}

TEST(Audio, BandBoundariesCountOnlyTowardsVolume) {
    // 9 bins: bass 0..2, med 4..5, high 7..8; bins 3 and 6 are the boundaries.
    Audio audio;
    audio.SetGain(0.0f);
    audio.SetSmoothness(0.0f);
    audio.Update({1, 1, 1, 100, 2, 2, 100, 3, 3});
    ExpectLevels(audio, std::sqrt((3 * 1.0f + 2 * 4.0f + 2 * 9.0f + 2 * 10000.0f) / 9.0f), 1.0f, 2.0f, 3.0f);
}

TEST(Audio, ShortAndNonFiniteSpectraReadAsSilenceAndRecover) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<float>> spectra = {
        {},
        {1},
        {1, 1},
        {1, 1, 1},
        {1, 1, 1, 1},
        {1, 1, 1, 1, 1},  // bands without bins: 0, not 0 / 0
        {nan, 0, 0, 0, inf, 0, 0, 0, 1e30f},
    };
    for (const auto& spectrum : spectra) {
        Audio audio;
        audio.SetGain(0.0f);
        audio.SetSmoothness(0.5f);
        audio.Update(spectrum);
        for (float level : {audio.GetVolume(), audio.GetBass(), audio.GetMed(), audio.GetHigh()})
            EXPECT_TRUE(std::isfinite(level)) << spectrum.size();
        audio.SetSmoothness(0.0f);  // not stuck: with no smoothing a full spectrum reads at once
        audio.Update(std::vector<float>(9, 1.0f));
        ExpectLevels(audio, 1, 1, 1, 1);
    }
    Audio audio;  // an infinite gain times a silent bin is NaN too
    audio.SetGain(1e30f);
    audio.Update(std::vector<float>(9, 0.0f));
    EXPECT_EQ(audio.GetVolume(), 0.0f);
}
