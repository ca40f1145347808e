// ffglrun with video files and audio: clips in and out of every container
// with their audio, and audio driving an FFT parameter.
#include "runner/ImageIO.h"
#include "runner/media/Media.h"
#include "tests/runner/CliRunner.h"
#include "tests/runner/MediaFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

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
        tessivar::VideoFrame frame;
        while (clip && clip->Next(frame, error)) frames.emplace_back(frame.picture, frame.Seconds(clip->Format()));
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
                   "8", "--fps", "4", "--out", dir + "lit.mkv"})
                  .code,
              0);
    ASSERT_EQ(Run({"render", tessivar, "--pattern", "alpha-bars", "--size", "64x48", "--frames", "8", "--fps", "4",
                   "--set", "Show Guides=off", "--set", "Auto Bounds=off", "--out", dir + "bars.mkv"})
                  .code,
              0);
    EXPECT_TRUE(HasAudio(dir + "lit.mkv"));
    EXPECT_FALSE(HasAudio(dir + "bars.mkv"));
    // The spectrum of each frame ends at its time: black before the tone, lit after.
    const auto lit = Frames(dir + "lit.mkv");
    ASSERT_EQ(lit.size(), 8u);
    EXPECT_EQ(mediatest::MeanDifference(lit[2].first, Image(64, 48), false), 0.0);   // 0.5 s
    EXPECT_GT(mediatest::MeanDifference(lit[7].first, Image(64, 48), false), 32.0);  // 1.75 s

    // The tolerance is a mean difference per channel value: 4:2:0 blurs the bars' edges.
    const struct {
        const char *in, *ext;
        bool alpha, audio;
        double tolerance;
    } cases[] = {
        {"lit.mkv", "mov", true, true, 0.05},
        {"lit.mkv", "mkv", true, true, 0.0},
        {"bars.mkv", "webm", true, false, 6.0},
        {"bars.mkv", "mp4", false, false, 6.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string out = dir + "out." + c.ext;
        // Fitted to the whole canvas, the warp passes the picture through.
        const Result r =
            Run({"render", tessivar, "--input", dir + c.in, "--start", "0.75", "--frames", "4", "--set",
                 "Show Guides=off", "--set", "Auto Bounds=off", "--set", "Input Aspect=1.3333333", "--out", out});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err.find("ffglrun: note: " + out + " keeps no alpha; frames are composited over black"),
                  c.alpha ? std::string::npos : 0u)
            << r.err;
        EXPECT_EQ(HasAudio(out), c.audio);
        const auto source = Frames(dir + c.in), result = Frames(out);
        ASSERT_EQ(result.size(), 4u);
        for (size_t i = 0; i < result.size(); ++i) {
            EXPECT_NEAR(result[i].second, double(i) / 4.0, 1e-3);
            Image expected = source.at(i + 3).first;  // 0.75 s in
            if (!c.alpha)
                for (size_t p = 0; p < expected.rgba.size(); p += 4)
                    for (size_t k = 0; k < 4; ++k)
                        expected.rgba[p + k] =
                            uint8_t(k == 3 ? 255 : (expected.rgba[p + k] * expected.rgba[p + 3] + 127) / 255);
            EXPECT_LE(mediatest::MeanDifference(result[i].first, expected, true), c.tolerance) << "frame " << i;
        }
    }
    // A clip shorter than --frames ends the run with its last frame written.
    ASSERT_EQ(Run({"render", tessivar, "--input", dir + "bars.mkv", "--frames", "100", "--out", dir + "last.png"}).code,
              0);
    Image last;
    std::string error;
    EXPECT_TRUE(tessivar::ReadPng(dir + "last.png", last, error) && last.width == 64) << error;
}

// Frames that decode are kept and the damage named; a file where none
// decodes fails. Pictures wider than GL renders are refused from the header.
TEST_F(MediaCli, DamagedClipsKeepTheirWholeFramesAndOversizedOnesAreRefused) {
    // 4 s at 10 frames/s, its index up front, as a download would have it.
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=10 -t 4 -pix_fmt yuv420p -g 10 "
                          "-movflags +faststart " +
                          dir + "whole.mp4"));
    const size_t size = size_t(std::filesystem::file_size(dir + "whole.mp4"));
    mediatest::Truncate(dir + "whole.mp4", dir + "half.mp4", size / 2);
    mediatest::Truncate(dir + "whole.mp4", dir + "head.mp4", 3000);
    const Result half = Run({"render", tessivar, "--input", dir + "half.mp4", "--out", dir + "half.mkv"});
    ASSERT_EQ(half.code, 0) << half.err;
    EXPECT_EQ(half.err, "ffglrun: note: " + dir + "half.mp4: 1 damaged packet(s) skipped (at 2.000 s)\n");
    EXPECT_EQ(Frames(dir + "half.mkv").size(), 20u);
    // The decoder, ahead of the render, is stopped when --frames is reached.
    const Result three =
        Run({"render", tessivar, "--input", dir + "whole.mp4", "--frames", "3", "--out", dir + "3.mkv"});
    ASSERT_EQ(three.code, 0) << three.err;
    EXPECT_EQ(Frames(dir + "3.mkv").size(), 3u);
    EXPECT_ONE_LINE(Run({"render", tessivar, "--input", dir + "head.mp4", "--out", dir + "head.mkv"}), 1,
                    dir + "head.mp4: no frame decodes; 1 damaged packet(s) skipped");

    for (const char* side : {"16384", "16385"}) {
        std::ofstream(dir + "zero.gray", std::ios::binary) << std::string(size_t(std::atoi(side)) * 16, '\0');
        ASSERT_TRUE(mediatest::Ffmpeg("-f rawvideo -pix_fmt gray -s " + std::string(side) + "x16 -i " + dir +
                                      "zero.gray -frames:v 1 -c:v ffv1 " + dir + side + ".mkv"));
    }
    const Result at = Run({"render", tessivar, "--input", dir + "16384.mkv", "--out", dir + "o.png"});
    EXPECT_EQ(at.code, 0) << at.err;
    const Result wide = Run({"render", tessivar, "--input", dir + "16385.mkv", "--out", dir + "o.png"});
    EXPECT_ONE_LINE(wide, 1, dir + "16385.mkv: its pictures are 16385x16; ffglrun renders at most 16384 pixels a side");
}

// ---- what a clip keeps ------------------------------------------------------------

// Tessivar fitted to the whole canvas passes the picture through.
std::vector<std::string> identity(const std::string& module, const std::string& in, const std::string& out,
                                  const char* aspect, const char* convert = "auto") {
    return {"render",          module,  "--input",         in,      "--set",
            "Show Guides=off", "--set", "Auto Bounds=off", "--set", std::string("Input Aspect=") + aspect,
            "--out",           out,     "--convert",       convert};
}

// Who converts the pixels: auto packs on the GL and (on llvmpipe) decodes
// through swscale; gl does both on the GL; cpu both through swscale.
const char* const kConvertModes[] = {"auto", "gl", "cpu"};

// A variable-rate clip (frames 0-2 and 7 of every 10 at 30 frames/s) keeps
// each frame's time, and its audio keeps its place beside them.
TEST_F(MediaCli, VariableRateClipsKeepTheirTimesAndTheirAudioInStep) {
    const std::string in = dir + "vfr.mp4";
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=30 -f lavfi -i sine=sample_rate=48000 "
                          "-vf \"select='lt(mod(n,10),3)+eq(mod(n,10),7)'\" -vsync vfr -t 2 "
                          "-c:v libx264 -pix_fmt yuv420p -c:a aac " +
                          in));
    const auto source = Frames(in);
    ASSERT_EQ(source.size(), 24u);
    const std::string startsBefore = mediatest::Probe(in, "-show_entries stream=codec_type,start_time");
    for (const char* ext : {"mp4", "mkv"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir + "out." + ext;
        const Result r = Run(identity(tessivar, in, out, "1.3333333"));
        ASSERT_EQ(r.code, 0) << r.err;
        const auto result = Frames(out);
        ASSERT_EQ(result.size(), source.size());
        for (size_t i = 0; i < result.size(); ++i) EXPECT_NEAR(result[i].second, source[i].second, 1e-3) << i;
        // The audio starts where it started beside the video.
        const double offsetIn = mediatest::StartOf(in, "a") - mediatest::StartOf(in, "v");
        EXPECT_NEAR(mediatest::StartOf(out, "a") - mediatest::StartOf(out, "v"), offsetIn, 1e-3) << startsBefore;
    }
}

// Through the identity quad and back, a clip tagged BT.709 (at a size a
// player would take for BT.601) decodes, as ffmpeg decodes it, to the colours
// of its source in every container, and every frame says what it is.
TEST_F(MediaCli, ColoursRoundTripThroughEveryContainer) {
    const std::string in = dir + "bars.mkv";
    // (ffmpeg 7 tags the stream as its frames are tagged, so the frames are
    // tagged too: setparams; ffmpeg 5 takes the encoder's options.)
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i smptehdbars=size=128x72:rate=10 -frames:v 2 "
                          "-vf setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709:range=tv "
                          "-c:v libx264 -qp 0 -pix_fmt yuv444p -colorspace bt709 -color_primaries bt709 "
                          "-color_trc bt709 -color_range tv " +
                          in));
    ASSERT_NE(mediatest::Probe(in, "-show_entries stream=color_primaries").find("=bt709"), std::string::npos);
    const auto source = mediatest::DecodeRgb24(in, dir + "in.rgb");
    for (const char* convert : kConvertModes)
        for (const char* ext : {"mov", "mkv", "webm", "mp4"}) {
            SCOPED_TRACE(std::string(ext) + " --convert " + convert);
            const std::string out = dir + "out." + ext;
            const Result r = Run(identity(tessivar, in, out, "1.7777778", convert));
            ASSERT_EQ(r.code, 0) << r.err;
            const auto result = mediatest::DecodeRgb24(out, dir + "out.rgb");
            ASSERT_EQ(result.size(), source.size());
            const auto error = mediatest::Errors(source, result, 128);
            std::printf("colour round trip .%s, --convert %s: median %d, mean %.2f; flat areas worst %d, mean %.2f\n",
                        ext, convert, error.median, error.mean, error.flatWorst, error.flatMean);
            // 4:2:0 (.webm, .mp4) blurs colour a pixel or two beyond an edge.
            EXPECT_LE(error.median, 2);
            EXPECT_LE(error.flatMean, 2.0);
            if (std::string(ext) == "mov" || std::string(ext) == "mkv") {
                EXPECT_LE(error.flatWorst, 2);
            }
            const std::string tags =
                mediatest::Probe(out, "-select_streams v -show_entries stream=color_space,color_primaries");
            EXPECT_NE(tags.find(std::string(ext) == "mkv" ? "color_space=gbr" : "color_space=bt709"), std::string::npos)
                << tags;
            const std::string frame = mediatest::Probe(out,
                                                       "-select_streams v -read_intervals %+#1 -show_entries "
                                                       "frame=color_space,color_primaries");
            EXPECT_NE(frame.find("color_primaries=bt709"), std::string::npos) << frame;
        }
}

// A 10-bit ramp tagged PQ over BT.2020 keeps its levels (8 bits would leave
// at most 220) and its tags, untouched, in every container.
TEST_F(MediaCli, DeepClipsKeepTheirLevelsAndTheirHdrTags) {
    const std::string in = dir + "ramp.mkv";
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i nullsrc=size=1024x256:rate=10 -frames:v 2 -vf "
                          "\"format=yuv444p10le,geq=lum='64+X*876/1023':cb=512:cr=512,"
                          "setparams=colorspace=bt2020nc:color_primaries=bt2020:color_trc=smpte2084:range=tv\" "
                          "-c:v ffv1 -colorspace bt2020nc -color_primaries bt2020 -color_trc smpte2084 "
                          "-color_range tv " +
                          in));
    ASSERT_NE(mediatest::Probe(in, "-show_entries stream=color_transfer").find("=smpte2084"), std::string::npos);
    const int levelsIn = mediatest::GreenLevels(in, dir + "in.rgb48");
    EXPECT_GE(levelsIn, 870);
    const struct {
        const char* ext;
        int atLeast;
    } cases[] = {{"mov", 870}, {"mkv", 870}, {"webm", 600}, {"mp4", 600}};
    for (const char* convert : kConvertModes)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.ext) + " --convert " + convert);
            const std::string out = dir + "out." + c.ext;
            const Result r = Run(identity(tessivar, in, out, "4", convert));
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(r.err.find("bits a channel"), std::string::npos) << r.err;
            const int levels = mediatest::GreenLevels(out, dir + "out.rgb48");
            std::printf("10-bit ramp of %d levels into .%s, --convert %s: %d levels\n", levelsIn, c.ext, convert,
                        levels);
            EXPECT_GE(levels, c.atLeast);
            const std::string tags =
                mediatest::Probe(out, "-select_streams v -show_entries stream=color_transfer,color_primaries");
            EXPECT_NE(tags.find("color_transfer=smpte2084"), std::string::npos) << tags;
            EXPECT_NE(tags.find("color_primaries=bt2020"), std::string::npos) << tags;
        }
}

// A phone's clip turned a quarter by its display matrix comes out upright,
// as ffmpeg shows it; pixels 4:3 wide stay so.
TEST_F(MediaCli, TurnedAndAnamorphicClipsComeOutAsTheyAreShown) {
    const std::string turned = dir + "turned.mp4", wide = dir + "anamorphic.mp4";
    // (ffmpeg writes the display matrix when it copies the stream, not when it
    // encodes: ffmpeg 7 as the input's -display_rotation, ffmpeg 5 as the
    // output's rotate tag, which later versions pass over without a word.)
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 2 -c:v libx264 -qp 0 "
                          "-pix_fmt yuv444p " +
                          dir + "stored.mp4"));
    ASSERT_TRUE(mediatest::Ffmpeg("-display_rotation:v:0 -90 -i " + dir + "stored.mp4 -c copy " + turned) ||
                mediatest::Ffmpeg("-i " + dir + "stored.mp4 -c copy -metadata:s:v:0 rotate=90 " + turned));
    const std::string matrix = mediatest::Probe(turned, "-show_entries stream_side_data=rotation");
    ASSERT_NE(matrix.find("90\n"), std::string::npos) << matrix;  // ffprobe 5 says 90, ffprobe 7 -90
    ASSERT_TRUE(mediatest::Ffmpeg(
        "-f lavfi -i testsrc2=size=48x36:rate=10 -frames:v 2 -vf setsar=4/3 -pix_fmt yuv420p " + wide));
    for (const char* convert : kConvertModes) {
        SCOPED_TRACE(convert);
        const Result r = Run(identity(tessivar, turned, dir + "upright.mkv", "0.75", convert));
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string shape =
            mediatest::Probe(dir + "upright.mkv", "-show_entries stream=width,height:stream_side_data=rotation");
        EXPECT_NE(shape.find("width=48\nheight=64"), std::string::npos) << shape;
        EXPECT_EQ(shape.find("rotation"), std::string::npos) << shape;
        const auto error = mediatest::Errors(mediatest::DecodeRgb24(turned, dir + "a.rgb"),
                                             mediatest::DecodeRgb24(dir + "upright.mkv", dir + "b.rgb"), 48);
        EXPECT_LE(error.median, 2);
    }
    for (const char* ext : {"mp4", "mov", "mkv", "webm"}) {
        const std::string out = dir + "wide." + ext;
        ASSERT_EQ(Run(identity(tessivar, wide, out, "1.3333333")).code, 0) << ext;
        EXPECT_NE(mediatest::Probe(out, "-show_entries stream=sample_aspect_ratio").find("sample_aspect_ratio=4:3"),
                  std::string::npos)
            << ext;
    }
}

// Every audio track goes along with its language; one a container cannot
// carry as it is gets re-encoded with a note; --audio none drops them all,
// and --audio alone sets how long a render of patterns lasts.
TEST_F(MediaCli, EveryAudioTrackComesAlongOrIsReencodedWithANote) {
    const std::string in = dir + "tracks.mkv";
    ASSERT_TRUE(
        mediatest::Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=10 -f lavfi -i sine=sample_rate=48000 "
                          "-f lavfi -i sine=frequency=880:sample_rate=48000 -map 0 -map 1 -map 2 -t 1 "
                          "-c:v ffv1 -c:a:0 aac -c:a:1 libopus -metadata:s:a:0 language=eng "
                          "-metadata:s:a:1 language=fra " +
                          in));
    const struct {
        const char* ext;
        const char* codecs;
        const char* note;
    } cases[] = {
        {"mkv", "aac,opus", nullptr},
        {"mov", "aac,aac", "audio track 2 (opus) of "},
        {"webm", "opus,opus", "audio track 1 (aac) of "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string out = dir + "out." + c.ext;
        const Result r = Run(identity(tessivar, in, out, "1.3333333"));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(mediatest::AudioCodecs(out), c.codecs);
        const std::string languages = mediatest::Probe(out, "-select_streams a -show_entries stream_tags=language");
        EXPECT_NE(languages.find("language=eng\n[/STREAM]\n[STREAM]\nTAG:language=fra"), std::string::npos)
            << languages;
        if (c.note)
            EXPECT_NE(r.err.find("ffglrun: note: " + out + ": " + c.note + in + " is re-encoded"), std::string::npos)
                << r.err;
        else
            EXPECT_EQ(r.err, "");
    }
    ASSERT_EQ(Run({"render", tessivar, "--input", in, "--audio", "none", "--out", dir + "silent.mkv"}).code, 0);
    EXPECT_EQ(mediatest::AudioCodecs(dir + "silent.mkv"), "");
    mediatest::WriteToneWav(dir + "tone.wav", 8000, 1.5, 440, 0);
    const Result tone = Run({"render", tessivar, "--pattern", "grid", "--size", "32x24", "--fps", "10", "--audio",
                             dir + "tone.wav", "--out", dir + "tone.mkv"});
    ASSERT_EQ(tone.code, 0) << tone.err;
    EXPECT_EQ(Frames(dir + "tone.mkv").size(), 15u);
}

}  // namespace

namespace {

// --stats names the conversion each way and gives every stage's CPU time a
// frame; --convert takes three words; --stats never replaces an input.
TEST_F(MediaCli, StatsNameTheConversionsAndEveryStage) {
    const std::string in = dir + "clip.mp4";
    ASSERT_TRUE(mediatest::Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 6 -pix_fmt yuv420p " + in));
    const struct {
        const char* convert;
        const char* in;
        const char* out;
    } cases[] = {
        {"gl", "gl (yuv420p bt601 limited)", "gl (yuv420p bt601 limited)"},
        {"cpu", "swscale", "swscale"},
        {"auto", "swscale", "gl (yuv420p bt601 limited)"},  // the suite renders on llvmpipe
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.convert);
        auto args = identity(tessivar, in, dir + "out.mp4", "1.3333333", c.convert);
        args.insert(args.end(), {"--stats", dir + "stats.json"});
        const Result r = Run(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const auto stats = nlohmann::json::parse(mediatest::ReadText(dir + "stats.json"));
        EXPECT_EQ(stats["frames"], 6);
        EXPECT_EQ(stats["convert_in"], c.in);
        EXPECT_EQ(stats["convert_out"], c.out);
        double sum = 0;
        for (const char* stage : {"decode", "convert_in", "render", "convert_out", "encode", "other"}) {
            ASSERT_TRUE(stats["cpu_ms_per_frame"].contains(stage)) << stage;
            EXPECT_GE(stats["cpu_ms_per_frame"][stage].get<double>(), 0.0) << stage;
            sum += stats["cpu_ms_per_frame"][stage].get<double>();
        }
        EXPECT_NEAR(stats["cpu_ms_per_frame"]["total"].get<double>(), sum, 0.1);
#ifndef _WIN32  // Windows counts a thread's time in clock ticks (10-16 ms), more than this clip's stages take
        EXPECT_GT(stats["cpu_ms_per_frame"]["decode"].get<double>(), 0.0);
        EXPECT_GT(stats["cpu_ms_per_frame"]["encode"].get<double>(), 0.0);
#endif
    }
    const Result bad = Run({"render", tessivar, "--input", in, "--out", dir + "x.mp4", "--convert", "fast"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(bad.Line(), "ffglrun: --convert fast: must be auto, gl or cpu");
    const std::string before = mediatest::ReadText(in);
    const Result onInput = Run({"render", tessivar, "--input", in, "--out", dir + "x.mp4", "--stats", in});
    EXPECT_NE(onInput.code, 0);
    EXPECT_NE(onInput.Line().find("--stats"), std::string::npos) << onInput.err;
    EXPECT_EQ(mediatest::ReadText(in), before) << "the input was written over";
}

}  // namespace
