// plugMain driven the way a host drives it: the test modules are loaded with
// dlopen and every record is built as raw bytes at its fixed offsets, so a
// layout slip in our own structs cannot pass unnoticed. Answers are read as
// the plain 64-bit values a host sees.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/host/modules/TestModuleControl.h"
#include "tests/support/AbiHost.h"

using namespace testhost;

namespace {

// Function codes, spelled out here so the test does not trust the ABI header.
enum : uint32_t {
    kGetInfo = 0, kDeinitialise = 2, kGetNumParameters = 4, kGetParameterName = 5, kGetParameterDefault = 6,
    kGetParameterDisplay = 7, kSetParameter = 8, kGetParameter = 9, kGetPluginCaps = 10, kGetExtendedInfo = 13,
    kGetParameterType = 15, kGetInputStatus = 16, kProcessOpenGL = 17, kInstantiateGL = 18,
    kDeinstantiateGL = 19, kSetTime = 20, kConnect = 21, kDisconnect = 22, kResize = 23,
    kGetNumParameterElements = 31, kGetParameterUsage = 32, kGetPluginShortName = 33, kInitialiseV2 = 34,
    kGetParameterElementName = 35, kGetParameterElementDefault = 36, kSetParameterElementValue = 37,
    kSetBeatInfo = 38, kSetHostInfo = 39, kSetSampleRate = 40, kGetRange = 41, kGetThumbnail = 42,
    kGetNumFileParameterExtensions = 43, kGetFileParameterExtension = 44, kGetParameterVisibility = 45,
    kGetParameterEvents = 46, kGetNumElementSeparators = 47, kGetSeparatorElementIndex = 48,
    kEnablePluginCap = 49, kGetParameterGroup = 50,
};

// FrameTestPlugin's parameters, in registration order.
enum : uint32_t {
    pStandard, pBoolean, pTrigger, pRed, pGreen, pBlue, pHue, pSaturation, pBrightness, pAlpha,
    pOption, pBands, pCount, pImage, pCaption, pCounter, pLongName, kFrameParams
};
const uint32_t kUnregistered = 99;

std::string Text(uint64_t answer) {
    const char* p = AsPtr<const char>(answer);
    return p ? std::string(p) : std::string("(null)");
}

Record RangeQuery(uint32_t index) {
    Record r(12);
    r.U32(0, index).F32(4, -7.0f).F32(8, -7.0f);
    return r;
}
Record EventsQuery(uint32_t capacity, void* events) {
    Record r(16);
    r.U32(0, capacity).Ptr(8, events);
    return r;
}
Record GroupQuery(uint32_t index, char* buffer, uint32_t capacity) {
    Record r(24);
    r.U32(0, index).Ptr(8, buffer).U32(16, capacity);
    return r;
}
Record ThumbnailQuery(void* pixels) {
    Record r(16);
    r.U32(0, 77).U32(4, 77).Ptr(8, pixels);
    return r;
}
Record SetElementValue(uint32_t index, uint32_t element, float value) {
    Record r(12);
    r.U32(0, index).U32(4, element).F32(8, value);
    return r;
}

// One loaded test module with its control block, reset for each test so
// tests do not depend on each other even when they share a process.
class Loaded {
public:
    explicit Loaded(const char* target) : module(ModulePath((std::string("TESSIVAR_MODULE_") + target).c_str())) {
        if (!module.Loaded()) return;
        auto fn = reinterpret_cast<TestModuleControl* (*)()>(module.Symbol("tessivarTestControl"));
        control = fn ? fn() : &unused;
        module.Call(kDeinitialise);
        std::memset(control, 0, sizeof *control);
    }
    // A host ends with FF_DEINITIALISE; so does every test.
    ~Loaded() {
        if (module.Loaded()) module.Call(kDeinitialise);
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    std::string Trace() const { return std::string(control->trace, control->traceLength); }
    void ClearTrace() { control->traceLength = 0; }
    uint64_t Call(uint32_t code, uint64_t input = 0, uint64_t instance = 0) const {
        return module.Call(code, input, instance);
    }
    uint64_t Call(uint32_t code, Record& record, uint64_t instance = 0) const {
        return module.Call(code, record, instance);
    }

    Module module;
    TestModuleControl* control = nullptr;

private:
    TestModuleControl unused{};
};

class FrameAbi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m.module.Loaded()) << m.module.Error(); }
    // A new instance, with the prototype made and the trace cleared.
    uint64_t NewInstance() {
        const uint64_t instance = m.module.Instantiate(640, 360);
        EXPECT_NE(instance, kFail);
        m.ClearTrace();
        return instance;
    }
    Loaded m{"FRAMETESTPLUGIN"};
};

// ---------------------------------------------------------------------------
// Codes outside the table and requests without an instance

TEST_F(FrameAbi, UnknownAndRetiredCodesFailAndChangeNothing) {
    const uint32_t codes[] = {1, 3, 11, 12, 14, 24, 25, 26, 27, 28, 29, 30, 51, 0xFFFFFFFFu};
    Record junk(64);
    for (uint32_t code : codes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(m.Call(code), kFail);
        EXPECT_EQ(m.Call(code, junk), kFail);
    }
    EXPECT_EQ(m.Trace(), "");  // not even a prototype was made

    const uint64_t instance = NewInstance();
    for (uint32_t code : codes) EXPECT_EQ(m.Call(code, junk, instance), kFail) << code;
    EXPECT_EQ(m.Trace(), "");
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, MissingInstanceOrNullRecordGetsTheFailureAnswer) {
    Record any(64);  // large enough for every record, all zero
    // Per-instance codes without an instance, text answers (7, 9) included.
    for (uint32_t code : {kGetParameterDisplay, kSetParameter, kGetParameter, kGetInputStatus, kProcessOpenGL, kDeinstantiateGL, kSetTime,
                          kConnect, kDisconnect, kResize, kSetParameterElementValue, kSetBeatInfo, kSetHostInfo,
                          kSetSampleRate, kGetParameterEvents, kEnablePluginCap})
        EXPECT_EQ(m.Call(code, any), kFail) << code;
    EXPECT_EQ(any.GetU32(0), 0u);  // nothing written

    // Null records are refused rather than followed, with or without instance.
    const uint64_t instance = NewInstance();
    for (uint32_t code : {kSetParameter, kProcessOpenGL, kSetTime, kResize, kSetParameterElementValue, kSetBeatInfo,
                          kSetHostInfo, kGetParameterEvents, kInstantiateGL, kGetParameterElementDefault, kGetRange,
                          kGetThumbnail, kGetSeparatorElementIndex, kGetParameterGroup})
        EXPECT_EQ(m.Call(code, 0, instance), kFail) << code;
    EXPECT_EQ(m.Call(kGetParameterElementName, 0), 0u);
    EXPECT_EQ(m.Call(kGetFileParameterExtension, 0), 0u);
    EXPECT_EQ(m.Trace(), "");  // a null frame does not connect either
    m.module.Deinstantiate(instance);
}

// ---------------------------------------------------------------------------
// The prototype

TEST_F(FrameAbi, PrototypeIsMadeOnFirstNeedAndRemadeAfterDeinitialise) {
    EXPECT_EQ(m.Call(kGetNumParameters), uint64_t(kFrameParams));
    EXPECT_EQ(m.Trace(), "N");
    EXPECT_EQ(m.Call(kInitialiseV2), kSuccess);
    EXPECT_EQ(m.Trace(), "N");  // already there: the factory is not called again
    EXPECT_EQ(m.Call(kDeinitialise), kSuccess);
    EXPECT_EQ(m.Call(kDeinitialise), kSuccess);
    EXPECT_EQ(m.Trace(), "NX");
    EXPECT_EQ(m.Call(kGetParameterType, pStandard), 10u);
    EXPECT_EQ(m.Trace(), "NXN");
    EXPECT_EQ(m.Call(kDeinitialise), kSuccess);
    EXPECT_EQ(m.Call(kInitialiseV2), kSuccess);
    EXPECT_EQ(m.Trace(), "NXNXN");
}

TEST_F(FrameAbi, InstancesOutliveThePrototype) {
    const uint64_t instance = NewInstance();
    EXPECT_EQ(m.Call(kDeinitialise), kSuccess);
    EXPECT_EQ(m.Trace(), "X");
    EXPECT_EQ(m.module.SetFloat(instance, pStandard, 0.75f), kSuccess);  // remakes the prototype for the type
    EXPECT_FLOAT_EQ(m.module.GetFloat(instance, pStandard), 0.75f);
    m.module.Deinstantiate(instance);
    EXPECT_EQ(m.Trace(), "XNUX");
}

// ---------------------------------------------------------------------------
// Identity and parameter descriptions, answered from the prototype

TEST_F(FrameAbi, InformationRecordsAreServedInTheirLayout) {
    const auto* info = AsPtr<const uint8_t>(m.Call(kGetInfo));
    ASSERT_NE(info, nullptr);
    Record expected(32);
    expected.U32(0, 2).U32(4, 1).U32(28, 0);
    std::memcpy(static_cast<uint8_t*>(expected.Data()) + 8, "FRMTFrame Test", 14);
    EXPECT_EQ(std::memcmp(info, expected.Bytes(), 32), 0);

    const auto* ext = AsPtr<const uint8_t>(m.Call(kGetExtendedInfo));
    ASSERT_NE(ext, nullptr);
    uint32_t major, minor, size;
    const char* description;
    const char* about;
    const void* block;
    std::memcpy(&major, ext, 4);
    std::memcpy(&minor, ext + 4, 4);
    std::memcpy(&description, ext + 8, 8);
    std::memcpy(&about, ext + 16, 8);
    std::memcpy(&size, ext + 24, 4);
    std::memcpy(&block, ext + 32, 8);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 3u);
    EXPECT_STREQ(description, "Exercises the plugin frame");
    EXPECT_STREQ(about, "Tessivar frame tests");
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(m.Trace(), "");  // identity needs no prototype
}

// Each global code reaches the right query of the prototype's registry and
// answers in the right form: counts and types as 32-bit values, floats as bits,
// texts as pointers, records written at their offsets.
TEST_F(FrameAbi, GlobalQueriesAnswerFromThePrototype) {
    const uint32_t types[kFrameParams] = {10, 0, 1, 2, 3, 4, 200, 201, 202, 203, 11, 12, 13, 14, 100, 10, 10};
    for (uint32_t i = 0; i < kFrameParams; ++i) EXPECT_EQ(m.Call(kGetParameterType, i), types[i]) << i;
    EXPECT_EQ(m.Call(kGetParameterType, kUnregistered), kFail);

    EXPECT_EQ(Text(m.Call(kGetParameterName, pStandard)), "Standard");
    EXPECT_EQ(std::string(AsPtr<const char>(m.Call(kGetParameterName, pLongName)), 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(m.Call(kGetParameterName, kUnregistered), 0u);

    EXPECT_EQ(m.Call(kGetParameterDefault, pStandard), FloatBits(0.25f));
    EXPECT_EQ(m.Call(kGetParameterDefault, pLongName), FloatBits(1.0f));  // 1.5 clamped
    EXPECT_EQ(Text(m.Call(kGetParameterDefault, pCaption)), "hello");
    EXPECT_EQ(Text(m.Call(kGetParameterDefault, pImage)), "default.png");

    EXPECT_EQ(m.Call(kGetNumParameterElements, pBands), 4u);
    EXPECT_EQ(m.Call(kGetParameterUsage, pBands), 1u);
    Record element = ElementQuery(pOption, 1);
    EXPECT_EQ(Text(m.Call(kGetParameterElementName, element)), "Multiply");
    EXPECT_EQ(m.Call(kGetParameterElementDefault, element), FloatBits(1.0f));
    element.U32(4, 3);  // past the three options
    EXPECT_EQ(m.Call(kGetParameterElementName, element), 0u);
    EXPECT_EQ(m.Call(kGetParameterElementDefault, element), kFail);

    EXPECT_EQ(m.Call(kGetNumElementSeparators, pOption), 1u);
    Record separator = ElementQuery(pOption, 0);
    EXPECT_EQ(m.Call(kGetSeparatorElementIndex, separator), 1u);
    separator.U32(4, 1);
    EXPECT_EQ(m.Call(kGetSeparatorElementIndex, separator), kFail);

    EXPECT_EQ(m.Call(kGetNumFileParameterExtensions, pImage), 2u);
    Record extension = ElementQuery(pImage, 1);
    EXPECT_EQ(Text(m.Call(kGetFileParameterExtension, extension)), "jpg");

    Record range = RangeQuery(pCount);
    EXPECT_EQ(m.Call(kGetRange, range), kSuccess);
    EXPECT_EQ(range.GetF32(4), 0.0f);
    EXPECT_EQ(range.GetF32(8), 16.0f);
    Record missing = RangeQuery(kUnregistered);
    EXPECT_EQ(m.Call(kGetRange, missing), kSuccess);
    EXPECT_EQ(missing.GetF32(4), 0.0f);
    EXPECT_EQ(missing.GetF32(8), 1.0f);

    const std::pair<uint32_t, uint64_t> caps[] = {{5, 1}, {10, 1}, {11, 1}, {16, 1}, {4, 0}, {0xFFFFFFFFu, 0}};
    for (const auto& [cap, answer] : caps) EXPECT_EQ(m.Call(kGetPluginCaps, cap), answer) << cap;
    EXPECT_EQ(Text(m.Call(kGetPluginShortName)), "FrameT");
}

TEST_F(FrameAbi, GroupCopiesExactlyTheBytesThatFitAndNoTerminator) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    Record cut = GroupQuery(pStandard, buffer, 4);  // "Geometry Group" is 14 characters
    EXPECT_EQ(m.Call(kGetParameterGroup, cut), kSuccess);
    EXPECT_EQ(std::string(buffer, 6), "Geom##");

    std::memset(buffer, '#', sizeof buffer);
    Record whole = GroupQuery(pRed, buffer, sizeof buffer);
    EXPECT_EQ(m.Call(kGetParameterGroup, whole), kSuccess);
    EXPECT_EQ(std::string(buffer, 8), "Colour##");

    std::memset(buffer, '#', sizeof buffer);
    Record none = GroupQuery(pBoolean, buffer, sizeof buffer);
    EXPECT_EQ(m.Call(kGetParameterGroup, none), kSuccess);
    Record missing = GroupQuery(kUnregistered, buffer, sizeof buffer);
    EXPECT_EQ(m.Call(kGetParameterGroup, missing), kSuccess);
    EXPECT_EQ(std::string(buffer, 4), "####");

    Record empty = GroupQuery(pStandard, buffer, 0);
    EXPECT_EQ(m.Call(kGetParameterGroup, empty), kFail);
    EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// Instances: creation, connection, destruction

TEST_F(FrameAbi, InstantiationPushesEveryDefaultThroughTheSetters) {
    const uint64_t instance = m.module.Instantiate(640, 360);
    ASSERT_NE(instance, kFail);
    EXPECT_EQ(m.Trace(), "NNI");  // prototype, instance, InitGL
    EXPECT_EQ(m.Call(kGetParameter, pStandard, instance), FloatBits(0.25f));
    EXPECT_EQ(m.Call(kGetParameter, pBoolean, instance), FloatBits(1.0f));
    EXPECT_EQ(m.Call(kGetParameter, pGreen, instance), FloatBits(0.5f));
    EXPECT_EQ(m.Call(kGetParameter, pOption, instance), FloatBits(1.0f));
    EXPECT_EQ(m.Call(kGetParameter, pCount, instance), FloatBits(7.0f));
    EXPECT_EQ(m.Call(kGetParameter, pLongName, instance), FloatBits(1.0f));
    EXPECT_EQ(Text(m.Call(kGetParameter, pCaption, instance)), "hello");
    EXPECT_EQ(Text(m.Call(kGetParameter, pImage, instance)), "default.png");
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, FirstFrameConnectsOnceAndDeinstantiateDisconnects) {
    const uint64_t instance = NewInstance();
    ProcessRecord frame;
    frame.AddInput(640, 360, 1024, 512, 7);
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kSuccess);
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kSuccess);
    EXPECT_EQ(m.Trace(), "CPP");
    EXPECT_EQ(m.Call(kGetParameter, pCounter, instance), FloatBits(2.0f));
    EXPECT_EQ(m.Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(m.Trace(), "CPPDUX");
}

TEST_F(FrameAbi, NeverConnectedInstanceIsDestroyedWithoutDisconnect) {
    const uint64_t instance = NewInstance();
    EXPECT_EQ(m.Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(m.Trace(), "UX");
}

TEST_F(FrameAbi, ConnectionStateFollowsOnlySuccessfulAnswers) {
    const uint64_t instance = NewInstance();
    ProcessRecord frame;
    frame.AddInput(8, 8, 8, 8, 1);

    m.control->connectResult = 0xFFFFFFFFu;
    EXPECT_EQ(m.Call(kConnect, 0, instance), kFail);
    // Still not connected, so the first frame asks again; its answer is not
    // examined and the frame is processed anyway.
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kSuccess);
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kSuccess);
    EXPECT_EQ(m.Trace(), "CCPP");

    m.control->disconnectResult = 0xFFFFFFFFu;
    EXPECT_EQ(m.Call(kDisconnect, 0, instance), kFail);  // stays connected
    m.control->disconnectResult = 0;
    EXPECT_EQ(m.Call(kDisconnect, 0, instance), kSuccess);
    m.ClearTrace();
    EXPECT_EQ(m.Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(m.Trace(), "UX");  // disconnected already
}

TEST_F(FrameAbi, ExplicitConnectIsNotRepeatedByTheFirstFrame) {
    const uint64_t instance = NewInstance();
    ProcessRecord frame;
    frame.AddInput(8, 8, 8, 8, 1);
    EXPECT_EQ(m.Call(kConnect, 0, instance), kSuccess);
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kSuccess);
    m.control->disconnectResult = 0xFFFFFFFFu;  // not examined while de-instantiating
    EXPECT_EQ(m.Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(m.Trace(), "CPDUX");
}

// ---------------------------------------------------------------------------
// Requests to an instance

TEST_F(FrameAbi, ParametersAreSetAndReadByType) {
    const uint64_t instance = NewInstance();
    EXPECT_EQ(m.module.SetFloat(instance, pStandard, 0.5f), kSuccess);
    EXPECT_EQ(m.Call(kGetParameter, pStandard, instance), FloatBits(0.5f));
    Record caption = SetParamText(pCaption, "new words");
    EXPECT_EQ(m.Call(kSetParameter, caption, instance), kSuccess);
    EXPECT_EQ(Text(m.Call(kGetParameter, pCaption, instance)), "new words");
    // An unregistered index goes to the float setter; the plugin's own
    // refusal comes back unchanged.
    EXPECT_EQ(m.module.SetFloat(instance, kUnregistered, 1.0f), kFail);
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, DisplayTextsForNumbersAndTexts) {
    const uint64_t instance = NewInstance();
    m.module.SetFloat(instance, pCount, -1.5f);
    EXPECT_EQ(Text(m.Call(kGetParameterDisplay, pStandard, instance)), "0.250000");
    EXPECT_EQ(Text(m.Call(kGetParameterDisplay, pCount, instance)), "-1.500000");
    EXPECT_EQ(Text(m.Call(kGetParameterDisplay, pOption, instance)), "1.000000");
    EXPECT_EQ(Text(m.Call(kGetParameterDisplay, pCaption, instance)), "hello");
    EXPECT_EQ(m.Call(kGetParameterDisplay, kUnregistered, instance), 0u);

    m.module.SetFloat(instance, pCount, 1.0e9f);
    const char* shown = AsPtr<const char>(m.Call(kGetParameterDisplay, pCount, instance));
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(std::memchr(shown, '\0', 16), nullptr);
    EXPECT_STREQ(shown, "1000000000.0000");
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, EventsCountWithNullArrayAndDeliverUpToCapacity) {
    const uint64_t instance = NewInstance();
    Record none = EventsQuery(5, nullptr);
    EXPECT_EQ(m.Call(kGetParameterEvents, none, instance), kSuccess);
    EXPECT_EQ(none.GetU32(0), 0u);

    m.module.SetFloat(instance, pTrigger, 1.0f);  // raises events on Standard and Count
    Record count = EventsQuery(5, nullptr);
    EXPECT_EQ(m.Call(kGetParameterEvents, count, instance), kSuccess);
    EXPECT_EQ(count.GetU32(0), 2u);
    EXPECT_EQ(m.Call(kGetParameterEvents, count, instance), kSuccess);
    EXPECT_EQ(count.GetU32(0), 2u);  // counting cleared nothing

    Record one(16);
    one.U64(8, 0xDEADBEEFull);
    Record take = EventsQuery(1, one.Data());
    EXPECT_EQ(m.Call(kGetParameterEvents, take, instance), kSuccess);
    EXPECT_EQ(take.GetU32(0), 1u);
    EXPECT_EQ(one.GetU32(0), uint32_t(pStandard));
    EXPECT_EQ(one.GetU64(8), 2u);

    EXPECT_EQ(m.module.CollectEvents(instance), (std::vector<std::pair<uint32_t, uint64_t>>{{pCount, 2}}));
    EXPECT_TRUE(m.module.CollectEvents(instance).empty());
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, VisibilityComesFromTheInstanceWhenOneIsGiven) {
    EXPECT_EQ(m.Call(kGetParameterVisibility, pCounter), 0u);
    EXPECT_EQ(m.Call(kGetParameterVisibility, pStandard), 1u);
    EXPECT_EQ(m.Call(kGetParameterVisibility, kUnregistered), kFail);

    const uint64_t instance = NewInstance();
    m.module.SetFloat(instance, pBoolean, 0.0f);  // this instance shows its counter
    EXPECT_EQ(m.Call(kGetParameterVisibility, pCounter, instance), 1u);
    EXPECT_EQ(m.Call(kGetParameterVisibility, pCounter), 0u);
    EXPECT_EQ(m.Call(kGetParameterVisibility, kUnregistered, instance), kFail);
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, ElementValuesChangeOnlyTheInstancesRegistry) {
    const uint64_t instance = NewInstance();
    Record set = SetElementValue(pOption, 2, 5.0f);
    EXPECT_EQ(m.Call(kSetParameterElementValue, set, instance), kSuccess);
    Record outside = SetElementValue(pOption, 3, 5.0f);
    EXPECT_EQ(m.Call(kSetParameterElementValue, outside, instance), kFail);
    Record unknown = SetElementValue(kUnregistered, 0, 5.0f);
    EXPECT_EQ(m.Call(kSetParameterElementValue, unknown, instance), kFail);
    Record q = ElementQuery(pOption, 2);
    EXPECT_EQ(m.Call(kGetParameterElementDefault, q), FloatBits(2.0f));  // the prototype's is untouched
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, TopLeftTexturesCanBeEnabledOnlyByTheirCode) {
    const uint64_t instance = NewInstance();
    EXPECT_EQ(m.Call(kEnablePluginCap, 5, instance), kFail);
    EXPECT_EQ(m.Call(kEnablePluginCap, 16, instance), kSuccess);
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, HostStateRequestsAreAccepted) {
    const uint64_t instance = NewInstance();
    Record time(8);
    time.F64(0, 2.5);
    EXPECT_EQ(m.Call(kSetTime, time, instance), kSuccess);
    Record beat(8);
    beat.F32(0, 128.0f).F32(4, 0.25f);
    EXPECT_EQ(m.Call(kSetBeatInfo, beat, instance), kSuccess);
    Record host(16);
    host.Ptr(0, "Host").Ptr(8, "1.0");
    EXPECT_EQ(m.Call(kSetHostInfo, host, instance), kSuccess);
    Record nullTexts(16);  // both texts null: kept as empty texts, no crash
    EXPECT_EQ(m.Call(kSetHostInfo, nullTexts, instance), kSuccess);
    EXPECT_EQ(m.Call(kSetSampleRate, 48000, instance), kSuccess);
    Record vp = Viewport(0, 0, 1920, 1080);
    EXPECT_EQ(m.Call(kResize, vp, instance), kSuccess);
    EXPECT_EQ(m.Call(kGetInputStatus, 0, instance), 1u);
    EXPECT_EQ(m.Call(kGetInputStatus, 1, instance), kFail);
    EXPECT_EQ(m.Trace(), "R");
    m.module.Deinstantiate(instance);
}

TEST_F(FrameAbi, ThumbnailIsServedInTwoSteps) {
    Record size = ThumbnailQuery(nullptr);
    EXPECT_EQ(m.Call(kGetThumbnail, size), kSuccess);
    EXPECT_EQ(size.GetU32(0), 2u);
    EXPECT_EQ(size.GetU32(4), 2u);

    Record pixels(16 + 4);
    pixels.U32(16, 0xEEEEEEEEu);
    Record fetch = ThumbnailQuery(pixels.Data());
    EXPECT_EQ(m.Call(kGetThumbnail, fetch), kSuccess);
    const uint8_t expected[20] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0xCC, 0xBB,
                                  0xAA, 0x99, 0,    0,    0,    0,    0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(pixels.Bytes(), expected, 20), 0);
}

// ---------------------------------------------------------------------------
// A module with no information record

TEST(EmptyModuleAbi, EveryQueryGivesItsFailureAnswer) {
    Loaded m("EMPTYMODULE");
    ASSERT_TRUE(m.module.Loaded()) << m.module.Error();
    Record element = ElementQuery(0, 0);
    Record range = RangeQuery(0);
    char buffer[4] = {'#', '#', '#', '#'};
    Record group = GroupQuery(0, buffer, 4);
    Record thumb = ThumbnailQuery(nullptr);
    Record vp = Viewport(0, 0, 8, 8);
    const uint64_t kNull = 0;
    const struct {
        uint32_t code;
        uint64_t input;
        uint64_t answer;
    } asks[] = {
        {kGetInfo, 0, kNull}, {kGetExtendedInfo, 0, kNull}, {kInitialiseV2, 0, kFail}, {kDeinitialise, 0, kSuccess},
        {kGetNumParameters, 0, kFail}, {kGetParameterName, 0, kNull}, {kGetParameterDefault, 0, kFail},
        {kGetPluginCaps, 5, kFail}, {kGetParameterType, 0, kFail}, {kInstantiateGL, vp.Arg(), kFail},
        {kGetNumParameterElements, 0, kFail}, {kGetParameterUsage, 0, kFail}, {kGetPluginShortName, 0, kNull},
        {kGetParameterElementName, element.Arg(), kNull}, {kGetParameterElementDefault, element.Arg(), kFail},
        {kGetRange, range.Arg(), kFail}, {kGetThumbnail, thumb.Arg(), kFail},
        {kGetNumFileParameterExtensions, 0, kFail}, {kGetFileParameterExtension, element.Arg(), kNull},
        {kGetParameterVisibility, 0, kFail}, {kGetNumElementSeparators, 0, 0},
        {kGetSeparatorElementIndex, element.Arg(), kFail}, {kGetParameterGroup, group.Arg(), kFail},
    };
    for (const auto& ask : asks) EXPECT_EQ(m.Call(ask.code, ask.input), ask.answer) << ask.code;
    EXPECT_EQ(range.GetF32(4), -7.0f);  // nothing written
    EXPECT_EQ(thumb.GetU32(0), 0u);     // the size is written, as 0 x 0
    EXPECT_EQ(thumb.GetU32(4), 0u);
    EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// A plugin that fails InitGL

TEST(FailingInitAbi, FailedInitGLIsCleanedUpOnceAndAnswersFail) {
    Loaded m("FAILINGINITPLUGIN");
    ASSERT_TRUE(m.module.Loaded()) << m.module.Error();
    const uint64_t answer = m.module.Instantiate(320, 240);
    EXPECT_EQ(answer, 0x00000000FFFFFFFFull);
    EXPECT_EQ(m.Trace(), "NNIUX");  // prototype; instance, InitGL, DeInitGL once, destroyed
    // Global queries still work, and so does the next attempt.
    EXPECT_EQ(m.Call(kGetNumParameters), 1u);
    EXPECT_EQ(m.module.Instantiate(320, 240), kFail);
    EXPECT_EQ(m.Trace(), "NNIUXNIUX");
}

// ---------------------------------------------------------------------------
// Plugin code that throws: nothing may unwind into the host

class ThrowingAbi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m.module.Loaded()) << m.module.Error(); }
    Loaded m{"THROWINGPLUGIN"};
};

TEST_F(ThrowingAbi, ConstructorThrowingMeansNoPrototypeAndNoInstance) {
    Record element = ElementQuery(0, 0);
    EXPECT_EQ(m.Call(kInitialiseV2), kFail);
    EXPECT_EQ(m.Call(kGetNumParameters), kFail);
    EXPECT_EQ(m.Call(kGetParameterName, 0), 0u);
    EXPECT_EQ(m.Call(kGetPluginShortName), 0u);
    EXPECT_EQ(m.Call(kGetParameterElementName, element), 0u);
    EXPECT_EQ(m.Call(kGetNumElementSeparators, 0), 0u);
    EXPECT_EQ(m.Call(kGetPluginCaps, 5), kFail);
    EXPECT_EQ(m.module.Instantiate(8, 8), kFail);
    EXPECT_NE(m.Call(kGetInfo), 0u);  // identity does not need an object
    EXPECT_EQ(m.Trace(), "");
}

TEST_F(ThrowingAbi, FactoryAnsweringFailMakesNothing) {
    m.control->allowConstruction = 1;
    m.control->factoryFails = 1;
    EXPECT_EQ(m.Call(kInitialiseV2), kFail);
    EXPECT_EQ(m.module.Instantiate(8, 8), kFail);
    m.control->factoryFails = 0;
    EXPECT_EQ(m.Call(kInitialiseV2), kSuccess);
    EXPECT_EQ(m.Trace(), "N");
}

TEST_F(ThrowingAbi, ThrowingInitGLIsAFailedInitGL) {
    m.control->allowConstruction = 1;
    m.control->throwInInitGL = 1;
    EXPECT_EQ(m.module.Instantiate(8, 8), kFail);
    EXPECT_EQ(m.Trace(), "NNIUX");
}

TEST_F(ThrowingAbi, ThrowingSetterDestroysTheInstanceWithoutDeInitGL) {
    m.control->allowConstruction = 1;
    m.control->throwInSetters = 1;
    EXPECT_EQ(m.module.Instantiate(8, 8), kFail);
    EXPECT_EQ(m.Trace(), "NNX");
}

TEST_F(ThrowingAbi, ThrowingInstanceOperationsAnswerTheirFailureValue) {
    m.control->allowConstruction = 1;
    const uint64_t instance = m.module.Instantiate(8, 8);
    ASSERT_NE(instance, kFail);
    ProcessRecord frame;
    frame.AddInput(8, 8, 8, 8, 1);
    EXPECT_EQ(m.Call(kProcessOpenGL, frame.Arg(), instance), kFail);  // throws a plain int
    EXPECT_EQ(m.Call(kGetParameterDisplay, 0, instance), 0u);
    EXPECT_EQ(m.Call(kGetParameter, 1, instance), kFail);  // text getter throws
    m.control->throwInSetters = 1;
    EXPECT_EQ(m.module.SetFloat(instance, 0, 0.5f), kFail);
    EXPECT_EQ(m.Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(m.Trace(), "NNIPUX");
}

}  // namespace
