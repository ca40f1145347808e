// What a host learns from the Tessivar module before and around rendering:
// its identity record, its eleven parameters, and how values are accepted.
#include "tests/effect/EffectHost.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace effecttest {
namespace {

class TessivarInstance : public testhost::GLTest {};

const char* const kNames[11] = {"Point 1 X", "Point 1 Y", "Point 2 X",   "Point 2 Y",   "Point 3 X",   "Point 3 Y",
                                 "Point 4 X", "Point 4 Y", "Show Guides", "Auto Bounds", "Input Aspect"};
const float kDefaults[11] = {0, 0, 1, 0, 1, 1, 0, 1, 1, 1, 1};

TEST(TessivarModule, IdentifiesItselfAsTessivar) {
    testhost::Module& module = TessivarModule();
    ASSERT_TRUE(module.Loaded()) << module.Error();

    const uint8_t* info = testhost::AsPtr<const uint8_t>(module.Call(FF_GET_INFO));
    ASSERT_NE(info, nullptr);
    uint32_t u32[2];
    std::memcpy(u32, info, 8);
    EXPECT_EQ(u32[0], 2u);
    EXPECT_EQ(u32[1], 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info + 8), 4), "TSVR");
    const char expectedName[16] = {'T', 'e', 's', 's', 'i', 'v', 'a', 'r'};
    EXPECT_EQ(std::memcmp(info + 12, expectedName, 16), 0);
    uint32_t type;
    std::memcpy(&type, info + 28, 4);
    EXPECT_EQ(type, 0u) << "an effect";

    const uint8_t* ext = testhost::AsPtr<const uint8_t>(module.Call(FF_GET_EXTENDED_INFO));
    ASSERT_NE(ext, nullptr);
    std::memcpy(u32, ext, 8);
    EXPECT_EQ(u32[0], 1u);
    EXPECT_EQ(u32[1], 6u);
    const char* description;
    const char* about;
    uint32_t dataSize;
    const void* block;
    std::memcpy(&description, ext + 8, 8);
    std::memcpy(&about, ext + 16, 8);
    std::memcpy(&dataSize, ext + 24, 4);
    std::memcpy(&block, ext + 32, 8);
    EXPECT_STREQ(description, "Four-corner perspective warper with numbered colour guides");
    EXPECT_STREQ(about, "Tessivar for Brindlex");
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(module.Call(FF_GET_PLUGIN_SHORT_NAME), 0u) << "no short name";
}

TEST(TessivarModule, DescribesElevenParameters) {
    testhost::Module& module = TessivarModule();
    ASSERT_TRUE(module.Loaded()) << module.Error();
    ASSERT_EQ(module.Call(FF_GET_NUM_PARAMETERS), 11u);
    for (uint32_t i = 0; i < 11; ++i) {
        SCOPED_TRACE(kNames[i]);
        const char* name = testhost::AsPtr<const char>(module.Call(FF_GET_PARAMETER_NAME, i));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::string(name, strnlen(name, 16)), kNames[i]);
        const bool boolean = i == kShowGuides || i == kAutoBounds;
        EXPECT_EQ(module.Call(FF_GET_PARAMETER_TYPE, i), boolean ? FF_TYPE_BOOLEAN : FF_TYPE_STANDARD);
        EXPECT_EQ(testhost::AsFloat(module.Call(FF_GET_PARAMETER_DEFAULT, i)), kDefaults[i]);
    }
    testhost::Record range(12);
    range.U32(0, kInputAspect);
    EXPECT_EQ(module.Call(FF_GET_RANGE, range), testhost::kSuccess);
    EXPECT_FLOAT_EQ(range.GetF32(4), 0.1f);
    EXPECT_FLOAT_EQ(range.GetF32(8), 4.0f);
    EXPECT_EQ(module.Call(FF_GET_PLUGIN_CAPS, FF_CAP_MINIMUM_INPUT_FRAMES), 1u);
    EXPECT_EQ(module.Call(FF_GET_PLUGIN_CAPS, FF_CAP_MAXIMUM_INPUT_FRAMES), 1u);
}

TEST_F(TessivarInstance, InstancesStartAtTheDefaultsAndClampWhatTheyAreGiven) {
    EffectHost host(320, 180);
    EffectHost other(320, 180);
    ASSERT_TRUE(host.Ok() && other.Ok());
    EXPECT_NE(host.Instance(), other.Instance());
    for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(host.Get(i), kDefaults[i]) << kNames[i];

    testhost::Module& module = TessivarModule();
    EXPECT_EQ(module.SetFloat(host.Instance(), 11, 0.5f), testhost::kFail);
    EXPECT_EQ(host.Get(11), 0.0f);

    host.Set(kPoint1X, -0.2f);
    EXPECT_EQ(host.Get(kPoint1X), 0.0f);
    host.Set(kPoint1X, 1.7f);
    EXPECT_EQ(host.Get(kPoint1X), 1.0f);
    host.Set(kShowGuides, 3.0f);
    EXPECT_EQ(host.Get(kShowGuides), 1.0f);
    host.Set(kInputAspect, 0.05f);
    EXPECT_FLOAT_EQ(host.Get(kInputAspect), 0.1f);
    host.Set(kInputAspect, 9.0f);
    EXPECT_FLOAT_EQ(host.Get(kInputAspect), 4.0f);
    // NaN cannot be clamped: refused, and the value stays.
    host.Set(kPoint1X, 0.25f);
    EXPECT_EQ(module.SetFloat(host.Instance(), kPoint1X, std::nanf("")), testhost::kFail);
    EXPECT_EQ(module.SetFloat(host.Instance(), kInputAspect, std::nanf("")), testhost::kFail);
    EXPECT_EQ(host.Get(kPoint1X), 0.25f);
    EXPECT_FLOAT_EQ(host.Get(kInputAspect), 4.0f);

    // Before any fit a default is just a value.
    host.Set(kPoint2X, 0.4f);
    host.Set(kPoint2X, 1.0f);
    EXPECT_EQ(host.Get(kPoint2X), 1.0f);
    // The other instance saw none of it.
    for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(other.Get(i), kDefaults[i]) << kNames[i];
}

}  // namespace
}  // namespace effecttest
