// The runner's pieces that need no GL: PNG layouts, files read from memory,
// the resolution of --set arguments and the soak's verdict on heap readings.
// Refusals of files and streams are checked through ffglrun itself (CliTest).
#include "runner/ImageIO.h"
#include "runner/ParamSetting.h"
#include "runner/Patterns.h"
#include "runner/UniformNames.h"
#include "runner/commands/Soak.h"
#include "runner/media/Media.h"
#include "runner/platform/HeapUsage.h"
#include "tests/runner/MediaFixtures.h"
#include "tests/runner/PngFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace {

using namespace tessivar;

std::string tempPath(const std::string& name) {
    // One tag per process, so test processes running side by side never share a file.
    static const unsigned tag = std::random_device{}();
    return ::testing::TempDir() + "runner_lib_" + std::to_string(tag) + "_" + name;
}

TEST(Png, RoundTripKeepsEveryByteIncludingAlpha) {
    Image img(3, 2);
    for (size_t i = 0; i < img.rgba.size(); ++i) img.rgba[i] = uint8_t(i * 37 + 5);
    const std::string path = tempPath("roundtrip.png");
    std::string error;
    ASSERT_TRUE(WritePng(path, img, error)) << error;
    Image back;
    ASSERT_TRUE(ReadPng(path, back, error)) << error;
    EXPECT_EQ(back.width, 3u);
    EXPECT_EQ(back.height, 2u);
    EXPECT_EQ(back.rgba, img.rgba);
}

TEST(Png, GreyAndPaletteLayoutsAreExpandedToOpaqueRgba) {
    const std::string path = tempPath("grey.png");
    const uint8_t grey[4] = {0, 85, 170, 255};
    ASSERT_TRUE(testpng::Write(path, PNG_FORMAT_GRAY, grey, 2, 2));
    Image img;
    std::string error;
    ASSERT_TRUE(ReadPng(path, img, error)) << error;
    const uint8_t* p = img.At(1, 0);
    EXPECT_EQ(p[0], 85);
    EXPECT_EQ(p[1], 85);
    EXPECT_EQ(p[2], 85);
    EXPECT_EQ(p[3], 255);
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A PNG held in memory reads as its file does. A header claiming more pixels
// than the file's bytes can inflate to is refused before they are allocated;
// a picture that deflate shrinks about as far as it can is read.
TEST(Png, MemoryReadsAsTheFileAndClaimsBeyondTheBytesAreRefused) {
    const std::string path = tempPath("memory.png");
    std::string error;
    Image img(3, 2), fromFile, fromMemory;
    for (size_t i = 0; i < img.rgba.size(); ++i) img.rgba[i] = uint8_t(i * 29 + 3);
    ASSERT_TRUE(WritePng(path, img, error)) << error;
    ASSERT_TRUE(ReadPng(path, fromFile, error)) << error;
    std::vector<uint8_t> bytes = fileBytes(path);
    ASSERT_TRUE(ReadPngBytes(bytes.data(), bytes.size(), "held.png", fromMemory, error)) << error;
    EXPECT_EQ(fromMemory.rgba, fromFile.rgba);

    const std::vector<uint8_t> black(4096 * 1024, 0);
    ASSERT_TRUE(testpng::Write(path, PNG_FORMAT_GRAY, black.data(), 4096, 1024));
    bytes = fileBytes(path);
    ASSERT_TRUE(ReadPngBytes(bytes.data(), bytes.size(), "black.png", fromMemory, error)) << error;
    EXPECT_EQ(fromMemory.width, 4096u);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 60);
    EXPECT_FALSE(ReadPng(path, fromFile, error));
    EXPECT_EQ(error, path + ": corrupt or truncated PNG (4096x1024 pixels cannot come from 60 bytes)");
}

// A clip and a sound held in memory read as their file does, going back
// included.
TEST(Media, FilesHeldInMemoryReadAsOnDisk) {
    if (!MediaSupported()) GTEST_SKIP() << "built without FFmpeg";
    const std::string wav = tempPath("memory.wav"), mkv = tempPath("memory.mkv");
    mediatest::WriteToneWav(wav, 8000, 0.5, 440, 0.1);
    ASSERT_TRUE(mediatest::Ffmpeg("-f lavfi -i testsrc2=size=8x6:rate=10 -frames:v 4 -c:v ffv1 " + mkv));
    const std::vector<uint8_t> bytes = fileBytes(mkv);
    std::string error;
    auto onDisk = ClipReader::Open(mkv, error);
    auto held = ClipReader::Open(bytes.data(), bytes.size(), "held.mkv", error);
    ASSERT_TRUE(onDisk && held) << error;
    VideoFrame a, b;
    int frames = 0;
    for (; onDisk->Next(a, error); ++frames) {
        ASSERT_TRUE(held->Next(b, error)) << error;
        EXPECT_EQ(a.picture.rgba, b.picture.rgba);
        EXPECT_EQ(a.pts, b.pts);
    }
    EXPECT_EQ(frames, 4);
    ASSERT_TRUE(held->Seek(0.2, error) && held->Next(b, error)) << error;
    EXPECT_NEAR(b.Seconds(held->Format()), 0.2, 1e-9);

    auto soundOnDisk = AudioSpectrum::Open(wav, error);
    const std::vector<uint8_t> wavBytes = fileBytes(wav);
    auto soundHeld = AudioSpectrum::Open(wavBytes.data(), wavBytes.size(), "held.wav", error);
    ASSERT_TRUE(soundOnDisk && soundHeld) << error;
    std::vector<float> binsA, binsB;
    ASSERT_TRUE(soundOnDisk->Bins(0.3, 64, binsA, error) && soundHeld->Bins(0.3, 64, binsB, error)) << error;
    EXPECT_EQ(binsA, binsB);
    EXPECT_GT(*std::max_element(binsB.begin(), binsB.end()), 0.5f);
}

// A module description as a host would read it, for resolving --set.
ModuleInfo sampleInfo() {
    ModuleInfo info;
    info.path = "sample.so";
    auto add = [&](const char* name, uint32_t type) -> ParamDesc& {
        ParamDesc p;
        p.index = uint32_t(info.params.size());
        p.name = name;
        p.type = type;
        info.params.push_back(p);
        return info.params.back();
    };
    add("Show Guides", FF_TYPE_BOOLEAN);
    add("Input Aspect", FF_TYPE_STANDARD);
    ParamDesc& mode = add("Mode", FF_TYPE_OPTION);
    mode.elements = {{"Add", 0.0f}, {"Multiply", 1.0f}, {"Screen", 2.0f}};
    add("Caption", FF_TYPE_TEXT);
    add("Spectrum", FF_TYPE_BUFFER);
    add("mode", FF_TYPE_STANDARD);              // differs from "Mode" only by case
    add("falloffStartRadi", FF_TYPE_STANDARD);  // "falloffStartRadius", cut to 16 by the record
    add("innerRadiusOfThe", FF_TYPE_STANDARD);  // two names cut to the same 16
    add("innerRadiusOfThe", FF_TYPE_STANDARD);
    return info;
}

TEST(ParamSetting, ResolvesNamesAndIndicesAndParsesEachType) {
    const ModuleInfo info = sampleInfo();
    const struct {
        const char* arg;
        uint32_t index;
        float value;
    } cases[] = {
        {"Show Guides=off", 0, 0},
        {"show guides=ON", 0, 1},
        {"1=2.5", 1, 2.5f},  // by index, sent unclamped
        {"Mode=screen", 2, 2},
        {"Mode=1", 2, 1},
        {"mode=0.25", 5, 0.25f},  // exact case wins
        {"falloffStartRadius=0.5", 6, 0.5f},
        {"falloffStartRadi=0.75", 6, 0.75f},  // the full name, or as cut
        {"8=1", 8, 1},                        // the last index
    };
    ParamSetting s;
    std::string error;
    for (const auto& c : cases) {
        ASSERT_TRUE(ParseSetting(info, c.arg, s, error)) << error;
        EXPECT_EQ(s.param->index, c.index) << c.arg;
        EXPECT_EQ(s.value, c.value) << c.arg;
    }
    ASSERT_TRUE(ParseSetting(info, "Caption=a=b c", s, error)) << error;  // first '=' splits
    EXPECT_EQ(s.text, "a=b c");
    // A number outside the range is taken, and marked for a note.
    for (const char* inside : {"Input Aspect=0", "Input Aspect=1", "Show Guides=on", "Mode=Screen"}) {
        ASSERT_TRUE(ParseSetting(info, inside, s, error)) << error;
        EXPECT_FALSE(s.outsideRange) << inside;
    }
    for (const char* outside : {"Input Aspect=1.0001", "Input Aspect=-0.0001"}) {
        ASSERT_TRUE(ParseSetting(info, outside, s, error)) << error;
        EXPECT_TRUE(s.outsideRange) << outside;
    }
}

TEST(ParamSetting, RefusesWithOneLineNamingTheArgument) {
    const ModuleInfo info = sampleInfo();
    ParamSetting s;
    std::string error;
    const struct {
        const char *arg, *says;
    } cases[] = {
        {"Show Guides", "expected NAME=VALUE"},
        {"=1", "expected NAME=VALUE"},
        {"9=1", "no parameter 9 in sample.so: its parameters are numbered 0 to 8"},
        {"99999999999=1", "no parameter 99999999999 in sample.so"},
        {"Show Guides=maybe", "use on or off"},
        {"Input Aspect=nan", "takes a number, not 'nan'"},
        {"Input Aspect=1e40", "takes a number"},
        {"Input Aspect=", "takes a number"},
        {"Mode=Divide", "has no option 'Divide' (options: Add, Multiply, Screen)"},
        {"Mode=3", "has no option '3'"},
        {"Mode=0.5", "has no option '0.5'"},
        {"Spectrum=1", "is a buffer"},
        {"MODE=1", "no parameter named 'MODE'"},           // two parameters match ignoring case
        {"Input Aspect Ratio X=1", "no parameter named"},  // longer than 16, but no name was cut
        {"falloffStartRad=1", "no parameter named"},
        {"innerRadiusOfTheCircle=1", "parameters 7 and 8 are both shown as 'innerRadiusOfThe'"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ParseSetting(info, c.arg, s, error)) << c.arg;
        EXPECT_EQ(error.rfind(std::string("--set ") + c.arg + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

// Names a quick-start shader could not declare, each with its reason, for
// the plugin type it is (a mixer's kit names are not an effect's).
TEST(UniformNameHint, NamesEachParameterThatCannotBeAUniformAndWhy) {
    auto module = [](uint32_t type, std::vector<std::pair<const char*, uint32_t>> params) {
        ModuleInfo info;
        info.type = type;
        for (auto& [name, ptype] : params) {
            ParamDesc p;
            p.index = uint32_t(info.params.size());
            p.name = name;
            p.type = ptype;
            info.params.push_back(p);
        }
        return info;
    };
    const ModuleInfo fine = module(FF_EFFECT, {{"amount", FF_TYPE_STANDARD},
                                               {"_2nd", FF_TYPE_BOOLEAN},
                                               {"tint", FF_TYPE_RED},
                                               {"tint_green", FF_TYPE_GREEN},
                                               {"tint_blue", FF_TYPE_BLUE},
                                               {"time", FF_TYPE_BUFFER},
                                               {"textureSrc", FF_TYPE_STANDARD}});
    EXPECT_EQ(UniformNameHint(fine), "");

    const ModuleInfo broken = module(FF_EFFECT, {{"amount", FF_TYPE_STANDARD},
                                                 {"time", FF_TYPE_STANDARD},
                                                 {"Edge Amount", FF_TYPE_STANDARD},
                                                 {"2nd", FF_TYPE_STANDARD},
                                                 {"sample", FF_TYPE_OPTION},
                                                 {"gl_Size", FF_TYPE_STANDARD},
                                                 {"inputTexture", FF_TYPE_STANDARD},
                                                 {"amount", FF_TYPE_INTEGER},
                                                 {"mix", FF_TYPE_STANDARD}});
    const std::string hint = UniformNameHint(broken);
    EXPECT_EQ(hint.rfind("hint: a module made with the Tessivar kit declares each parameter as a GLSL uniform", 0), 0u);
    EXPECT_EQ(hint.find('\n'), std::string::npos);
    for (const char* says :
         {"parameter 1 'time' is one of the kit's own names", "parameter 2 'Edge Amount' is not a GLSL identifier",
          "parameter 3 '2nd' is not", "parameter 4 'sample' is a GLSL keyword", "parameter 5 'gl_Size' starts with gl_",
          "parameter 6 'inputTexture' is one of the kit's own names",
          "parameter 7 'amount' is the name of parameter 0 too", "parameter 8 'mix' hides GLSL's function mix()"})
        EXPECT_NE(hint.find(says), std::string::npos) << says << "\n" << hint;
    EXPECT_EQ(hint.find("parameter 0 'amount'"), std::string::npos);

    const ModuleInfo mixer = module(FF_MIXER, {{"mixVal", FF_TYPE_STANDARD},
                                               {"inputTexture", FF_TYPE_STANDARD},
                                               {"mixVal", FF_TYPE_STANDARD},
                                               {"i_uv_src", FF_TYPE_STANDARD}});
    const std::string mixed = UniformNameHint(mixer);
    EXPECT_EQ(mixed.find("'inputTexture'"), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("parameter 2 'mixVal' is the name of parameter 0 too"), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("parameter 3 'i_uv_src' is one of the kit's own names"), std::string::npos) << mixed;
}

// Floors of 100-cycle blocks, the first at the end of warm-up. The driver's
// lasting jumps are excused; steady growth, also within a jumping block, and
// jumps in every block, are not.
TEST(SoakHeap, TwoDriverJumpsAreExcusedSteadyGrowthIsNot) {
    const struct {
        std::vector<long> floors;
        double perCycle;
        bool passes;
    } cases[] = {
        {{1000, 1000, 481000, 481000, 546536, 546536}, 0.0, true},     // as Mesa's two jumps came in CI
        {{1000, 5800, 10600, 15400, 20200, 25000}, 48.0, false},       // 48 bytes a cycle
        {{0, 100000, 200000, 300000, 400000, 500000}, 1000.0, false},  // a jump every block
        {{0, 6400, 492800}, 64.0, false},                              // 64 bytes a cycle beside a driver jump
        {{0, 2000000}, 0.0, false},                                    // one jump past 1 MiB
    };
    for (const auto& c : cases) {
        SoakPhase phase;
        phase.cycles = uint32_t(100 * (c.floors.size() - 1));
        JudgeHeap(phase, c.floors);
        EXPECT_DOUBLE_EQ(phase.bytesPerCycle, c.perCycle) << c.floors.back();
        EXPECT_EQ(phase.Passed(), c.passes) << c.floors.back();
    }
}

// The heap reading counts what the program holds: blocks freed into the
// allocator's caches do not raise it, 100 kept blocks of 48 bytes do.
TEST(SoakHeap, ReadingCountsHeldBlocksNotTheAllocatorsCaches) {
    void* (*volatile take)(size_t) = std::malloc;  // kept from being optimised away
    std::vector<void*> blocks;
    auto takeAndFree = [&] {
        for (size_t size = 8; size <= 1100; size += 8) {
            for (int i = 0; i < 8; ++i) blocks.push_back(take(size));
            for (void* b : blocks) std::free(b);
            blocks.clear();
        }
    };
#ifdef _WIN32
    // Windows' heap (and Wine's since Wine 9) carves small blocks out of
    // groups it makes on a size's first use and keeps; a heap walk counts a
    // group's room as in use. One round first, so that the groups are there
    // before the reading, as they are after a soak's warm-up.
    takeAndFree();
#endif
    const long before = long(HeapInUse());
    takeAndFree();
    const long cached = long(HeapInUse());
    EXPECT_LT(std::labs(cached - before), 2048) << "freed blocks still counted";
    for (int i = 0; i < 100; ++i) blocks.push_back(take(48));
    EXPECT_GE(long(HeapInUse()) - cached, 4800);
    for (void* b : blocks) std::free(b);
}

}  // namespace
