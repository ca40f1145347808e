// ffglrun with video files and audio: clips in and out of every container
// with their audio, and audio driving an FFT parameter.
#include "runner/ImageIO.h"
#include "runner/media/Media.h"
#include "tests/runner/CliRunner.h"
#include "tests/runner/MediaFixtures.h"

#include <gtest/gtest.h>

namespace {

using clitest::Cli;
using clitest::Result;
using tessivar::ClipReader;
using tessivar::Image;

class MediaCli : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        if (!tessivar::MediaSupported()) GTEST_SKIP() << "this build has no media support";
        const char* path = std::getenv("TESSIVAR_MODULE_TESSIVAR");
        tessivar = path ? path : "";
        if (tessivar.empty()) GTEST_SKIP() << "the Tessivar module is not part of this build";
    }
    // Every frame of a clip, each with its time.
    std::vector<std::pair<Image, double>> Frames(const std::string& path) {
        std::vector<std::pair<Image, double>> frames;
        std::string error;
        auto clip = ClipReader::Open(path, error);
        EXPECT_TRUE(clip) << error;
        Image img;
        double t = 0;
        while (clip && clip->Next(img, t, error)) frames.emplace_back(img, t);
        EXPECT_EQ(error, "");
        return frames;
    }
    bool HasAudio(const std::string& path) {
        std::string error;
        auto clip = ClipReader::Open(path, error);
        return clip && clip->HasAudio();
    }
    std::string tessivar;
};

TEST_F(MediaCli, ClipsPassThroughTessivarIntoEveryContainerWithTheirAudio) {
    // Source clips made by ffglrun itself, 2 s at 4 frames/s: moving noise
    // lit by a tone from 1 s on (with the tone's audio), and a picture with
    // transparent bars (silent).
    mediatest::WriteToneWav(dir + "tone.wav", 8000, 2.0, 60, 1.0);
    ASSERT_EQ(Run({"render", Module("QUICKSTARTSOURCE"), "--audio", dir + "tone.wav", "--size", "64x48", "--frames",
                   "8", "--fps", "4", "--out", dir + "lit.mkv"}).code, 0);
    ASSERT_EQ(Run({"render", tessivar, "--pattern", "alpha-bars", "--size", "64x48", "--frames", "8", "--fps", "4",
                   "--set", "Show Guides=off", "--set", "Auto Bounds=off", "--out", dir + "bars.mkv"}).code, 0);
    EXPECT_TRUE(HasAudio(dir + "lit.mkv"));
    EXPECT_FALSE(HasAudio(dir + "bars.mkv"));
    // The spectrum of each frame ends at its time: black before the tone, lit after.
    const auto lit = Frames(dir + "lit.mkv");
    ASSERT_EQ(lit.size(), 8u);
    EXPECT_EQ(mediatest::MeanDifference(lit[2].first, Image(64, 48), false), 0.0);  // 0.5 s
    EXPECT_GT(mediatest::MeanDifference(lit[7].first, Image(64, 48), false), 32.0);  // 1.75 s

    // The tolerance is a mean difference per channel value: 4:2:0 blurs the bars' edges.
    const struct { const char* in, *ext; bool alpha, audio; double tolerance; } cases[] = {
        {"lit.mkv", "mov", true, true, 0.05},
        {"lit.mkv", "mkv", true, true, 0.0},
        {"bars.mkv", "webm", true, false, 6.0},
        {"bars.mkv", "mp4", false, false, 6.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string out = dir + "out." + c.ext;
        // Fitted to the whole canvas, the warp passes the picture through.
        const Result r = Run({"render", tessivar, "--input", dir + c.in, "--start", "0.75", "--frames", "4", "--set",
                              "Show Guides=off", "--set", "Auto Bounds=off", "--set", "Input Aspect=1.3333333",
                              "--out", out});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err.find("ffglrun: note: " + out + " keeps no alpha; frames are composited over black"),
                  c.alpha ? std::string::npos : 0u) << r.err;
        EXPECT_EQ(HasAudio(out), c.audio);
        const auto source = Frames(dir + c.in), result = Frames(out);
        ASSERT_EQ(result.size(), 4u);
        for (size_t i = 0; i < result.size(); ++i) {
            EXPECT_NEAR(result[i].second, double(i) / 4.0, 1e-3);
            Image expected = source.at(i + 3).first;  // 0.75 s in
            if (!c.alpha)
                for (size_t p = 0; p < expected.rgba.size(); p += 4)
                    for (size_t k = 0; k < 4; ++k)
                        expected.rgba[p + k] = uint8_t(k == 3 ? 255 : (expected.rgba[p + k] * expected.rgba[p + 3] + 127) / 255);
            EXPECT_LE(mediatest::MeanDifference(result[i].first, expected, true), c.tolerance) << "frame " << i;
        }
    }
    // A clip shorter than --frames ends the run with its last frame written.
    ASSERT_EQ(Run({"render", tessivar, "--input", dir + "bars.mkv", "--frames", "100", "--out", dir + "last.png"}).code, 0);
    Image last;
    std::string error;
    EXPECT_TRUE(tessivar::ReadPng(dir + "last.png", last, error) && last.width == 64) << error;
}

}  // namespace
