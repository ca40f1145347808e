// plugMain driven the way a host drives it: the test modules are loaded with
// dlopen and every record is built as raw bytes at its fixed offsets, so a
// layout slip in our own structs cannot pass unnoticed. Answers are read as
// the plain 64-bit values a host sees. Between them the tests send every code
// from 0 to 50, plus 51 and 0xFFFFFFFF.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/host/modules/TestModuleControl.h"
#include "tests/support/AbiHost.h"

using namespace testhost;

namespace {

// Function codes, spelled out here so the test does not trust the ABI header.
enum : uint32_t {
    kGetInfo = 0,
    kDeinitialise = 2,
    kGetNumParameters = 4,
    kGetParameterName = 5,
    kGetParameterDefault = 6,
    kGetParameterDisplay = 7,
    kSetParameter = 8,
    kGetParameter = 9,
    kGetPluginCaps = 10,
    kGetExtendedInfo = 13,
    kGetParameterType = 15,
    kGetInputStatus = 16,
    kProcessOpenGL = 17,
    kInstantiateGL = 18,
    kDeinstantiateGL = 19,
    kSetTime = 20,
    kConnect = 21,
    kDisconnect = 22,
    kResize = 23,
    kGetNumParameterElements = 31,
    kGetParameterUsage = 32,
    kGetPluginShortName = 33,
    kInitialiseV2 = 34,
    kGetParameterElementName = 35,
    kGetParameterElementDefault = 36,
    kSetParameterElementValue = 37,
    kSetBeatInfo = 38,
    kSetHostInfo = 39,
    kSetSampleRate = 40,
    kGetRange = 41,
    kGetThumbnail = 42,
    kGetNumFileParameterExtensions = 43,
    kGetFileParameterExtension = 44,
    kGetParameterVisibility = 45,
    kGetParameterEvents = 46,
    kGetNumElementSeparators = 47,
    kGetSeparatorElementIndex = 48,
    kEnablePluginCap = 49,
    kGetParameterGroup = 50,
};

// FrameTestPlugin's parameters, in registration order.
enum : uint32_t {
    pStandard,
    pBoolean,
    pTrigger,
    pRed,
    pGreen,
    pBlue,
    pHue,
    pSaturation,
    pBrightness,
    pAlpha,
    pOption,
    pBands,
    pCount,
    pImage,
    pCaption,
    pCounter,
    pLongName,
    kFrameParams
};
const uint32_t kUnregistered = 99;
const uint64_t kNull = 0;

std::string Text(uint64_t answer) {
    const char* p = AsPtr<const char>(answer);
    return p ? std::string(p) : std::string("(null)");
}

// The records AbiHost has no builder for; preset fields show what was written.
Record RangeQuery(uint32_t index) { return Record(12).U32(0, index).F32(4, -7.0f).F32(8, -7.0f); }
Record EventsQuery(uint32_t capacity, void* events) { return Record(16).U32(0, capacity).Ptr(8, events); }
Record GroupQuery(uint32_t index, char* buffer, uint32_t capacity) {
    return Record(24).U32(0, index).Ptr(8, buffer).U32(16, capacity);
}
Record ThumbnailQuery(void* pixels) { return Record(16).U32(0, 77).U32(4, 77).Ptr(8, pixels); }
Record SetElementValue(uint32_t index, uint32_t element, float value) {
    return Record(12).U32(0, index).U32(4, element).F32(8, value);
}

// One loaded test module with its control block, reset for each test so tests
// do not depend on each other even when they share a process. A host ends with
// FF_DEINITIALISE; so does every test (Module's destructor).
class ModuleAbi : public ::testing::Test {
protected:
    explicit ModuleAbi(const char* target) : module(ModulePath((std::string("TESSIVAR_MODULE_") + target).c_str())) {
        if (!module.Loaded()) return;
        if (auto fn = reinterpret_cast<TestModuleControlFn>(module.Symbol(TESSIVAR_TEST_CONTROL_SYMBOL)))
            control = fn();
        module.Call(kDeinitialise);
        std::memset(control, 0, sizeof *control);
        frame.AddInput(8, 8, 8, 8, 1);
    }
    void SetUp() override { ASSERT_TRUE(module.Loaded()) << module.Error(); }

    std::string Trace() const { return std::string(control->trace, control->traceLength); }
    uint64_t Call(uint32_t code, uint64_t input = 0, uint64_t instance = 0) {
        return module.Call(code, input, instance);
    }
    uint64_t Call(uint32_t code, Record& record, uint64_t instance = 0) { return module.Call(code, record, instance); }
    struct Ask {
        uint32_t code;
        uint64_t input, answer;
    };
    void ExpectAnswers(std::initializer_list<Ask> asks, uint64_t instance = 0) {
        for (const Ask& a : asks) EXPECT_EQ(Call(a.code, a.input, instance), a.answer) << a.code << " " << a.input;
    }
    uint64_t Process(uint64_t instance) { return Call(kProcessOpenGL, frame.Arg(), instance); }
    // A new instance, with the prototype made and the trace cleared.
    uint64_t NewInstance() {
        const uint64_t instance = module.Instantiate(640, 360);
        EXPECT_NE(instance, kFail);
        control->traceLength = 0;
        return instance;
    }

    Module module;
    TestModuleControl unused{};
    TestModuleControl* control = &unused;
    ProcessRecord frame;
};

struct FrameAbi : ModuleAbi {
    FrameAbi() : ModuleAbi("FRAMETESTPLUGIN") {}
};
struct EmptyModuleAbi : ModuleAbi {
    EmptyModuleAbi() : ModuleAbi("EMPTYMODULE") {}
};
struct FaultyAbi : ModuleAbi {
    FaultyAbi() : ModuleAbi("FAULTYPLUGIN") {}
};

// ---------------------------------------------------------------------------
// Codes outside the table, requests without an instance, null records

TEST_F(FrameAbi, UnknownRetiredAndMisdirectedRequestsFailAndChangeNothing) {
    const uint32_t unknown[] = {1, 3, 11, 12, 14, 24, 25, 26, 27, 28, 29, 30, 51, 0xFFFFFFFFu};
    Record any(64);  // large enough for every record, all zero
    for (uint32_t code : unknown) EXPECT_EQ(Call(code), kFail) << code;
    // Per-instance codes without an instance, text answers (7, 9) included.
    for (uint32_t code : {kGetParameterDisplay, kSetParameter, kGetParameter, kGetInputStatus, kProcessOpenGL,
                          kDeinstantiateGL, kSetTime, kConnect, kDisconnect, kResize, kSetParameterElementValue,
                          kSetBeatInfo, kSetHostInfo, kSetSampleRate, kGetParameterEvents, kEnablePluginCap})
        EXPECT_EQ(Call(code, any), kFail) << code;
    EXPECT_EQ(any.GetU32(0), 0u);  // nothing written
    EXPECT_EQ(Trace(), "");        // not even a prototype was made

    const uint64_t instance = NewInstance();
    for (uint32_t code : unknown) EXPECT_EQ(Call(code, any, instance), kFail) << code;
    // Null records are refused rather than followed.
    for (uint32_t code : {kSetParameter, kProcessOpenGL, kSetTime, kResize, kSetParameterElementValue, kSetBeatInfo,
                          kSetHostInfo, kGetParameterEvents, kInstantiateGL, kGetParameterElementDefault, kGetRange,
                          kGetThumbnail, kGetSeparatorElementIndex, kGetParameterGroup})
        EXPECT_EQ(Call(code, 0, instance), kFail) << code;
    EXPECT_EQ(Call(kGetParameterElementName, 0), kNull);
    EXPECT_EQ(Call(kGetFileParameterExtension, 0), kNull);
    EXPECT_EQ(Trace(), "");  // a null frame does not connect either
    module.Deinstantiate(instance);
}

// ---------------------------------------------------------------------------
// The prototype and the information records

TEST_F(FrameAbi, PrototypeIsMadeOnFirstNeedRemadeAfterDeinitialiseAndOutlivedByInstances) {
    EXPECT_EQ(Call(kGetNumParameters), uint64_t(kFrameParams));
    EXPECT_EQ(Call(kInitialiseV2), kSuccess);  // already there: the factory is not called again
    EXPECT_EQ(Trace(), "N");
    EXPECT_EQ(Call(kDeinitialise), kSuccess);
    EXPECT_EQ(Call(kDeinitialise), kSuccess);
    EXPECT_EQ(Call(kGetParameterType, pStandard), 10u);
    EXPECT_EQ(Trace(), "NXN");

    const uint64_t instance = NewInstance();
    EXPECT_EQ(Call(kDeinitialise), kSuccess);
    EXPECT_EQ(module.SetFloat(instance, pStandard, 0.75f), kSuccess);  // remakes the prototype for the type
    EXPECT_FLOAT_EQ(module.GetFloat(instance, pStandard), 0.75f);
    module.Deinstantiate(instance);
    EXPECT_EQ(Trace(), "XNUX");
}

TEST_F(FrameAbi, InformationRecordsAreServedInTheirLayout) {
    ASSERT_NE(Call(kGetInfo), kNull);
    ASSERT_NE(Call(kGetExtendedInfo), kNull);
    Record expected = Record(32).U32(0, 2).U32(4, 1).U32(28, 0), ext(40);
    std::memcpy(static_cast<uint8_t*>(expected.Data()) + 8, "FRMTFrame Test", 14);
    EXPECT_EQ(std::memcmp(AsPtr<const void>(Call(kGetInfo)), expected.Bytes(), 32), 0);
    std::memcpy(ext.Data(), AsPtr<const void>(Call(kGetExtendedInfo)), 40);
    EXPECT_EQ(ext.GetU32(0), 1u);
    EXPECT_EQ(ext.GetU32(4), 3u);
    EXPECT_STREQ(AsPtr<const char>(ext.GetU64(8)), "Exercises the plugin frame");
    EXPECT_STREQ(AsPtr<const char>(ext.GetU64(16)), "Tessivar frame tests");
    EXPECT_EQ(ext.GetU32(24), 0u);
    EXPECT_EQ(ext.GetU64(32), 0u);
    EXPECT_EQ(Trace(), "");  // identity needs no prototype
}

// Each global code reaches the right query of the prototype's registry and
// answers in the right form: counts and types as 32-bit values, floats as bits,
// texts as pointers, records written at their offsets.
TEST_F(FrameAbi, GlobalQueriesAnswerFromThePrototype) {
    const uint32_t types[kFrameParams] = {10, 0, 1, 2, 3, 4, 200, 201, 202, 203, 11, 12, 13, 14, 100, 10, 10};
    for (uint32_t i = 0; i < kFrameParams; ++i) EXPECT_EQ(Call(kGetParameterType, i), types[i]) << i;

    Record element = ElementQuery(pOption, 1), past = ElementQuery(pOption, 3);
    Record separator = ElementQuery(pOption, 0), noSeparator = ElementQuery(pOption, 1);
    ExpectAnswers({
        {kGetParameterType, kUnregistered, kFail},
        {kGetParameterName, kUnregistered, kNull},
        {kGetParameterDefault, pStandard, FloatBits(0.25f)},
        {kGetParameterDefault, pLongName, FloatBits(1.0f)},
        {kGetNumParameterElements, pBands, 4},
        {kGetParameterUsage, pBands, 1},
        {kGetParameterElementDefault, element.Arg(), FloatBits(1.0f)},
        {kGetParameterElementDefault, past.Arg(), kFail},
        {kGetParameterElementName, past.Arg(), kNull},
        {kGetNumElementSeparators, pOption, 1},
        {kGetSeparatorElementIndex, separator.Arg(), 1},
        {kGetSeparatorElementIndex, noSeparator.Arg(), kFail},
        {kGetNumFileParameterExtensions, pImage, 2},
        {kGetPluginCaps, 5, 1},
        {kGetPluginCaps, 10, 1},
        {kGetPluginCaps, 11, 1},
        {kGetPluginCaps, 16, 1},
        {kGetPluginCaps, 4, 0},
        {kGetPluginCaps, 0xFFFFFFFFu, 0},
    });

    Record extension = ElementQuery(pImage, 1);
    EXPECT_EQ(Text(Call(kGetParameterName, pStandard)), "Standard");
    EXPECT_EQ(std::string(AsPtr<const char>(Call(kGetParameterName, pLongName)), 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Text(Call(kGetParameterDefault, pCaption)), "hello");
    EXPECT_EQ(Text(Call(kGetParameterDefault, pImage)), "default.png");
    EXPECT_EQ(Text(Call(kGetParameterElementName, element)), "Multiply");
    EXPECT_EQ(Text(Call(kGetFileParameterExtension, extension)), "jpg");
    EXPECT_EQ(Text(Call(kGetPluginShortName)), "FrameT");

    // An unregistered index answers the full 0..1 range rather than failing.
    const struct {
        uint32_t index;
        float min, max;
    } ranges[] = {{pCount, 0, 16}, {kUnregistered, 0, 1}};
    for (const auto& r : ranges) {
        Record range = RangeQuery(r.index);
        EXPECT_EQ(Call(kGetRange, range), kSuccess);
        EXPECT_EQ(range.GetF32(4), r.min);
        EXPECT_EQ(range.GetF32(8), r.max);
    }
}

TEST_F(FrameAbi, GroupCopiesExactlyTheBytesThatFitAndNoTerminator) {
    const struct {
        uint32_t index, capacity;
        const char* shown;
    } cases[] = {
        {pStandard, 4, "Geom##"},  // "Geometry Group" cut to the capacity
        {pRed, 32, "Colour##"},
        {pBoolean, 32, "######"},  // no group, and unregistered: buffer untouched
        {kUnregistered, 32, "######"},
    };
    for (const auto& c : cases) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        Record query = GroupQuery(c.index, buffer, c.capacity);
        EXPECT_EQ(Call(kGetParameterGroup, query), kSuccess);
        EXPECT_EQ(std::string(buffer, std::strlen(c.shown)), c.shown);
    }
    char buffer[1] = {'#'};
    Record empty = GroupQuery(pStandard, buffer, 0);
    EXPECT_EQ(Call(kGetParameterGroup, empty), kFail);
    EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// Instances: creation, connection, destruction

TEST_F(FrameAbi, InstantiationPushesEveryDefaultThroughTheSetters) {
    const uint64_t instance = module.Instantiate(640, 360);
    ASSERT_NE(instance, kFail);
    EXPECT_EQ(Trace(), "NNI");  // prototype, instance, InitGL
    const std::pair<uint32_t, float> floats[] = {{pStandard, 0.25f}, {pBoolean, 1.0f}, {pGreen, 0.5f},
                                                 {pOption, 1.0f},    {pCount, 7.0f},   {pLongName, 1.0f}};
    for (const auto& [index, value] : floats)
        EXPECT_EQ(Call(kGetParameter, index, instance), FloatBits(value)) << index;
    EXPECT_EQ(Text(Call(kGetParameter, pCaption, instance)), "hello");
    EXPECT_EQ(Text(Call(kGetParameter, pImage, instance)), "default.png");
    module.Deinstantiate(instance);
}

// Connected means the last Connect or Disconnect answered FF_SUCCESS, or a
// frame has connected the instance; only a connected instance is disconnected
// when it goes.
TEST_F(FrameAbi, ConnectionFollowsSuccessfulAnswersAndTheFirstFrame) {
    uint64_t instance = NewInstance();
    EXPECT_EQ(Process(instance), kSuccess);
    EXPECT_EQ(Process(instance), kSuccess);
    EXPECT_EQ(Call(kGetParameter, pCounter, instance), FloatBits(2.0f));
    control->disconnectResult = 0xFFFFFFFFu;  // not examined while de-instantiating
    module.Deinstantiate(instance);
    EXPECT_EQ(Trace(), "CPPDUX");

    instance = NewInstance();  // never connected
    module.Deinstantiate(instance);
    EXPECT_EQ(Trace(), "UX");

    instance = NewInstance();
    control->connectResult = 0xFFFFFFFFu;
    EXPECT_EQ(Call(kConnect, 0, instance), kFail);
    EXPECT_EQ(Process(instance), kSuccess);  // so the frame asks again, and does not examine the answer
    EXPECT_EQ(Process(instance), kSuccess);
    EXPECT_EQ(Call(kDisconnect, 0, instance), kFail);  // stays connected
    module.Deinstantiate(instance);
    EXPECT_EQ(Trace(), "CCPPDDUX");

    instance = NewInstance();
    control->connectResult = control->disconnectResult = 0;
    EXPECT_EQ(Call(kConnect, 0, instance), kSuccess);
    EXPECT_EQ(Process(instance), kSuccess);
    EXPECT_EQ(Call(kDisconnect, 0, instance), kSuccess);
    module.Deinstantiate(instance);
    EXPECT_EQ(Trace(), "CPDUX");
}

// ---------------------------------------------------------------------------
// Requests to an instance

TEST_F(FrameAbi, ParametersAreSetAndShownByType) {
    const uint64_t instance = NewInstance();
    Record caption = SetParamText(pCaption, "new words");
    EXPECT_EQ(Call(kSetParameter, caption, instance), kSuccess);
    EXPECT_EQ(Text(Call(kGetParameter, pCaption, instance)), "new words");
    EXPECT_EQ(Text(Call(kGetParameterDisplay, pCaption, instance)), "new words");
    // An unregistered index goes to the float setter; the plugin's own
    // refusal comes back unchanged.
    EXPECT_EQ(module.SetFloat(instance, kUnregistered, 1.0f), kFail);
    EXPECT_EQ(Call(kGetParameterDisplay, kUnregistered, instance), kNull);

    EXPECT_EQ(Text(Call(kGetParameterDisplay, pOption, instance)), "1.000000");  // the number, not "Multiply"
    // Values too long for the 16-byte text are cut inside it, never into a
    // number of another magnitude, and a dot left last goes too.
    const struct {
        float value;
        const char* shown;
    } displays[] = {
        {-1.5f, "-1.500000"}, {1.0e9f, "1000000000.0000"}, {5.0e13f, "50000000188416"}, {1.0e20f, "1.000000e+20"}};
    for (const auto& d : displays) {
        EXPECT_EQ(module.SetFloat(instance, pCount, d.value), kSuccess);
        const char* shown = AsPtr<const char>(Call(kGetParameterDisplay, pCount, instance));
        ASSERT_NE(shown, nullptr);
        EXPECT_NE(std::memchr(shown, '\0', 16), nullptr);
        EXPECT_STREQ(shown, d.shown);
    }
    module.Deinstantiate(instance);
}

TEST_F(FrameAbi, EventsCountWithNullArrayAndDeliverUpToCapacity) {
    const uint64_t instance = NewInstance();
    Record count = EventsQuery(5, nullptr);
    EXPECT_EQ(Call(kGetParameterEvents, count, instance), kSuccess);
    EXPECT_EQ(count.GetU32(0), 0u);

    module.SetFloat(instance, pTrigger, 1.0f);  // raises events on Standard and Count
    for (int twice = 0; twice < 2; ++twice) {   // counting clears nothing
        count.U32(0, 5);
        EXPECT_EQ(Call(kGetParameterEvents, count, instance), kSuccess);
        EXPECT_EQ(count.GetU32(0), 2u);
    }
    Record one(32);
    one.U64(8, 0xDEADBEEFull).U32(16, 0xEEEEEEEEu);
    Record take = EventsQuery(1, one.Data());
    EXPECT_EQ(Call(kGetParameterEvents, take, instance), kSuccess);
    EXPECT_EQ(take.GetU32(0), 1u);
    EXPECT_EQ(one.GetU32(0), uint32_t(pStandard));
    EXPECT_EQ(one.GetU64(8), 2u);
    EXPECT_EQ(one.GetU32(16), 0xEEEEEEEEu);  // nothing past the capacity

    EXPECT_EQ(module.CollectEvents(instance), (std::vector<std::pair<uint32_t, uint64_t>>{{pCount, 2}}));
    EXPECT_TRUE(module.CollectEvents(instance).empty());
    module.Deinstantiate(instance);
}

// Visibility comes from the instance when one is given: this one shows its counter.
TEST_F(FrameAbi, HostStateVisibilityAndElementValuesReachTheInstance) {
    const uint64_t instance = NewInstance();
    module.SetFloat(instance, pBoolean, 0.0f);
    ExpectAnswers({{kGetParameterVisibility, pCounter, 0}, {kGetParameterVisibility, kUnregistered, kFail}});
    Record time = Record(8).F64(0, 2.5), beat = Record(8).F32(0, 128.0f).F32(4, 0.25f);
    Record host = Record(16).Ptr(0, "Host").Ptr(8, "1.0"), nullTexts(16);  // null texts: kept empty, no crash
    Record vp = Viewport(0, 0, 1920, 1080);
    Record set = SetElementValue(pOption, 2, 5.0f), outside = SetElementValue(pOption, 3, 5.0f);
    Record unknown = SetElementValue(kUnregistered, 0, 5.0f), q = ElementQuery(pOption, 2);
    ExpectAnswers(
        {
            {kSetTime, time.Arg(), kSuccess},
            {kSetBeatInfo, beat.Arg(), kSuccess},
            {kSetHostInfo, host.Arg(), kSuccess},
            {kSetHostInfo, nullTexts.Arg(), kSuccess},
            {kSetSampleRate, 48000, kSuccess},
            {kResize, vp.Arg(), kSuccess},
            {kGetInputStatus, 0, 1},
            {kGetInputStatus, 1, kFail},
            {kEnablePluginCap, 5, kFail},
            {kEnablePluginCap, 16, kSuccess},  // only top-left textures can be enabled
            {kSetParameterElementValue, set.Arg(), kSuccess},
            {kSetParameterElementValue, outside.Arg(), kFail},
            {kSetParameterElementValue, unknown.Arg(), kFail},
            {kGetParameterVisibility, pCounter, 1},
            {kGetParameterVisibility, pStandard, 1},
            {kGetParameterVisibility, kUnregistered, kFail},
        },
        instance);
    EXPECT_EQ(Call(kGetParameterElementDefault, q), FloatBits(2.0f));  // the prototype's is untouched
    EXPECT_EQ(Trace(), "R");
    module.Deinstantiate(instance);
}

TEST_F(FrameAbi, ThumbnailIsServedInTwoSteps) {
    Record size = ThumbnailQuery(nullptr);
    EXPECT_EQ(Call(kGetThumbnail, size), kSuccess);
    EXPECT_EQ(size.GetU64(0), 0x0000000200000002ull);  // 2 x 2

    Record pixels = Record(20).U32(16, 0xEEEEEEEEu);
    Record fetch = ThumbnailQuery(pixels.Data());
    EXPECT_EQ(Call(kGetThumbnail, fetch), kSuccess);
    const uint8_t expected[20] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0xCC, 0xBB,
                                  0xAA, 0x99, 0,    0,    0,    0,    0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(pixels.Bytes(), expected, 20), 0);
}

// ---------------------------------------------------------------------------
// A module with no information record

TEST_F(EmptyModuleAbi, EveryQueryGivesItsFailureAnswer) {
    Record element = ElementQuery(0, 0), range = RangeQuery(0), thumb = ThumbnailQuery(nullptr);
    char buffer[4] = {'#', '#', '#', '#'};
    Record group = GroupQuery(0, buffer, 4), vp = Viewport(0, 0, 8, 8);
    ExpectAnswers({
        {kGetInfo, 0, kNull},
        {kGetExtendedInfo, 0, kNull},
        {kInitialiseV2, 0, kFail},
        {kDeinitialise, 0, kSuccess},
        {kGetNumParameters, 0, kFail},
        {kGetParameterName, 0, kNull},
        {kGetParameterDefault, 0, kFail},
        {kGetPluginCaps, 5, kFail},
        {kGetParameterType, 0, kFail},
        {kInstantiateGL, vp.Arg(), kFail},
        {kGetNumParameterElements, 0, kFail},
        {kGetParameterUsage, 0, kFail},
        {kGetPluginShortName, 0, kNull},
        {kGetParameterElementName, element.Arg(), kNull},
        {kGetParameterElementDefault, element.Arg(), kFail},
        {kGetRange, range.Arg(), kFail},
        {kGetThumbnail, thumb.Arg(), kFail},
        {kGetNumFileParameterExtensions, 0, kFail},
        {kGetFileParameterExtension, element.Arg(), kNull},
        {kGetParameterVisibility, 0, kFail},
        {kGetNumElementSeparators, 0, 0},
        {kGetSeparatorElementIndex, element.Arg(), kFail},
        {kGetParameterGroup, group.Arg(), kFail},
    });
    EXPECT_EQ(range.GetF32(4), -7.0f);  // nothing written
    EXPECT_EQ(thumb.GetU64(0), 0u);     // the size is written, as 0 x 0
    EXPECT_EQ(buffer[0], '#');
}

// ---------------------------------------------------------------------------
// A plugin that fails InitGL, and plugin code that throws: nothing may
// unwind into the host

std::vector<std::string> g_hostLog;

TEST_F(FaultyAbi, FailedInitGLIsCleanedUpOnceAndAnswersFail) {
    // Its InitGL fails as on a driver without glScissorIndexed: one log line names it.
    auto setLog = reinterpret_cast<void (*)(void (*)(const char*))>(module.Symbol("SetLogCallback"));
    ASSERT_NE(setLog, nullptr);
    setLog([](const char* line) { g_hostLog.emplace_back(line); });
    EXPECT_EQ(module.Instantiate(320, 240), 0x00000000FFFFFFFFull);
    setLog(nullptr);
    ASSERT_EQ(g_hostLog.size(), 1u);
    EXPECT_NE(g_hostLog[0].find("no glScissorIndexed"), std::string::npos) << g_hostLog[0];
    EXPECT_EQ(Trace(), "NNIUX");  // prototype; instance, InitGL, DeInitGL once, destroyed
    // Global queries still work, and so does the next attempt.
    EXPECT_EQ(Call(kGetNumParameters), 2u);
    EXPECT_EQ(module.Instantiate(320, 240), kFail);
    EXPECT_EQ(Trace(), "NNIUXNIUX");
}

// With no object to answer, the global queries take the same paths as in a
// module without a record (above); what matters here is that the throw, or
// the factory's refusal, is caught and nothing is made.
TEST_F(FaultyAbi, ThrowingConstructorFailingFactoryInitGLOrSetterMakesNothing) {
    for (uint32_t factoryFails : {0u, 1u}) {  // constructor throws std::bad_alloc / factory answers FF_FAIL
        control->throwInConstructor = !factoryFails;
        control->factoryFails = factoryFails;
        EXPECT_EQ(Call(kInitialiseV2), kFail);
        EXPECT_EQ(Call(kGetPluginShortName), kNull);
        EXPECT_EQ(module.Instantiate(8, 8), kFail);
        EXPECT_NE(Call(kGetInfo), kNull);  // identity does not need an object
    }
    EXPECT_EQ(Trace(), "");
    control->factoryFails = 0;
    control->throwInInitGL = 1;
    EXPECT_EQ(module.Instantiate(8, 8), kFail);
    EXPECT_EQ(Trace(), "NNIUX");  // as a failed InitGL
    control->throwInInitGL = 0;
    control->throwInSetters = 1;
    EXPECT_EQ(module.Instantiate(8, 8), kFail);
    EXPECT_EQ(Trace(), "NNIUXNX");  // defaults not taken: no InitGL, so no DeInitGL
}

TEST_F(FaultyAbi, ThrowingInstanceOperationsAnswerTheirFailureValue) {
    control->initGLWorks = 1;
    const uint64_t instance = module.Instantiate(8, 8);
    ASSERT_NE(instance, kFail);
    EXPECT_EQ(Process(instance), kFail);  // throws a plain int
    EXPECT_EQ(Call(kGetParameterDisplay, 0, instance), kNull);
    EXPECT_EQ(Call(kGetParameter, 1, instance), kFail);  // text getter throws
    control->throwInSetters = 1;
    EXPECT_EQ(module.SetFloat(instance, 0, 0.5f), kFail);
    EXPECT_EQ(Call(kDeinstantiateGL, 0, instance), kSuccess);
    EXPECT_EQ(Trace(), "NNIPUX");
}

}  // namespace
