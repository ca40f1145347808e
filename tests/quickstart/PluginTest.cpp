// The quick-start plugin base without GL: registration, generated shader
// text and the host-facing value operations. The variants' inputs and
// declarations are exercised end to end by the examples.
#include "quickstart/FFGLQuickstart.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

using namespace ffglqs;

namespace {

const std::string kHeader =
    "\n\t\t#version 410 core\n\t\tout vec4 fragColor;\n\t\tuniform vec2 resolution;\n\t\tuniform float time;\n\t\tuniform "
    "float deltaTime;\n\t\tuniform int frame;\n\t\tuniform float bpm;\n\t\tuniform float phase;\n\t";
const std::string kEffectInputs = "\n\t\tin vec2 i_uv;\n\t\tuniform sampler2D inputTexture;\n\t";

char* Fail() { return reinterpret_cast<char*>(static_cast<uintptr_t>(FF_FAIL)); }

// Exposes what a concrete plugin sees.
class Probe : public Effect {
public:
    using Effect::audioParams;
};

std::string RegisteredName(const CFFGLPluginManager& registry, unsigned int index) {
    const auto* info = registry.FindParamInfo(index);
    return info ? std::string(info->name, strnlen(info->name, sizeof info->name)) : "<none>";
}

}  // namespace

TEST(QuickstartPlugin, ParametersGetDenseIndicesAndOneDeclarationPerItem) {
    Probe plugin;
    plugin.AddParam(Param::Create("a", 0.5f));
    plugin.AddRGBColorParam("c");
    plugin.AddParam(ParamBool::Create("b"));
    plugin.AddParam(ParamFFT::Create("f", 16));
    plugin.AddParam(ParamOption::Create("o", {{"x", 5.0f}, {"y", 6.0f}}));

    const char* expected[] = {"a", "c", "c_green", "c_blue", "b", "f", "o"};
    ASSERT_EQ(plugin.GetNumParams(), 7u);
    for (unsigned int i = 0; i < 7; ++i) EXPECT_EQ(RegisteredName(plugin, i), expected[i]) << i;
    EXPECT_EQ(plugin.GetParamType(5), FF_TYPE_BUFFER);
    EXPECT_EQ(plugin.GetParamUsage(5), FF_USAGE_FFT);
    EXPECT_EQ(plugin.GetNumParamElements(5), 16u);

    EXPECT_EQ(plugin.CreateFragmentShader("CODE"),
              kHeader + kEffectInputs + "uniform float a;\nuniform vec3 c;\nuniform bool b;\nuniform float o;\nCODE");
}

TEST(QuickstartPlugin, RegistrationAndHostValuesReachTheParameterObjects) {
    Probe plugin;
    plugin.AddParam(ParamRange::Create("scale", 2.0f, {0.5f, 4.0f}));
    auto mode = ParamOption::Create("mode", {{"Low", 10.0f}, {"High", 30.0f}}, 1);
    plugin.AddParam(mode);
    auto caption = ParamText::create("caption", "x");
    plugin.AddParam(caption);
    plugin.AddParam(std::shared_ptr<Param>());  // ignored: no slot, no record
    EXPECT_EQ(plugin.GetNumParams(), 3u);

    // A new instance starts from the registered defaults, so they must be the
    // plugin's own: 2.0 in 0.5..4 is not cut to 1; an option's is its index.
    EXPECT_EQ(ffMixedToFloat(plugin.GetParamDefault(0)), 2.0f);
    EXPECT_EQ(ffMixedToFloat(plugin.GetParamDefault(1)), 1.0f);
    EXPECT_EQ(ffMixedToFloat(plugin.GetParamElementDefault(1, 1)), 1.0f);  // the index, not 30

    EXPECT_EQ(plugin.SetFloatParameter(1, 0.0f), FF_SUCCESS);
    EXPECT_TRUE(mode->IsCurrentOption("Low"));
    EXPECT_EQ(plugin.SetFloatParameter(3, 1.0f), FF_FAIL);
    EXPECT_EQ(plugin.SetTextParameter(2, nullptr), FF_SUCCESS);
    EXPECT_EQ(caption->text, "");
    EXPECT_EQ(plugin.SetTextParameter(9, "no"), FF_FAIL);
    EXPECT_EQ(plugin.GetTextParameter(0), Fail());
    EXPECT_EQ(plugin.GetParamText("mode"), nullptr) << "found by name and kind";
}

TEST(QuickstartPlugin, SampleRateReachesEveryAnalyser) {
    Probe plugin;
    auto fft = ParamFFT::Create("fft");
    plugin.AddParam(fft);
    EXPECT_EQ(fft->index, 0u);
    plugin.SetSampleRate(48000);
    EXPECT_EQ(plugin.audioParams.at(fft).GetBinFrequencyStep(), 0.0f) << "no spectrum yet: no bins to divide by";
    plugin.audioParams.at(fft).Update(fft->fftData);
    plugin.SetSampleRate(48000);
    EXPECT_EQ(plugin.audioParams.at(fft).GetMaxFrequency(), 24000.0f);
    EXPECT_EQ(plugin.audioParams.at(fft).GetBinFrequencyStep(), 11.71875f);
}
