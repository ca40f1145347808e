// The ABI header compiled as C agrees with the offsets a host relies on, and
// its FFMixed helpers keep the high 32 bits of 32-bit answers zero.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
extern const size_t tessivarCLayout[];
extern const size_t tessivarCLayoutCount;
uint64_t tessivarCFailBits(void);
uint64_t tessivarCPointerBits(const void* p);
float tessivarCFloatRoundTrip(float f);
}

namespace {

TEST(AbiHeaderAsC, RecordLayoutMatchesTheHostsOffsets) {
    // FFMixed, viewport, texture, process.inputTextures, process, setparam.value,
    // set element, range, event.flags, events query.array, group.capacity,
    // thumbnail.pixels, info.PluginType, extended info.block
    const std::vector<size_t> expected = {8, 16, 20, 8, 24, 8, 12, 12, 8, 8, 16, 8, 28, 32};
    EXPECT_EQ(std::vector<size_t>(tessivarCLayout, tessivarCLayout + tessivarCLayoutCount), expected);
}

TEST(AbiHeaderAsC, MixedHelpersFillAll64Bits) {
    EXPECT_EQ(tessivarCFailBits(), 0x00000000FFFFFFFFull);
    int anything = 0;
    EXPECT_EQ(tessivarCPointerBits(&anything), uint64_t(reinterpret_cast<uintptr_t>(&anything)));
    EXPECT_EQ(tessivarCPointerBits(nullptr), 0u);
    EXPECT_EQ(tessivarCFloatRoundTrip(-2.5f), -2.5f);
}

}  // namespace
