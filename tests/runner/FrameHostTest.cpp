// Every shipped module on deep frames: fed 16-bit textures and drawing into a
// 16-bit framebuffer, as the host runs them on deep video, each renders what
// it renders at 8 bits, to the rounding of the last bit.
#include "runner/FrameHost.h"
#include "runner/Patterns.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using namespace tessivar;

class DeepFrames : public testhost::GLTest {};

Image deepened(const Image& picture) {
    Image deep(picture.width, picture.height, 16);
    for (size_t i = 0; i < picture.rgba.size(); ++i) deep.rgba16[i] = uint16_t(picture.rgba[i] * 257);
    return deep;
}

// Two frames of `module` on `inputs`; the second one read back.
Image render(const Module& module, const ModuleInfo& info, const std::vector<Image>& inputs, int bits) {
    FrameHost host;
    std::string error;
    EXPECT_TRUE(host.Create(module, info, inputs, 96, 64, error, bits)) << error;
    EXPECT_TRUE(host.RenderFrame(0.0, error)) << error;
    EXPECT_TRUE(host.RenderFrame(1.0 / 30, error)) << error;
    Image out = host.ReadOutput();
    host.Plugin().Destroy();
    return out;
}

TEST_F(DeepFrames, EveryShippedModuleRendersAsAt8Bits) {
    std::istringstream names(TESSIVAR_SHIPPED_MODULES);
    std::string name;
    int checked = 0;
    while (std::getline(names, name, ',')) {
        SCOPED_TRACE(name);
        std::string upper = name, error;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        auto module = Module::Load(testhost::ModulePath(("TESSIVAR_MODULE_" + upper).c_str()), error);
        ASSERT_TRUE(module) << error;
        const ModuleInfo info = module->Describe();
        std::vector<Image> shallow, deep;
        for (const char* pattern : {"alpha-bars", "gradient"}) {
            if (shallow.size() == info.maxInputs) break;
            Image picture;
            ASSERT_TRUE(MakePattern(pattern, 96, 64, picture, error)) << error;
            shallow.push_back(picture);
            deep.push_back(deepened(picture));
        }
        const Image at8 = render(*module, info, shallow, 8), at16 = render(*module, info, deep, 16);
        ASSERT_EQ(at16.bits, 16);
        const Image back = To8Bits(at16);
        int worst = 0;
        for (size_t i = 0; i < back.rgba.size(); ++i) worst = std::max(worst, std::abs(back.rgba[i] - at8.rgba[i]));
        EXPECT_LE(worst, 1);
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

}  // namespace
