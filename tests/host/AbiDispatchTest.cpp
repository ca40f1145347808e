// plugMain driven the way a host drives it: the test modules are loaded with
// dlopen and every record is built as raw bytes at its fixed offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

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

// One loaded test module with its control block, reset for each test.
class Loaded {
public:
    explicit Loaded(const char* target) : module(ModulePath((std::string("TESSIVAR_MODULE_") + target).c_str())) {
        if (!module.Loaded()) return;
        auto fn = reinterpret_cast<TestModuleControl* (*)()>(module.Symbol("tessivarTestControl"));
        control = fn ? fn() : nullptr;
        module.Call(kDeinitialise);
        if (control) {
            const uint32_t allow = control->allowConstruction;
            std::memset(control, 0, sizeof *control);
            control->allowConstruction = allow;
        }
    }
    std::string Trace() const { return control ? std::string(control->trace, control->traceLength) : ""; }
    void ClearTrace() {
        if (control) control->traceLength = 0;
    }

    Module module;
    TestModuleControl* control = nullptr;
};

TEST(AbiSmoke, FrameTestPluginAnswersIdentityAndParameters) {
    Loaded m("FRAMETESTPLUGIN");
    ASSERT_TRUE(m.module.Loaded()) << m.module.Error();
    const auto* info = AsPtr<const uint8_t>(m.module.Call(kGetInfo));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(0, std::memcmp(info + 8, "FRMT", 4));
    EXPECT_STREQ(reinterpret_cast<const char*>(info + 12), "Frame Test");
    EXPECT_EQ(m.module.Call(kGetNumParameters), 17u);
    const uint64_t instance = m.module.Instantiate(640, 480);
    ASSERT_NE(instance, kFail);
    EXPECT_FLOAT_EQ(m.module.GetFloat(instance, 0), 0.25f);
    m.module.Deinstantiate(instance);
    EXPECT_EQ(m.Trace(), "NNIUX");
}

}  // namespace
