// Parameter objects: factories, option selection, ranges, triggers, buffers.
#include "quickstart/FFGLParams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace ffglqs;

namespace {

ParamOption::Options ThreeOptions() { return { { "Low", 10.0f }, { "Mid", 20.0f }, { "High", 30.0f } }; }

}  // namespace

TEST(Params, RangesNormaliseAndClamp) {
    auto count = ParamRange::CreateInteger("count", 5, { 0.0f, 10.0f });
    EXPECT_FLOAT_EQ(count->GetNormalizedValue(), 0.5f);

    auto scale = ParamRange::Create("scale", 1.0f, { 0.5f, 4.0f });
    scale->SetValue(0.0f);
    EXPECT_EQ(scale->GetNormalizedValue(), 0.0f);
    scale->SetValue(9.0f);
    EXPECT_EQ(scale->GetNormalizedValue(), 1.0f);

    // An empty range divides 0 by 0: the result must still be a number.
    auto flat = ParamRange::Create("flat", 2.0f, { 2.0f, 2.0f });
    EXPECT_EQ(flat->GetNormalizedValue(), 0.0f);
}

TEST(Params, OptionSelectsByTruncatedIndex) {
    auto option = ParamOption::Create("mode", ThreeOptions(), 2);
    EXPECT_EQ(option->GetValue(), 2.0f);
    EXPECT_TRUE(option->IsCurrentOption("High"));
    EXPECT_EQ(option->GetRealValue(), 30.0f);

    option->SetValue(1.7f);
    EXPECT_EQ(option->GetValue(), 1.7f);
    EXPECT_TRUE(option->IsCurrentOption("Mid"));
    EXPECT_EQ(option->GetRealValue(), 20.0f);

    // Byte for byte: neither case nor a prefix matches.
    EXPECT_FALSE(option->IsCurrentOption("mid"));
    EXPECT_FALSE(option->IsCurrentOption("Mi"));
    EXPECT_FALSE(option->IsCurrentOption("Mid "));

    EXPECT_TRUE(ParamOption::Create("m", ThreeOptions())->IsCurrentOption("Low"));
}

TEST(Params, OptionOutsideItsListFallsBackToTheFirst) {
    for (float v : { 3.0f, -0.5f, -1.0f, 1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN() }) {
        auto option = ParamOption::Create("mode", ThreeOptions(), 1);
        option->SetValue(v);
        EXPECT_EQ(option->GetValue(), 0.0f) << v;
        EXPECT_TRUE(option->IsCurrentOption("Low")) << v;
        EXPECT_EQ(option->GetRealValue(), 10.0f) << v;
    }
    auto pastEnd = ParamOption::Create("mode", ThreeOptions(), 7);
    EXPECT_EQ(pastEnd->GetValue(), 0.0f);
    EXPECT_TRUE(pastEnd->IsCurrentOption("Low"));
}

TEST(Params, EmptyOptionListSelectsNothing) {
    auto none = ParamOption::Create("none", {});
    EXPECT_EQ(none->GetValue(), 0.0f);
    EXPECT_EQ(none->GetRealValue(), 0.0f);
    EXPECT_TRUE(none->IsCurrentOption(""));
    none->SetValue(0.0f);
    none->SetValue(2.0f);
    EXPECT_EQ(none->GetValue(), 0.0f);
    EXPECT_TRUE(none->GetCurrentOption().empty());
}

TEST(Params, TriggersConsumeAndBuffersHoldZeroedBins) {
    auto trigger = ParamTrigger::Create("go");
    trigger->SetValue(1.0f);
    trigger->Consume();
    EXPECT_EQ(trigger->GetValue(), 0.0f);

    EXPECT_TRUE(ParamFFT::Create("none", 0)->fftData.empty());
    EXPECT_THROW(ParamFFT::Create("huge", std::numeric_limits<uint64_t>::max()), std::length_error);
}
