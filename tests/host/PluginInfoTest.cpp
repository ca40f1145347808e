// The information record: its fixed-size fields, the data block it keeps, and
// its registration as the module's current plugin. The bytes a host reads are
// checked through plugMain in the ABI tests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/FFGLPlugin.h"
#include "host/FFGLPluginInfo.h"

namespace {

class Tiny : public CFFGLPlugin {
public:
    Tiny() : CFFGLPlugin(false) {}
};

CFFGLPluginInfo Info(const char* id, const char* name, unsigned int size = 0, const void* block = nullptr) {
    return CFFGLPluginInfo(PluginFactory<Tiny>, id, name, 2, 1, 1, 0, 0, "", "", size, block);
}

TEST(PluginInfo, FixedFieldsAreCutWithoutTerminatorAndZeroFilled) {
    const struct { const char *id, *name, *idField, *nameField; } cases[] = {
        {"AB", "Hi", "AB\0\0", "Hi\0\0\0\0\0\0\0\0\0\0\0\0\0\0"},
        {"ABCD", "0123456789ABCDEF", "ABCD", "0123456789ABCDEF"},
        {"ABCDEFG", "0123456789ABCDEFGHIJ", "ABCD", "0123456789ABCDEF"},
        {"", "", "\0\0\0\0", "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CFFGLPluginInfo info = Info(c.id, c.name);
        EXPECT_EQ(std::memcmp(info.GetPluginInfo()->PluginUniqueID, c.idField, 4), 0);
        EXPECT_EQ(std::memcmp(info.GetPluginInfo()->PluginName, c.nameField, 16), 0);
        EXPECT_EQ(info.GetPluginInfo()->PluginType, 0u);  // nothing spilled over
    }
}

TEST(PluginInfo, TextsAndDataBlockAreOwnedCopies) {
    char description[] = "first";
    unsigned char data[3] = {1, 2, 3};
    const CFFGLPluginInfo info(PluginFactory<Tiny>, "AAAA", "x", 2, 1, 1, 0, 0, description, "", 3, data);
    description[0] = data[0] = 'X';
    const PluginExtendedInfoStruct* e = info.GetPluginExtendedInfo();
    EXPECT_STREQ(e->Description, "first");
    ASSERT_EQ(e->FreeFrameExtendedDataSize, 3u);
    EXPECT_EQ(std::memcmp(e->FreeFrameExtendedDataBlock, "\1\2\3", 3), 0);
    // A size without bytes, or bytes without a size, is no block at all.
    EXPECT_EQ(Info("A", "x", 8, nullptr).GetPluginExtendedInfo()->FreeFrameExtendedDataSize, 0u);
    EXPECT_EQ(Info("A", "x", 0, data).GetPluginExtendedInfo()->FreeFrameExtendedDataBlock, nullptr);
}

TEST(PluginInfo, LatestRecordIsCurrentAndLeavesWhenDestroyed) {
    const CFFGLPluginInfo first = Info("ONE1", "one");
    {
        const CFFGLPluginInfo second = Info("TWO2", "two");
        EXPECT_EQ(g_CurrPluginInfo, &second);
    }
    EXPECT_EQ(g_CurrPluginInfo, nullptr);  // nothing points at the destroyed one
}

TEST(PluginInfoDeathTest, ApiMajorVersionBelowTwoStopsTheModule) {
#ifdef NDEBUG
    GTEST_SKIP() << "the check is an assertion";
#else
    EXPECT_DEATH(CFFGLPluginInfo(PluginFactory<Tiny>, "AAAA", "x", 1, 0, 1, 0, 0, "", ""), "dwAPIMajorVersion >= 2");
#endif
}

}  // namespace
