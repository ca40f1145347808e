// Shader text from parameters and snippets, and the CPU random generator.
#include "quickstart/FFGLRandom.h"
#include "quickstart/FFGLShaderBuilder.h"

#include <gtest/gtest.h>

#include <set>

using namespace ffglqs;

namespace {

std::shared_ptr<Param> Typed(const char* name, unsigned int type) { return Param::Create(name, type, 0.0f); }

}  // namespace

TEST(ShaderCode, ColourGroupsAreFoundByTypeAndBrokenOnesAreSingleFloats) {
    const struct {
        ParamList params;
        const char* declared;
    } cases[] = {
        // Added one by one, not through a group helper: still one vec3 / vec4.
        {{Typed("tint", FF_TYPE_RED), Typed("g", FF_TYPE_GREEN), Typed("b", FF_TYPE_BLUE), Typed("h", FF_TYPE_HUE),
          Typed("s", FF_TYPE_SATURATION), Typed("v", FF_TYPE_BRIGHTNESS), Typed("a", FF_TYPE_ALPHA)},
         "uniform vec3 tint;\nuniform vec4 h;\n"},
        {{Typed("r", FF_TYPE_RED), Typed("g", FF_TYPE_GREEN), Typed("x", FF_TYPE_STANDARD)},
         "uniform float r;\nuniform float g;\nuniform float x;\n"},
        {{Typed("x", FF_TYPE_STANDARD), Typed("r", FF_TYPE_RED)}, "uniform float x;\nuniform float r;\n"},
        {{Typed("h", FF_TYPE_HUE), Typed("s", FF_TYPE_SATURATION), Typed("v", FF_TYPE_BRIGHTNESS)},
         "uniform float h;\nuniform float s;\nuniform float v;\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(UniformDeclarations(c.params), c.declared);
}

TEST(ShaderCode, SnippetsFollowDeclarationsInIdOrderOnce) {
    SnippetSet included;
    IncludeSnippet(included, shader::noise);
    IncludeSnippet(included, shader::random);
    IncludeSnippet(included, shader::noise);
    ParamList params = {Param::Create("amount")};
    EXPECT_EQ(BuildFragmentSource("BASE", params, included, "CODE"), "BASEuniform float amount;\n" +
                                                                         shader::snippets.at(shader::random) +
                                                                         shader::snippets.at(shader::noise) + "CODE");
}

TEST(Random, StaysInsideItsBoundsEvenWhenTheyAreReversed) {
    Random random;
    std::set<int> bits;
    for (int i = 0; i < 200; ++i) {
        bits.insert(random.GetRandomInt(0, 1));
        const float f = random.GetRandomFloat(2.0f, 4.0f);
        ASSERT_TRUE(f >= 2.0f && f <= 4.0f) << f;
        const int reversed = random.GetRandomInt(5, -5);
        ASSERT_TRUE(reversed >= -5 && reversed <= 5) << reversed;
    }
    EXPECT_EQ(bits, (std::set<int>{0, 1}));
}
