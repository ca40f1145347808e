// Identifiers a host must not pass: one already de-instantiated, and one this
// module never made. Debug builds refuse them with the code's failure answer
// and one log line, and never touch the memory behind them; release builds
// trust the host, so there is nothing to test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/AbiHost.h"

using namespace testhost;

namespace {

std::vector<std::string> g_log;

class InstanceCheck : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef NDEBUG
        GTEST_SKIP() << "release builds trust the host's identifiers";
#else  // (not after the skip: MSVC refuses unreachable code)
        ASSERT_TRUE(module.Loaded()) << module.Error();
        auto setLog = reinterpret_cast<void (*)(void (*)(const char*))>(module.Symbol("SetLogCallback"));
        ASSERT_NE(setLog, nullptr);
        setLog([](const char* message) { g_log.emplace_back(message ? message : ""); });
        g_log.clear();
#endif
    }

    // Every per-instance code with a harmless, valid record, and the answer
    // it gives when refused: null for the display text, FF_FAIL otherwise.
    void ExpectRefusedEverywhere(uint64_t id) {
        Record viewport = Viewport(0, 0, 64, 64);
        Record setParam = SetParamFloat(0, 0.5f);
        Record time(8), beat(8), events(16), element(12), hostInfo(16), process(24);
        time.F64(0, 1.0);
        hostInfo.Ptr(0, "host").Ptr(8, "1");
        const struct {
            uint32_t code;
            uint64_t input, refused;
        } calls[] = {
            {7, 0, 0},
            {8, setParam.Arg(), kFail},
            {9, 0, kFail},
            {16, 0, kFail},
            {17, process.Arg(), kFail},
            {20, time.Arg(), kFail},
            {21, 0, kFail},
            {22, 0, kFail},
            {23, viewport.Arg(), kFail},
            {37, element.Arg(), kFail},
            {38, beat.Arg(), kFail},
            {39, hostInfo.Arg(), kFail},
            {40, 44100, kFail},
            {45, 0, kFail},
            {46, events.Arg(), kFail},
            {49, 16, kFail},
            {19, 0, kFail},  // last: a second de-instantiation must not free again
        };
        for (const auto& c : calls) {
            g_log.clear();
            EXPECT_EQ(module.Call(c.code, c.input, id), c.refused) << "code " << c.code;
            ASSERT_EQ(g_log.size(), 1u) << "code " << c.code;
            EXPECT_NE(g_log[0].find("function code " + std::to_string(c.code) + " refused"), std::string::npos)
                << g_log[0];
            EXPECT_NE(g_log[0].find("not a live instance"), std::string::npos) << g_log[0];
        }
    }

    Module module{ModulePath("TESSIVAR_MODULE_FRAMETESTPLUGIN")};
};

TEST_F(InstanceCheck, StaleIdentifierIsRefusedAndLoggedWhileOthersLiveOn) {
    const uint64_t stale = module.Instantiate(64, 64);
    const uint64_t live = module.Instantiate(64, 64);
    ASSERT_NE(stale, kFail);
    ASSERT_NE(live, kFail);
    ASSERT_EQ(module.Call(19, 0, stale), kSuccess);

    ExpectRefusedEverywhere(stale);

    // The other instance and the global queries are untouched, and say nothing.
    g_log.clear();
    EXPECT_EQ(module.SetFloat(live, 0, 0.25f), kSuccess);
    EXPECT_FLOAT_EQ(module.GetFloat(live, 0), 0.25f);
    EXPECT_NE(module.Call(4), kFail);
    EXPECT_EQ(module.Call(19, 0, live), kSuccess);
    EXPECT_TRUE(g_log.empty());
}

TEST_F(InstanceCheck, ForeignIdentifierIsRefusedAndLogged) {
    // Memory the host owns, shaped nothing like an instance.
    std::vector<uint64_t> foreign(64, 0xA5A5A5A5A5A5A5A5ull);
    ExpectRefusedEverywhere(PtrBits(foreign.data()));
    for (uint64_t word : foreign) EXPECT_EQ(word, 0xA5A5A5A5A5A5A5A5ull);
}

}  // namespace
