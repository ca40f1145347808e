// The GL-free helpers of the toolkit. No context is made in this binary.
#include "gl/FFGLUtilities.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace ffglex;

TEST(Log, PrintsOneVerbatimLine) {
    testing::internal::CaptureStdout();
    Log("abc");
    Log("100% %s %d");  // printed as text, never as a format
    const std::string x = "x";
    Log("Vertex Shader error: ", x);
    char buffer[1024] = "log text";
    Log("Fragment Shader error: ", buffer);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "abc\n100% %s %d\nVertex Shader error: x\nFragment Shader error: log text\n");
}

TEST(PowerOfTwo, IsPowerOfTwo) {
    EXPECT_FALSE(is_power_of_2(0));
    EXPECT_TRUE(is_power_of_2(1));
    EXPECT_TRUE(is_power_of_2(64));
    EXPECT_FALSE(is_power_of_2(96));
    EXPECT_TRUE(is_power_of_2(0x80000000u));
    EXPECT_FALSE(is_power_of_2(0xFFFFFFFFu));
}

TEST(PowerOfTwo, NpotRoundsUpToThePowerAtOrAbove) {
    EXPECT_EQ(npot(0), 0);
    EXPECT_EQ(npot(1), 1);
    EXPECT_EQ(npot(2), 2);
    EXPECT_EQ(npot(3), 4);
    EXPECT_EQ(npot(5), 8);
    EXPECT_EQ(npot(64), 64);
    EXPECT_EQ(npot(65), 128);
    EXPECT_EQ(npot(1920), 2048);
    EXPECT_EQ(npot((1 << 29) + 1), 1 << 30);
    EXPECT_EQ(npot(1 << 30), 1 << 30);
}

struct RGB {
    float r, g, b;
};

RGB hsv(float h, float s, float v) {
    RGB c{-1, -1, -1};
    HSVtoRGB(h, s, v, c.r, c.g, c.b);
    return c;
}

#define EXPECT_RGB(c, R, G, B)          \
    do {                                \
        EXPECT_NEAR((c).r, R, 1e-5f);   \
        EXPECT_NEAR((c).g, G, 1e-5f);   \
        EXPECT_NEAR((c).b, B, 1e-5f);   \
    } while (0)

TEST(HSVtoRGB, PrimariesGreyAndTheSectorEdges) {
    EXPECT_RGB(hsv(0, 1, 1), 1, 0, 0);
    EXPECT_RGB(hsv(1.0f / 3, 1, 1), 0, 1, 0);
    EXPECT_RGB(hsv(2.0f / 3, 1, 1), 0, 0, 1);
    EXPECT_RGB(hsv(0.5f, 0, 0.25f), 0.25f, 0.25f, 0.25f);  // no saturation: grey of the value
    EXPECT_RGB(hsv(0.5f, 1, 1), 0, 1, 1);                   // cyan
    EXPECT_RGB(hsv(5.5f / 6, 1, 1), 1, 0, 0.5f);            // inside the last sector
    // Hue 1.0 is sector 6 with f = 0: the last case, so magenta, not red.
    EXPECT_RGB(hsv(1.0f, 1, 1), 1, 0, 1);
    // Out-of-range hues also land in the last case instead of reading garbage.
    EXPECT_RGB(hsv(-0.25f, 1, 1), 1, 0, 0.5f);  // i = -2, f = 0.5
    EXPECT_RGB(hsv(2.0f, 1, 0.5f), 0.5f, 0, 0.5f);
}

TEST(HSVtoRGB, DoubleOverloadAgreesWithFloat) {
    for (double h : {0.0, 0.1, 0.3, 0.45, 0.6, 0.8, 0.95, 1.0}) {
        double r = -1, g = -1, b = -1;
        HSVtoRGB(h, 0.7, 0.9, &r, &g, &b);
        const RGB f = hsv(float(h), 0.7f, 0.9f);
        EXPECT_NEAR(r, f.r, 1e-5) << h;
        EXPECT_NEAR(g, f.g, 1e-5) << h;
        EXPECT_NEAR(b, f.b, 1e-5) << h;
    }
}

TEST(Random, StaysWithinTheRangeIncludingReversedRanges) {
    std::srand(7);
    for (int i = 0; i < 2000; ++i) {
        const float r = random(-2.0f, 3.0f);
        EXPECT_GE(r, -2.0f);
        EXPECT_LE(r, 3.0f);
        const float reversed = random(1.0f, 0.0f);
        EXPECT_LE(reversed, 1.0f);
        EXPECT_GE(reversed, 0.0f);
    }
    EXPECT_EQ(random(4.0f, 4.0f), 4.0f);
}

TEST(Clamping, ClampAndClamp01) {
    EXPECT_EQ(clamp(5, 0, 1), 1);
    EXPECT_EQ(clamp(-5, 0, 1), 0);
    EXPECT_EQ(clamp(0.25f, 0, 1), 0.25f);
    EXPECT_EQ(clamp01(-0.5f), 0.0f);
    EXPECT_EQ(clamp01(1.5f), 1.0f);
    EXPECT_EQ(clamp01(0.5f), 0.5f);
}

TEST(Map, MapsLinearlyAndLimitsToTheOutputRange) {
    EXPECT_FLOAT_EQ(map(5, 0, 10, 0, 100), 50);
    EXPECT_FLOAT_EQ(map(20, 0, 10, 0, 100), 100);
    EXPECT_FLOAT_EQ(map(-3, 0, 10, 0, 100), 0);
    EXPECT_FLOAT_EQ(map(7.5f, 5, 10, -1, 1), 0);
    // A reversed input range flips the mapping and still limits it.
    EXPECT_FLOAT_EQ(map(2.5f, 10, 0, 0, 100), 75);
    // A reversed output range always answers its first end.
    EXPECT_FLOAT_EQ(map(0, 0, 10, 100, 0), 100);
    EXPECT_FLOAT_EQ(map(5, 0, 10, 100, 0), 100);
    EXPECT_FLOAT_EQ(map(10, 0, 10, 100, 0), 100);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    ReplaceAll(text, from, to);
    return text;
}

TEST(ReplaceAll, ReplacesEveryOccurrence) {
    EXPECT_EQ(replaced("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(replaced("a-b-c", "-", "-"), "a-b-c");
    EXPECT_EQ(replaced("a-b-c", "x", "y"), "a-b-c");
    EXPECT_EQ(replaced("", "-", "+"), "");
    EXPECT_EQ(replaced("--", "-", ""), "");
    EXPECT_EQ(replaced("uniform float x;", "float", "vec2"), "uniform vec2 x;");
}

TEST(ReplaceAll, ResumesAtTheStartOfEachReplacement) {
    // "abb" -> "ab" (from the first replacement) -> "a": the search resumes
    // where the replaced text began, so the replacement joins what follows.
    EXPECT_EQ(replaced("abb", "ab", "a"), "a");
    EXPECT_EQ(replaced("aaaa", "aa", "a"), "a");
}

TEST(ReplaceAll, EndsWhenTheSearchedTextIsEmptyOrInTheReplacement) {
    EXPECT_EQ(replaced("abc", "", "x"), "abc");
    EXPECT_EQ(replaced("", "", "x"), "");
    // The replacement contains the searched text: each occurrence once.
    EXPECT_EQ(replaced("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(replaced("x", "x", "xx"), "xx");
    EXPECT_EQ(replaced("aXb", "X", "[X]"), "a[X]b");
}

}  // namespace
