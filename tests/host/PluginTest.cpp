// The instance base without GL: its defaults, what it keeps from the host, and
// the display texts it makes in the shared 16-byte buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "host/FFGLPlugin.h"

namespace {

// A plugin whose values the test sets directly, with the base's state visible.
class Probe : public CFFGLPlugin {
public:
    Probe() : CFFGLPlugin(false) {}
    using CFFGLPlugin::barPhase;
    using CFFGLPlugin::bpm;
    using CFFGLPlugin::connected;
    using CFFGLPlugin::hostName;
    using CFFGLPlugin::hostVersion;

    float GetFloatParameter(unsigned int index) override { return values[index]; }
    char* GetTextParameter(unsigned int index) override {
        return index == 9 ? text : CFFGLPlugin::GetTextParameter(index);
    }

    std::map<unsigned int, float> values;
    char text[8] = "caption";
};

const char* Display(Probe& p, unsigned int index, float value) {
    p.values[index] = value;
    return p.GetParameterDisplay(index);
}

TEST(PluginBase, FreshObjectHasTheDocumentedDefaults) {
    Probe p;
    EXPECT_EQ(p.bpm, 120.0f);
    EXPECT_EQ(p.barPhase, 0.0f);
    EXPECT_EQ(p.hostName, "");
    EXPECT_EQ(p.hostVersion, "");
    EXPECT_FALSE(p.connected);
    EXPECT_FALSE(p.IsTopLeftTextureOrientationSupported());

    CFFGLPlugin base(false);
    const FFGLViewportStruct vp = {0, 0, 64, 32};
    EXPECT_EQ(base.InitGL(&vp), FF_SUCCESS);
    EXPECT_EQ(base.DeInitGL(), FF_SUCCESS);
    EXPECT_EQ(base.Connect(), FF_SUCCESS);
    EXPECT_EQ(base.Disconnect(), FF_SUCCESS);
    EXPECT_EQ(base.Resize(&vp), FF_SUCCESS);
    EXPECT_EQ(base.SetFloatParameter(0, 1.0f), FF_FAIL);
    EXPECT_EQ(base.SetTextParameter(0, "x"), FF_FAIL);
    EXPECT_EQ(base.ProcessOpenGL(nullptr), FF_FAIL);
    EXPECT_EQ(base.GetFloatParameter(0), 0.0f);
    EXPECT_EQ(base.GetShortName(), nullptr);
    // "No text" is the value FF_FAIL where a pointer would be.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(base.GetTextParameter(0)), uintptr_t(FF_FAIL));
}

TEST(PluginBase, HostInfoIsCopiedAndNullTextsBecomeEmpty) {
    Probe p;
    char name[] = "Host";
    p.SetHostInfo(name, "1.0");
    name[0] = 'X';  // the host may reuse its buffer
    EXPECT_EQ(p.hostName, "Host");
    EXPECT_EQ(p.hostVersion, "1.0");
    p.SetHostInfo(nullptr, nullptr);
    EXPECT_EQ(p.hostName, "");
    EXPECT_EQ(p.hostVersion, "");
}

TEST(PluginBase, InputStatusFollowsMaxInputs) {
    Probe p;
    EXPECT_EQ(p.GetInputStatus(0), FF_FAIL);
    p.SetMaxInputs(1);
    EXPECT_EQ(p.GetInputStatus(0), 1u);
    EXPECT_EQ(p.GetInputStatus(1), FF_FAIL);
    EXPECT_EQ(p.GetInputStatus(0xFFFFFFFFu), FF_FAIL);
}

TEST(ParameterDisplay, NumbersAreShownWithSixDecimals) {
    Probe p;
    p.SetParamInfo(0, "float", FF_TYPE_STANDARD, 0.0f);
    p.SetParamInfo(1, "bool", FF_TYPE_BOOLEAN, false);
    p.SetOptionParamInfo(2, "option", 3, 0.0f);
    p.SetParamElementInfo(2, 2, "Two", 2.0f);
    EXPECT_STREQ(Display(p, 0, 0.25f), "0.250000");
    EXPECT_STREQ(Display(p, 0, -1.5f), "-1.500000");
    EXPECT_STREQ(Display(p, 0, 120.0f), "120.000000");
    EXPECT_STREQ(Display(p, 1, 1.0f), "1.000000");
    EXPECT_STREQ(Display(p, 2, 2.0f), "2.000000");  // the number, never the option's name
    EXPECT_EQ(p.GetParameterDisplay(0), CFFGLPlugin::s_DisplayValue);
}

TEST(ParameterDisplay, TextParametersPassTheirTextThrough) {
    Probe p;
    p.SetParamInfo(9, "text", FF_TYPE_TEXT, "d");
    p.SetFileParamInfo(8, "file", {}, "f");
    EXPECT_EQ(p.GetParameterDisplay(9), p.text);
    // Also the base's "no text" answer, unchanged.
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p.GetParameterDisplay(8)), uintptr_t(FF_FAIL));
}

TEST(ParameterDisplay, UnknownIndexOrFailedTypeGivesNull) {
    Probe p;
    p.SetParamInfo(0, "weird", FF_FAIL, 0.0f);
    EXPECT_EQ(p.GetParameterDisplay(0), nullptr);
    EXPECT_EQ(p.GetParameterDisplay(1), nullptr);
}

TEST(ParameterDisplay, LongValuesAreCutInsideTheBuffer) {
    Probe p;
    p.SetParamInfo(0, "v", FF_TYPE_INTEGER, 0.0f);
    // Poison the buffer so a missing terminator cannot hide.
    std::memset(CFFGLPlugin::s_DisplayValue, 'Z', sizeof CFFGLPlugin::s_DisplayValue);
    struct Case {
        float value;
        const char* shown;
    } cases[] = {
        {12345678.0f, "12345678.000000"},  // 15 characters: fits exactly
        {123456792.0f, "123456792.00000"},  // fraction digits dropped
        {-12345678.0f, "-12345678.00000"},
        {1.0e14f, "100000000376832"},      // fifteen integral digits, the dot goes too
        {1.0e20f, "1.000000e+20"},         // cutting digits would show another magnitude
        {-3.4e38f, "-3.400000e+38"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        const char* shown = Display(p, 0, c.value);
        ASSERT_NE(std::memchr(shown, '\0', 16), nullptr);
        EXPECT_STREQ(shown, c.shown);
    }
}

TEST(ParameterDisplay, TheBufferIsSharedByAllObjects) {
    Probe a, b;
    a.SetParamInfo(0, "v", FF_TYPE_STANDARD, 0.0f);
    b.SetParamInfo(0, "v", FF_TYPE_STANDARD, 0.0f);
    const char* first = Display(a, 0, 0.5f);
    const char* second = Display(b, 0, 0.75f);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "0.750000");
}

TEST(ParameterDisplay, FormatterCutsToAnyBufferSize) {
    char small[6];
    FormatParameterDisplay(0.5f, small, sizeof small);
    EXPECT_STREQ(small, "0.500");
    FormatParameterDisplay(123456.0f, small, sizeof small);
    EXPECT_STREQ(small, "1e+05");
    FormatParameterDisplay(1234.5f, small, sizeof small);  // a dot left last goes too
    EXPECT_STREQ(small, "1234");
}

}  // namespace
