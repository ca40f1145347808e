// The information record: its bytes as the host reads them, its registration
// as the module's current plugin, and the factory.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "host/FFGLPlugin.h"
#include "host/FFGLPluginInfo.h"

namespace {

class Tiny : public CFFGLPlugin {
public:
    Tiny() : CFFGLPlugin(false) {}
};

int s_throwingConstructed = 0;
class ThrowsOnConstruction : public CFFGLPlugin {
public:
    ThrowsOnConstruction() : CFFGLPlugin(false) {
        ++s_throwingConstructed;
        throw std::runtime_error("refused");
    }
};

const uint8_t* Bytes(const void* p) { return static_cast<const uint8_t*>(p); }

// The byte layout the host reads is checked through plugMain in the ABI
// tests; here, where the records sit and what the constructor puts in them.
TEST(PluginInfo, HostRecordsLieAtTheStartOfTheObject) {
    const CFFGLPluginInfo info(PluginFactory<Tiny>, "TSVR", "Tessivar", 2, 1, 1, 6, FF_MIXER,
                               "Four-corner warper", "Made here");
    ASSERT_EQ(static_cast<const void*>(info.GetPluginInfo()), static_cast<const void*>(&info));
    ASSERT_EQ(Bytes(info.GetPluginExtendedInfo()), Bytes(&info) + 32);
    const PluginInfoStruct& p = *info.GetPluginInfo();
    EXPECT_EQ(p.APIMajorVersion, 2u);
    EXPECT_EQ(p.APIMinorVersion, 1u);
    EXPECT_EQ(p.PluginType, FF_MIXER);
    const PluginExtendedInfoStruct& e = *info.GetPluginExtendedInfo();
    EXPECT_EQ(e.PluginMajorVersion, 1u);
    EXPECT_EQ(e.PluginMinorVersion, 6u);
    EXPECT_STREQ(e.Description, "Four-corner warper");
    EXPECT_STREQ(e.About, "Made here");
    EXPECT_EQ(e.FreeFrameExtendedDataSize, 0u);
    EXPECT_EQ(e.FreeFrameExtendedDataBlock, nullptr);
    EXPECT_EQ(info.GetFactoryMethod(), &PluginFactory<Tiny>);
}

TEST(PluginInfo, NameFieldIsCutAtSixteenWithoutTerminator) {
    const CFFGLPluginInfo exact(PluginFactory<Tiny>, "AAAA", "0123456789ABCDEF", 2, 1, 1, 0, 0, "", "");
    EXPECT_EQ(std::memcmp(exact.GetPluginInfo()->PluginName, "0123456789ABCDEF", 16), 0);
    const CFFGLPluginInfo longer(PluginFactory<Tiny>, "AAAA", "0123456789ABCDEFGHIJ", 2, 1, 1, 0, 0, "", "");
    EXPECT_EQ(std::memcmp(longer.GetPluginInfo()->PluginName, "0123456789ABCDEF", 16), 0);
    // The field ends where the record's type begins: nothing spilled over.
    EXPECT_EQ(longer.GetPluginInfo()->PluginType, 0u);
    const CFFGLPluginInfo empty(PluginFactory<Tiny>, "AAAA", "", 2, 1, 1, 0, 0, "", "");
    EXPECT_EQ(std::memcmp(empty.GetPluginInfo()->PluginName, std::string(16, '\0').data(), 16), 0);
}

TEST(PluginInfo, ShortIdentifierKeepsItsTerminatorAndZeroes) {
    const CFFGLPluginInfo info(PluginFactory<Tiny>, "AB", "x", 2, 1, 1, 0, 0, "", "");
    EXPECT_EQ(std::memcmp(info.GetPluginInfo()->PluginUniqueID, "AB\0\0", 4), 0);
    const CFFGLPluginInfo longer(PluginFactory<Tiny>, "ABCDEFG", "x", 2, 1, 1, 0, 0, "", "");
    EXPECT_EQ(std::memcmp(longer.GetPluginInfo()->PluginUniqueID, "ABCD", 4), 0);
    EXPECT_EQ(longer.GetPluginInfo()->PluginName[0], 'x');
}

TEST(PluginInfo, TextsAreOwnedCopies) {
    char description[] = "first";
    const CFFGLPluginInfo info(PluginFactory<Tiny>, "AAAA", "x", 2, 1, 1, 0, 0, description, "about");
    description[0] = 'X';
    EXPECT_STREQ(info.GetPluginExtendedInfo()->Description, "first");
}

TEST(PluginInfo, ExtendedDataBlockIsCopiedWithItsSize) {
    unsigned char data[3] = {1, 2, 3};
    const CFFGLPluginInfo info(PluginFactory<Tiny>, "AAAA", "x", 2, 1, 1, 0, 0, "", "", 3, data);
    data[0] = 9;
    const PluginExtendedInfoStruct* e = info.GetPluginExtendedInfo();
    EXPECT_EQ(e->FreeFrameExtendedDataSize, 3u);
    ASSERT_NE(e->FreeFrameExtendedDataBlock, nullptr);
    EXPECT_EQ(std::memcmp(e->FreeFrameExtendedDataBlock, "\1\2\3", 3), 0);
    // A size without bytes, or bytes without a size, is no block at all.
    const CFFGLPluginInfo sizeOnly(PluginFactory<Tiny>, "AAAA", "x", 2, 1, 1, 0, 0, "", "", 8, nullptr);
    EXPECT_EQ(sizeOnly.GetPluginExtendedInfo()->FreeFrameExtendedDataSize, 0u);
    const CFFGLPluginInfo blockOnly(PluginFactory<Tiny>, "AAAA", "x", 2, 1, 1, 0, 0, "", "", 0, data);
    EXPECT_EQ(blockOnly.GetPluginExtendedInfo()->FreeFrameExtendedDataBlock, nullptr);
}

TEST(PluginInfo, LatestRecordIsCurrentAndLeavesWhenDestroyed) {
    {
        const CFFGLPluginInfo first(PluginFactory<Tiny>, "ONE1", "one", 2, 1, 1, 0, 0, "", "");
        EXPECT_EQ(g_CurrPluginInfo, &first);
        {
            const CFFGLPluginInfo second(PluginFactory<Tiny>, "TWO2", "two", 2, 1, 1, 0, 0, "", "");
            EXPECT_EQ(g_CurrPluginInfo, &second);
        }
        // The second is gone; nothing points at it any more.
        EXPECT_EQ(g_CurrPluginInfo, nullptr);
    }
    EXPECT_EQ(g_CurrPluginInfo, nullptr);
}

TEST(PluginFactoryTemplate, MakesADistinctObjectPerCall) {
    CFFGLPlugin* a = nullptr;
    CFFGLPlugin* b = nullptr;
    EXPECT_EQ(PluginFactory<Tiny>(&a), FF_SUCCESS);
    EXPECT_EQ(PluginFactory<Tiny>(&b), FF_SUCCESS);
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(dynamic_cast<Tiny*>(a), nullptr);
    delete a;
    delete b;
}

TEST(PluginFactoryTemplate, ConstructorExceptionPropagatesAndStoresNothing) {
    CFFGLPlugin* made = nullptr;
    EXPECT_THROW(PluginFactory<ThrowsOnConstruction>(&made), std::runtime_error);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(s_throwingConstructed, 1);
}

TEST(PluginInfoDeathTest, ApiMajorVersionBelowTwoStopsTheModule) {
#ifdef NDEBUG
    GTEST_SKIP() << "the check is an assertion";
#else
    EXPECT_DEATH(CFFGLPluginInfo(PluginFactory<Tiny>, "AAAA", "x", 1, 0, 1, 0, 0, "", ""),
                 "dwAPIMajorVersion >= 2");
#endif
}

}  // namespace
