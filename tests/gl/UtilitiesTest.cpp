// The GL-free helpers of the toolkit. No context is made in this binary; Log
// is checked with the shader's failure lines.
#include "gl/FFGLUtilities.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace ffglex;

TEST(Utilities, PowersOfTwo) {
    const int in[] = {0, 1, 3, 5, 64, 65, 96, 1920, 1 << 30}, out[] = {0, 1, 4, 8, 64, 128, 128, 2048, 1 << 30};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(npot(in[i]), out[i]) << in[i];
        EXPECT_EQ(is_power_of_2(in[i]), in[i] != 0 && in[i] == out[i]) << in[i];
    }
}

TEST(Utilities, HSVtoRGBSectorsGreyAndHueOne) {
    const float cases[][6] = {// h, s, v -> r, g, b
                              {0, 1, 1, 1, 0, 0},
                              {1.0f / 3, 1, 1, 0, 1, 0},
                              {2.0f / 3, 1, 1, 0, 0, 1},
                              {0.5f, 0, 0.25f, 0.25f, 0.25f, 0.25f},  // no saturation: grey
                              {1.0f, 1, 1, 1, 0, 1},                  // hue 1.0 falls into the last case: magenta
                              {2.0f, 1, 0.5f, 0.5f, 0, 0.5f}};        // so do hues beyond 1
    for (const auto& c : cases) {
        float f[3] = {-1, -1, -1};
        HSVtoRGB(c[0], c[1], c[2], f[0], f[1], f[2]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(f[i], c[3 + i], 1e-6f) << c[0] << " channel " << i;
    }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    ReplaceAll(text, from, to);
    return text;
}

TEST(Utilities, ReplaceAllResumesAtEachReplacementAndAlwaysEnds) {
    EXPECT_EQ(replaced("a-b-c", "-", "+"), "a+b+c");
    // The search resumes where the replaced text began: "abb" -> "ab" -> "a".
    EXPECT_EQ(replaced("abb", "ab", "a"), "a");
    // Outside that contract it must still return: an empty search changes
    // nothing, a replacement holding the searched text applies once each.
    EXPECT_EQ(replaced("abc", "", "x"), "abc");
    EXPECT_EQ(replaced("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(replaced("aXb", "X", "[X]"), "a[X]b");
}

}  // namespace
