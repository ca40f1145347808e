// The runner's pieces that need no GL: PNG files, raw streams, sizes,
// patterns and the resolution of --set arguments.
#include "runner/ImageIO.h"
#include "runner/ParamSetting.h"
#include "runner/Patterns.h"
#include "tests/runner/PngFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <iterator>

namespace {

using namespace tessivar;

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "runner_lib_" + std::to_string(::getpid()) + "_" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
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

TEST(Png, RefusesWhatItCannotReadWithOneLineNamingTheFile) {
    std::string error;
    Image img;

    const std::string missing = tempPath("missing.png");
    EXPECT_FALSE(ReadPng(missing, img, error));
    EXPECT_EQ(error, "input file not found: " + missing);

    const std::string text = tempPath("text.png");
    writeFile(text, "hello, not a picture");
    EXPECT_FALSE(ReadPng(text, img, error));
    EXPECT_EQ(error, text + ": not a PNG file");

    // A valid file cut short inside its image data.
    Image big(64, 64);
    for (size_t i = 0; i < big.rgba.size(); ++i) big.rgba[i] = uint8_t(i * 7919 >> 3);
    const std::string whole = tempPath("whole.png"), cut = tempPath("cut.png");
    ASSERT_TRUE(WritePng(whole, big, error));
    const std::string bytes = readFile(whole);
    writeFile(cut, bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ReadPng(cut, img, error));
    EXPECT_NE(error.find(cut + ": corrupt or truncated PNG"), std::string::npos) << error;

    // The signature of a PNG followed by garbage.
    const std::string corrupt = tempPath("corrupt.png");
    writeFile(corrupt, bytes.substr(0, 8) + std::string(200, '\x5a'));
    EXPECT_FALSE(ReadPng(corrupt, img, error));
    EXPECT_NE(error.find("corrupt or truncated"), std::string::npos) << error;

    const std::string deep = tempPath("deep.png");
    const uint16_t pixels[4 * 4] = {};
    ASSERT_TRUE(testpng::Write(deep, PNG_FORMAT_LINEAR_RGB_ALPHA, pixels, 2, 2));
    EXPECT_FALSE(ReadPng(deep, img, error));
    EXPECT_NE(error.find(deep + ": 16-bit RGBA PNG is not read"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(Png, FailedWriteLeavesNoFileBehind) {
    std::string error;
    const std::string dir = tempPath("nowhere") + "/sub/out.png";
    EXPECT_FALSE(WritePng(dir, Image(2, 2), error));
    EXPECT_EQ(error.rfind("cannot write " + dir, 0), 0u) << error;

    // Renaming onto a folder fails after the data is written: the partial
    // file must be cleaned up.
    const std::string folder = ::testing::TempDir() + "runner_lib_folder_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(WritePng(folder, Image(2, 2), error));
    for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir()))
        EXPECT_EQ(entry.path().string().find(folder + ".partial"), std::string::npos) << entry.path();
    ::rmdir(folder.c_str());
}

TEST(RawStream, ReadsWholeFramesAndReportsAShortOne) {
    std::string bytes(2 * 16 + 5, '\x11');
    FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
    Image frame(2, 2);
    size_t got = 0;
    EXPECT_EQ(ReadRawFrame(in, frame, got), RawRead::Frame);
    EXPECT_EQ(ReadRawFrame(in, frame, got), RawRead::Frame);
    EXPECT_EQ(ReadRawFrame(in, frame, got), RawRead::Short);
    EXPECT_EQ(got, 5u);
    std::fclose(in);

    std::string exact(16, '\x22');
    in = fmemopen(exact.data(), exact.size(), "rb");
    EXPECT_EQ(ReadRawFrame(in, frame, got), RawRead::Frame);
    EXPECT_EQ(ReadRawFrame(in, frame, got), RawRead::End);
    std::fclose(in);
}

TEST(Size, AcceptsOnlyPositiveBoundedWidthByHeight) {
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(ParseSize("1920x1080", w, h));
    EXPECT_EQ(w, 1920u);
    EXPECT_EQ(h, 1080u);
    EXPECT_TRUE(ParseSize("1X16384", w, h));
    for (const char* bad : {"", "1920", "x1080", "1920x", "0x10", "10x0", "-5x5", "5x-5", "1e3x2", "16385x1",
                            "10x10x10", " 10x10", "99999999999x1"})
        EXPECT_FALSE(ParseSize(bad, w, h)) << bad;
}

TEST(Patterns, AlphaBarsAreTransparentAroundACentredFourByThreePicture) {
    Image img;
    std::string error;
    ASSERT_TRUE(MakePattern("alpha-bars", 1920, 1080, img, error));
    // 1080 * 4/3 = 1440 wide, so 240-pixel bars on each side.
    for (uint32_t y : {0u, 540u, 1079u}) {
        EXPECT_EQ(img.At(239, y)[3], 0) << y;
        EXPECT_EQ(img.At(240, y)[3], 255) << y;
        EXPECT_EQ(img.At(1679, y)[3], 255) << y;
        EXPECT_EQ(img.At(1680, y)[3], 0) << y;
    }
    // A tall canvas gets its bars at the top and bottom instead.
    ASSERT_TRUE(MakePattern("alpha-bars", 400, 600, img, error));
    EXPECT_EQ(img.At(200, 149)[3], 0);
    EXPECT_EQ(img.At(200, 150)[3], 255);
    EXPECT_EQ(img.At(200, 449)[3], 255);
    EXPECT_EQ(img.At(200, 450)[3], 0);
}

TEST(Patterns, GradientNamesPositionsAndUnknownNamesAreRefused) {
    Image img;
    std::string error;
    ASSERT_TRUE(MakePattern("gradient", 256, 2, img, error));
    EXPECT_EQ(img.At(0, 0)[0], 0);
    EXPECT_EQ(img.At(255, 0)[0], 255);
    EXPECT_EQ(img.At(255, 1)[1], 255);
    for (const auto& name : PatternNames()) EXPECT_TRUE(MakePattern(name, 1, 1, img, error)) << name;
    EXPECT_FALSE(MakePattern("plaid", 8, 8, img, error));
    EXPECT_NE(error.find("unknown pattern 'plaid'"), std::string::npos);
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
    add("mode", FF_TYPE_STANDARD);  // differs from "Mode" only by case
    return info;
}

TEST(ParamSetting, ResolvesNamesAndIndicesAndParsesEachType) {
    const ModuleInfo info = sampleInfo();
    ParamSetting s;
    std::string error;
    ASSERT_TRUE(ParseSetting(info, "Show Guides=off", s, error)) << error;
    EXPECT_EQ(s.param->index, 0u);
    EXPECT_EQ(s.value, 0.0f);
    ASSERT_TRUE(ParseSetting(info, "show guides=ON", s, error)) << error;
    EXPECT_EQ(s.value, 1.0f);
    ASSERT_TRUE(ParseSetting(info, "1=2.5", s, error)) << error;  // by index, sent unclamped
    EXPECT_EQ(s.param->name, "Input Aspect");
    EXPECT_EQ(s.value, 2.5f);
    ASSERT_TRUE(ParseSetting(info, "Mode=screen", s, error)) << error;
    EXPECT_EQ(s.value, 2.0f);
    ASSERT_TRUE(ParseSetting(info, "Mode=1", s, error)) << error;
    EXPECT_EQ(s.value, 1.0f);
    ASSERT_TRUE(ParseSetting(info, "Caption=a=b c", s, error)) << error;  // first '=' splits
    EXPECT_EQ(s.text, "a=b c");
    ASSERT_TRUE(ParseSetting(info, "mode=0.25", s, error)) << error;  // exact case wins
    EXPECT_EQ(s.param->index, 5u);
}

TEST(ParamSetting, RefusesWithOneLineNamingTheArgument) {
    const ModuleInfo info = sampleInfo();
    ParamSetting s;
    std::string error;
    const struct {
        const char* arg;
        const char* says;
    } cases[] = {
        {"Show Guides", "expected NAME=VALUE"},
        {"=1", "expected NAME=VALUE"},
        {"Nope=1", "no parameter named 'Nope' in sample.so"},
        {"6=1", "no parameter named '6'"},
        {"Show Guides=maybe", "use on or off"},
        {"Input Aspect=abc", "takes a number, not 'abc'"},
        {"Input Aspect=nan", "takes a number"},
        {"Input Aspect=1e40", "takes a number"},
        {"Input Aspect=", "takes a number"},
        {"Mode=Divide", "has no option 'Divide' (options: Add, Multiply, Screen)"},
        {"Mode=3", "has no option '3'"},
        {"Mode=0.5", "has no option '0.5'"},
        {"Spectrum=1", "is a buffer"},
        {"MODE=1", "no parameter named 'MODE'"},  // two parameters match ignoring case
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ParseSetting(info, c.arg, s, error)) << c.arg;
        EXPECT_EQ(error.rfind(std::string("--set ") + c.arg + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

}  // namespace
