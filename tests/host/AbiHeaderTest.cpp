// The FFMixed helpers of the ABI header, compiled as C, keep the high 32 bits
// of 32-bit answers zero. The header's own layout checks run in the C compile.
#include <gtest/gtest.h>

#include <cstdint>

extern "C" {
uint64_t tessivarCFailBits(void);
uint64_t tessivarCPointerBits(const void* p);
float tessivarCFloatRoundTrip(float f);
}

TEST(AbiHeaderAsC, MixedHelpersFillAll64Bits) {
    EXPECT_EQ(tessivarCFailBits(), 0x00000000FFFFFFFFull);
    int anything = 0;
    EXPECT_EQ(tessivarCPointerBits(&anything), uint64_t(reinterpret_cast<uintptr_t>(&anything)));
    EXPECT_EQ(tessivarCFloatRoundTrip(-2.5f), -2.5f);
}
