// The parameter registry on its own: what registration stores, how amendments
// and lookups treat unknown and duplicate indices, and how events accumulate
// and are delivered.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/FFGLPluginManager.h"

namespace {

float Bits(FFMixed m) { return ffMixedToFloat(m); }
std::string Name16(const char* field) { return std::string(field, 16); }

TEST(Registry, FreshRegistryHasNoParametersAndTheDocumentedCapabilities) {
    CFFGLPluginManager r(false);
    EXPECT_EQ(r.GetNumParams(), 0u);
    EXPECT_EQ(r.GetMinInputs(), 0u);
    EXPECT_EQ(r.GetMaxInputs(), 0u);
    EXPECT_TRUE(r.IsTimeSupported());
    EXPECT_FALSE(r.IsTopLeftTextureOrientationSupported());
    EXPECT_EQ(r.GetTextureOrientation(), 0u);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 0u);

    CFFGLPluginManager topLeft(true);
    EXPECT_TRUE(topLeft.IsTopLeftTextureOrientationSupported());
    topLeft.HostEnabledTopLeftTextures();
    EXPECT_EQ(topLeft.GetTextureOrientation(), 1u);
}

TEST(Registry, EveryRegistrationStartsFromTheSameDefaults) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "f", FF_TYPE_STANDARD, 0.5f);
    r.SetParamInfo(1, "b", FF_TYPE_BOOLEAN, true);  // stored as 1.0
    r.SetParamInfo(2, "t", FF_TYPE_TEXT, "x");
    r.SetBufferParamInfo(3, "buf", 2, FF_USAGE_FFT);
    r.SetOptionParamInfo(4, "o", 2, 1.0f);
    r.SetFileParamInfo(5, "file", {"png"}, "a.png");
    for (unsigned int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.GetParamVisibility(i), 1u);
        EXPECT_EQ(r.GetParamRange(i).min, 0.0f);
        EXPECT_EQ(r.GetParamRange(i).max, 1.0f);
        EXPECT_EQ(r.GetParamGroup(i), "");
        EXPECT_EQ(r.GetNumElementSeparators(i), 0u);
        EXPECT_EQ(r.FindParamInfo(i)->pendingEvents, 0u);
        EXPECT_EQ(r.GetParamUsage(i), i == 3 ? FF_USAGE_FFT : FF_USAGE_STANDARD);
    }
    // Element counts differ by kind: one for floats and texts, none for
    // booleans and files, as many as asked for buffers and options.
    EXPECT_EQ(r.GetNumParamElements(0), 1u);
    EXPECT_EQ(r.GetNumParamElements(1), 0u);
    EXPECT_EQ(r.GetNumParamElements(2), 1u);
    EXPECT_EQ(r.GetNumParamElements(3), 2u);
    EXPECT_EQ(r.GetNumParamElements(4), 2u);
    EXPECT_EQ(r.GetNumParamElements(5), 0u);
    EXPECT_EQ(r.GetParamDefault(1).Bits, 0x3F800000u);
    EXPECT_EQ(r.GetParamType(3), FF_TYPE_BUFFER);
    EXPECT_EQ(r.GetParamType(4), FF_TYPE_OPTION);
    EXPECT_EQ(r.GetParamType(5), FF_TYPE_FILE);
    EXPECT_STREQ(r.GetParamElementName(0, 0), "");
    EXPECT_EQ(Bits(r.GetParamElementDefault(0, 0)), 0.0f);
}

TEST(Registry, OnlyStandardFloatDefaultsAreClamped) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "high", FF_TYPE_STANDARD, 1.5f);
    r.SetParamInfo(1, "low", FF_TYPE_STANDARD, -0.5f);
    r.SetParamInfo(2, "int", FF_TYPE_INTEGER, 1.5f);
    r.SetOptionParamInfo(3, "opt", 4, 3.0f);
    EXPECT_EQ(Bits(r.GetParamDefault(0)), 1.0f);
    EXPECT_EQ(Bits(r.GetParamDefault(1)), 0.0f);
    EXPECT_EQ(Bits(r.GetParamDefault(2)), 1.5f);
    EXPECT_EQ(Bits(r.GetParamDefault(3)), 3.0f);
}

TEST(Registry, RangeIsStoredWithoutTouchingTheDefault) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "a", FF_TYPE_STANDARD, 1.0f);
    r.SetParamRange(0, 0.1f, 4.0f);
    r.SetParamInfo(1, "b", FF_TYPE_STANDARD, 2.0f);  // clamped at registration, not by the range
    r.SetParamRange(1, 0.0f, 10.0f);
    r.SetParamRange(2, 5.0f, 6.0f);  // unregistered: no effect, no record made
    EXPECT_EQ(Bits(r.GetParamDefault(0)), 1.0f);
    EXPECT_EQ(r.GetParamRange(0).min, 0.1f);
    EXPECT_EQ(r.GetParamRange(0).max, 4.0f);
    EXPECT_EQ(Bits(r.GetParamDefault(1)), 1.0f);
    EXPECT_EQ(r.GetNumParams(), 2u);
}

TEST(Registry, NamesKeepSixteenCharactersAndZeroTheRest) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "ABCDEFGHIJKLMNOP", FF_TYPE_STANDARD, 0.0f);
    r.SetParamInfo(1, "ABCDEFGHIJKLMNOPQRST", FF_TYPE_STANDARD, 0.0f);
    r.SetParamInfo(2, "Hi", FF_TYPE_STANDARD, 0.0f);
    r.SetParamInfo(3, "", FF_TYPE_STANDARD, 0.0f);
    EXPECT_EQ(Name16(r.GetParamName(0)), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Name16(r.GetParamName(1)), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Name16(r.GetParamName(2)), std::string("Hi") + std::string(14, '\0'));
    EXPECT_EQ(Name16(r.GetParamName(3)), std::string(16, '\0'));
}

TEST(Registry, TextAndFileDefaultsAreReportedAsText) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "text", FF_TYPE_TEXT, "hello");
    r.SetFileParamInfo(1, "file", {"png", "jpg"}, "default.png");
    r.SetParamInfo(2, "null text", FF_TYPE_TEXT, static_cast<const char*>(nullptr));
    EXPECT_STREQ(static_cast<const char*>(r.GetParamDefault(0).PointerValue), "hello");
    EXPECT_STREQ(static_cast<const char*>(r.GetParamDefault(1).PointerValue), "default.png");
    EXPECT_STREQ(static_cast<const char*>(r.GetParamDefault(2).PointerValue), "");
    EXPECT_EQ(r.GetNumFileParamExtensions(1), 2u);
    EXPECT_STREQ(r.GetFileParamExtension(1, 1), "jpg");
    EXPECT_EQ(r.GetFileParamExtension(1, 2), nullptr);
    EXPECT_EQ(r.GetNumFileParamExtensions(0), 0u);
}

TEST(Registry, UnregisteredIndexGivesEachQuerysFailureAnswer) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(0, "only", FF_TYPE_STANDARD, 0.5f);
    const unsigned int missing = 7;
    EXPECT_EQ(r.FindParamInfo(missing), nullptr);
    EXPECT_EQ(r.GetParamName(missing), nullptr);
    EXPECT_EQ(r.GetParamType(missing), FF_FAIL);
    EXPECT_EQ(r.GetParamDefault(missing).Bits, uint64_t(FF_FAIL));
    EXPECT_EQ(r.GetParamUsage(missing), FF_FAIL);
    EXPECT_EQ(r.GetParamVisibility(missing), FF_FAIL);
    EXPECT_EQ(r.GetParamRange(missing).min, 0.0f);
    EXPECT_EQ(r.GetParamRange(missing).max, 1.0f);
    EXPECT_EQ(r.GetParamGroup(missing), "");
    EXPECT_EQ(r.GetNumParamElements(missing), FF_FAIL);
    EXPECT_EQ(r.GetParamElementName(missing, 0), nullptr);
    EXPECT_EQ(r.GetParamElementDefault(missing, 0).Bits, uint64_t(FF_FAIL));
    EXPECT_EQ(r.GetNumElementSeparators(missing), 0u);
    EXPECT_EQ(r.GetElementSeparatorElementIndex(missing, 0), FF_FAIL);
    EXPECT_EQ(r.GetNumFileParamExtensions(missing), 0u);
    EXPECT_EQ(r.GetFileParamExtension(missing, 0), nullptr);
    EXPECT_EQ(r.SetParamElementValue(missing, 0, 1.0f), FF_FAIL);
    // Amendments of an unknown index touch nothing that exists.
    r.SetParamVisibility(missing, false);
    r.SetParamGroup(missing, "g");
    r.RaiseParamEvent(missing, 2);
    r.AddElementSeparator(missing, 1);
    EXPECT_EQ(r.GetParamVisibility(0), 1u);
    EXPECT_EQ(r.GetParamGroup(0), "");
    EXPECT_EQ(r.GetNumPendingParamEvents(), 0u);
    EXPECT_EQ(r.GetNumElementSeparators(0), 0u);
}

TEST(Registry, OptionElementsCanBeNamedAndValuedOnlyInsideTheirCount) {
    CFFGLPluginManager r(false);
    r.SetOptionParamInfo(0, "mode", 4, 0.0f);
    r.SetParamElementInfo(0, 1, "Two", 1.0f);
    r.SetParamElementInfo(0, 4, "Five", 9.0f);  // beyond the count: ignored
    EXPECT_EQ(r.GetNumParamElements(0), 4u);
    EXPECT_STREQ(r.GetParamElementName(0, 1), "Two");
    EXPECT_EQ(Bits(r.GetParamElementDefault(0, 1)), 1.0f);
    for (unsigned int e : {0u, 2u, 3u}) {
        EXPECT_STREQ(r.GetParamElementName(0, e), "");
        EXPECT_EQ(Bits(r.GetParamElementDefault(0, e)), 0.0f);
    }
    EXPECT_EQ(r.GetParamElementName(0, 4), nullptr);
    EXPECT_EQ(r.GetParamElementDefault(0, 4).Bits, uint64_t(FF_FAIL));
    EXPECT_EQ(r.SetParamElementValue(0, 4, 1.0f), FF_FAIL);
    EXPECT_EQ(r.SetParamElementValue(0, 3, 0.75f), FF_SUCCESS);
    EXPECT_EQ(Bits(r.GetParamElementDefault(0, 3)), 0.75f);
}

TEST(Registry, SeparatorsAreKeptAsGivenInOrder) {
    CFFGLPluginManager r(false);
    r.SetOptionParamInfo(0, "mode", 3, 0.0f);
    r.AddElementSeparator(0, 1);
    r.AddElementSeparator(0, 99);  // not validated against the element count
    EXPECT_EQ(r.GetNumElementSeparators(0), 2u);
    EXPECT_EQ(r.GetElementSeparatorElementIndex(0, 0), 1u);
    EXPECT_EQ(r.GetElementSeparatorElementIndex(0, 1), 99u);
    EXPECT_EQ(r.GetElementSeparatorElementIndex(0, 2), FF_FAIL);
}

TEST(Registry, DuplicateIndexIsCountedButNeverReached) {
    CFFGLPluginManager r(false);
    r.SetParamInfo(5, "first", FF_TYPE_STANDARD, 0.25f);
    r.SetParamInfo(5, "second", FF_TYPE_INTEGER, 3.0f);
    EXPECT_EQ(r.GetNumParams(), 2u);
    EXPECT_STREQ(std::string(r.GetParamName(5), 5).c_str(), "first");
    EXPECT_EQ(r.GetParamType(5), FF_TYPE_STANDARD);
    EXPECT_EQ(Bits(r.GetParamDefault(5)), 0.25f);
    r.SetParamGroup(5, "g");
    EXPECT_EQ(r.GetParamGroup(5), "g");
    EXPECT_STREQ(std::string(r.FindParamInfo(5)->name, 5).c_str(), "first");
}

TEST(Registry, EventFlagsAccumulatePerParameter) {
    CFFGLPluginManager r(false);
    for (unsigned int i = 0; i < 3; ++i) r.SetParamInfo(i, "p", FF_TYPE_STANDARD, 0.0f);
    r.RaiseParamEvent(2, 2);
    r.RaiseParamEvent(2, 4);
    EXPECT_EQ(r.FindParamInfo(2)->pendingEvents, 6u);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 1u);
    r.RaiseParamEvent(0, 0x8000000000000000ull);  // any bit is stored, the top one too
    EXPECT_EQ(r.GetNumPendingParamEvents(), 2u);
}

TEST(Registry, DeliveryStopsAtCapacityAndKeepsTheRestPending) {
    CFFGLPluginManager r(false);
    for (unsigned int i = 0; i < 4; ++i) r.SetParamInfo(10 + i, "p", FF_TYPE_STANDARD, 0.0f);
    r.RaiseParamEvent(10, 2);
    r.RaiseParamEvent(11, 4);
    r.RaiseParamEvent(12, 6);

    ParamEventStruct events[3] = {};
    EXPECT_EQ(r.ConsumeParamEvents(events, 0), 0u);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 3u);

    EXPECT_EQ(r.ConsumeParamEvents(events, 2), 2u);
    EXPECT_EQ(events[0].ParameterNumber, 10u);
    EXPECT_EQ(events[0].eventFlags, 2u);
    EXPECT_EQ(events[1].ParameterNumber, 11u);
    EXPECT_EQ(events[1].eventFlags, 4u);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 1u);

    events[0] = {};
    EXPECT_EQ(r.ConsumeParamEvents(events, 3), 1u);
    EXPECT_EQ(events[0].ParameterNumber, 12u);
    EXPECT_EQ(events[0].eventFlags, 6u);
    EXPECT_EQ(r.ConsumeParamEvents(events, 3), 0u);
    // A null array is refused rather than written through.
    r.RaiseParamEvent(13, 2);
    EXPECT_EQ(r.ConsumeParamEvents(nullptr, 3), 0u);
    EXPECT_EQ(r.GetNumPendingParamEvents(), 1u);
}

}  // namespace
