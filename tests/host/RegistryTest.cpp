// The parameter registry on its own: what each kind of registration stores,
// the clamping rules, how amendments treat unknown and duplicate indices, and
// how events accumulate and are delivered. Each query's answer through plugMain
// is checked in the ABI tests.
#include <gtest/gtest.h>

#include <string>

#include "host/FFGLPluginManager.h"

namespace {

float Float(FFMixed m) { return ffMixedToFloat(m); }

TEST(Registry, EachKindStartsFromTheSameDefaultsWithItsOwnElements) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "f", FF_TYPE_STANDARD, 0.5f);
    r.SetParamInfo(1, "b", FF_TYPE_BOOLEAN, true);
    r.SetParamInfo(2, "t", FF_TYPE_TEXT, static_cast<const char*>(nullptr));
    r.SetBufferParamInfo(3, "buf", 2, FF_USAGE_FFT);
    r.SetOptionParamInfo(4, "o", 2, 1.0f);
    r.SetFileParamInfo(5, "file", {"png"}, nullptr);
    // One element for floats and texts, none for booleans and files, as many
    // as asked for buffers and options.
    const struct { unsigned int type, elements, usage; } kinds[] = {
        {FF_TYPE_STANDARD, 1, FF_USAGE_STANDARD}, {FF_TYPE_BOOLEAN, 0, FF_USAGE_STANDARD},
        {FF_TYPE_TEXT, 1, FF_USAGE_STANDARD},     {FF_TYPE_BUFFER, 2, FF_USAGE_FFT},
        {FF_TYPE_OPTION, 2, FF_USAGE_STANDARD},   {FF_TYPE_FILE, 0, FF_USAGE_STANDARD},
    };
    for (unsigned int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.GetParamType(i), kinds[i].type);
        EXPECT_EQ(r.GetNumParamElements(i), kinds[i].elements);
        EXPECT_EQ(r.GetParamUsage(i), kinds[i].usage);
        EXPECT_EQ(r.GetParamVisibility(i), 1u);
        EXPECT_TRUE(r.GetParamRange(i).min == 0.0f && r.GetParamRange(i).max == 1.0f);
        EXPECT_EQ(r.GetParamGroup(i), "");
        EXPECT_EQ(r.GetNumElementSeparators(i), 0u);
    }
    EXPECT_EQ(r.GetParamDefault(1).Bits, 0x3F800000u);  // true is 1.0
    EXPECT_STREQ(static_cast<const char*>(r.GetParamDefault(2).PointerValue), "");  // null texts kept empty
    EXPECT_STREQ(static_cast<const char*>(r.GetParamDefault(5).PointerValue), "");
    EXPECT_STREQ(r.GetParamElementName(4, 1), "");
    EXPECT_EQ(r.GetNumPendingParamEvents(), 0u);
}

TEST(Registry, OnlyStandardDefaultsAreClampedAndOnlyAtRegistration) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "high", FF_TYPE_STANDARD, 1.5f);
    r.SetParamInfo(1, "low", FF_TYPE_STANDARD, -0.5f);
    r.SetParamInfo(2, "int", FF_TYPE_INTEGER, 1.5f);
    r.SetOptionParamInfo(3, "opt", 4, 3.0f);
    r.SetParamRange(0, 0.0f, 10.0f);  // a wider range does not bring back 1.5
    r.SetParamRange(7, 5.0f, 6.0f);   // unregistered: no record made
    const float expected[] = {1.0f, 0.0f, 1.5f, 3.0f};
    for (unsigned int i = 0; i < 4; ++i) EXPECT_EQ(Float(r.GetParamDefault(i)), expected[i]) << i;
    EXPECT_EQ(r.GetParamRange(0).max, 10.0f);
    EXPECT_EQ(r.GetNumParams(), 4u);
}

TEST(Registry, AmendmentsOutsideTheRegistrationsTouchNothing) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "Hi", FF_TYPE_STANDARD, 0.5f);
    r.SetOptionParamInfo(1, "mode", 2, 0.0f);
    const unsigned int missing = 7;
    r.SetParamVisibility(missing, false);
    r.SetParamGroup(missing, "g");
    r.RaiseParamEvent(missing, 2);
    r.AddElementSeparator(missing, 1);
    r.SetParamElementInfo(missing, 0, "x", 1.0f);
    r.SetParamElementInfo(1, 2, "Three", 9.0f);  // past the two options
    EXPECT_EQ(r.FindParamInfo(missing), nullptr);
    EXPECT_EQ(r.SetParamElementValue(missing, 0, 1.0f), FF_FAIL);
    EXPECT_EQ(r.GetNumParamElements(1), 2u);
    EXPECT_EQ(r.GetParamElementName(1, 2), nullptr);
    EXPECT_EQ(std::string(r.GetParamName(0), 16), std::string("Hi") + std::string(14, '\0'));
}

TEST(Registry, DuplicateIndexIsCountedButOnlyTheFirstIsReached) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(5, "first", FF_TYPE_STANDARD, 0.25f);
    r.SetParamInfo(5, "second", FF_TYPE_INTEGER, 3.0f);
    r.SetParamGroup(5, "g");
    EXPECT_EQ(r.GetNumParams(), 2u);
    EXPECT_EQ(std::string(r.GetParamName(5)), "first");
    EXPECT_EQ(r.GetParamType(5), FF_TYPE_STANDARD);
    EXPECT_EQ(Float(r.GetParamDefault(5)), 0.25f);
    EXPECT_EQ(r.GetParamGroup(5), "g");
}

TEST(Registry, EventFlagsAccumulateAndAreDeliveredUpToCapacity) {
    CFFGLPluginManager r(false);
    for (unsigned int i = 0; i < 4; ++i) r.SetParamInfo(10 + i, "p", FF_TYPE_STANDARD, 0.0f);
    r.RaiseParamEvent(10, 2);
    r.RaiseParamEvent(10, 4);
    r.RaiseParamEvent(11, 0x8000000000000000ull);  // any bit is stored, the top one too
    r.RaiseParamEvent(12, 6);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 3u);

    ParamEventStruct events[4] = {};
    events[2].ParameterNumber = 99;
    EXPECT_EQ(r.ConsumeParamEvents(events, 0), 0u);
    EXPECT_EQ(r.ConsumeParamEvents(nullptr, 3), 0u);  // refused rather than written through
    EXPECT_EQ(r.ConsumeParamEvents(events, 2), 2u);
    EXPECT_EQ(events[0].ParameterNumber, 10u);
    EXPECT_EQ(events[0].eventFlags, 6u);
    EXPECT_EQ(events[1].eventFlags, 0x8000000000000000ull);
    EXPECT_EQ(events[2].ParameterNumber, 99u);  // nothing past the capacity
    EXPECT_EQ(r.GetNumPendingParamEvents(), 1u);

    EXPECT_EQ(r.ConsumeParamEvents(events, 4), 1u);
    EXPECT_EQ(events[0].ParameterNumber, 12u);
    EXPECT_EQ(r.ConsumeParamEvents(events, 4), 0u);
}

}  // namespace
