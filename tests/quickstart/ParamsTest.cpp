// Parameter objects: what a range makes of out-of-range and empty ranges, and
// which option a host's float selects, whatever the float is. Triggers and
// the uniforms of every kind are rendered end to end by the examples.
#include "quickstart/FFGLParams.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace ffglqs;

TEST(Params, RangesNormaliseAndClampAndAnEmptyRangeIsStillANumber) {
    EXPECT_FLOAT_EQ(ParamRange::CreateInteger("count", 5, {0.0f, 10.0f})->GetNormalizedValue(), 0.5f);
    auto scale = ParamRange::Create("scale", 1.0f, {0.5f, 4.0f});
    scale->SetValue(0.0f);
    EXPECT_EQ(scale->GetNormalizedValue(), 0.0f);
    scale->SetValue(9.0f);
    EXPECT_EQ(scale->GetNormalizedValue(), 1.0f);
    EXPECT_EQ(ParamRange::Create("flat", 2.0f, {2.0f, 2.0f})->GetNormalizedValue(), 0.0f);
    EXPECT_TRUE(ParamFFT::Create("none", 0)->fftData.empty());
    EXPECT_THROW(ParamFFT::Create("huge", std::numeric_limits<uint64_t>::max()), std::length_error);
}

TEST(Params, OptionSelectsByTruncatedIndexAndFallsBackToTheFirst) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float set, value;
        const char* current;
        float real;
    } cases[] = {
        {2.0f, 2.0f, "High", 30.0f}, {1.7f, 1.7f, "Mid", 20.0f},  {3.0f, 0.0f, "Low", 10.0f},
        {-0.5f, 0.0f, "Low", 10.0f}, {1e30f, 0.0f, "Low", 10.0f}, {-inf, 0.0f, "Low", 10.0f},
        {nan, 0.0f, "Low", 10.0f},
    };
    for (const auto& c : cases) {
        auto option = ParamOption::Create("mode", {{"Low", 10.0f}, {"Mid", 20.0f}, {"High", 30.0f}}, 1);
        option->SetValue(c.set);
        EXPECT_EQ(option->GetValue(), c.value) << c.set;
        EXPECT_TRUE(option->IsCurrentOption(c.current)) << c.set;
        EXPECT_EQ(option->GetRealValue(), c.real) << c.set;
    }
    // Names match byte for byte: neither case nor a prefix.
    auto option = ParamOption::Create("mode", {{"Mid", 20.0f}});
    EXPECT_FALSE(option->IsCurrentOption("mid") || option->IsCurrentOption("Mi") || option->IsCurrentOption("Mid "));
    EXPECT_TRUE(ParamOption::Create("mode", {{"Low", 10.0f}}, 7)->IsCurrentOption("Low"));
    auto none = ParamOption::Create("none", {});
    none->SetValue(2.0f);
    EXPECT_EQ(none->GetValue(), 0.0f);
    EXPECT_TRUE(none->GetCurrentOption().empty());
}
