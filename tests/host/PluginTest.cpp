// The instance base without GL: what it keeps from the host and the display
// texts it makes. Display texts through plugMain are in the ABI tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "host/FFGLPlugin.h"

namespace {

class Probe : public CFFGLPlugin {
public:
    Probe() : CFFGLPlugin(false) {}
    using CFFGLPlugin::hostName;
    using CFFGLPlugin::hostVersion;
};

TEST(PluginBase, HostInfoIsCopiedAndNullTextsBecomeEmpty) {
    Probe p;
    char name[] = "Host";
    p.SetHostInfo(name, "1.0");
    name[0] = 'X';  // the host may reuse its buffer
    EXPECT_EQ(p.hostName + p.hostVersion, "Host1.0");
    p.SetHostInfo(nullptr, nullptr);
    EXPECT_EQ(p.hostName + p.hostVersion, "");
}

TEST(PluginBase, DisplayOfTextsAndOfBrokenRegistrations) {
    Probe p;
    p.SetFileParamInfo(1, "file", {}, "f");
    p.SetParamInfo(2, "weird", FF_FAIL, 0.0f);
    // A text parameter shows the text getter's answer, here the base's "no text".
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p.GetParameterDisplay(1)), uintptr_t(FF_FAIL));
    EXPECT_EQ(p.GetParameterDisplay(2), nullptr);
}

// Long values are cut inside the buffer, never past it, and never into a
// number of another magnitude.
TEST(ParameterDisplay, ValuesAreCutToTheBufferWithATerminatorInside) {
    const struct { float value; size_t size; const char* shown; } cases[] = {
        {0.25f, 16, "0.250000"},
        {12345678.0f, 16, "12345678.000000"},  // 15 characters: fits exactly
        {123456792.0f, 16, "123456792.00000"},  // fraction digits dropped
        {-12345678.0f, 16, "-12345678.00000"},
        {1.0e14f, 16, "100000000376832"},      // fifteen integral digits, the dot goes too
        {1.0e20f, 16, "1.000000e+20"},         // cutting digits would show another magnitude
        {-3.4e38f, 16, "-3.400000e+38"},
        {0.5f, 6, "0.500"},
        {1234.5f, 6, "1234"},                  // a dot left last goes too
        {123456.0f, 6, "1e+05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        char buffer[24];
        std::memset(buffer, 'Z', sizeof buffer);
        FormatParameterDisplay(c.value, buffer, c.size);
        ASSERT_NE(std::memchr(buffer, '\0', c.size), nullptr);
        EXPECT_STREQ(buffer, c.shown);
        EXPECT_EQ(buffer[c.size], 'Z') << "written past the buffer";
    }
}

}  // namespace
