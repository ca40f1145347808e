#include "tests/examples/ExampleHost.h"

#include "gl/GLIncludes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace examples {

void ExampleTest::Load(const char* target_, uint32_t width, uint32_t height) {
    module = std::make_unique<testhost::Module>(testhost::ModulePath((std::string("TESSIVAR_MODULE_") + target_).c_str()));
    ASSERT_TRUE(module->Loaded()) << module->Error();
    module->Observe(&guard);  // every call leaves the host's GL state alone
    ASSERT_TRUE(target.Create(width, height));
    target.Bind();
    instance = module->Instantiate(width, height);
    ASSERT_NE(instance, testhost::kFail) << "instantiation failed (the shader did not build?)";
    ASSERT_NE(instance, 0u);
}

void ExampleTest::TearDown() {
    if (module && instance != testhost::kFail && instance != 0)
        module->Deinstantiate(instance);
    target.Release();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLTest::TearDown();
}

void ExampleTest::ExpectIdentity(const char* id, const char* name, uint32_t type, uint32_t inputs) const {
    const auto* info = testhost::AsPtr<const uint8_t>(module->Call(kGetInfo));
    ASSERT_NE(info, nullptr);
    char padded[16] = {};
    std::memcpy(padded, name, std::min(std::strlen(name), sizeof padded));
    EXPECT_EQ(std::memcmp(info + 8, id, 4), 0);
    EXPECT_EQ(std::memcmp(info + 12, padded, 16), 0);
    uint32_t pluginType = 0;
    std::memcpy(&pluginType, info + 28, 4);
    EXPECT_EQ(pluginType, type);
    EXPECT_EQ(module->Call(kGetPluginCaps, kCapMinInputs), inputs);
    EXPECT_EQ(module->Call(kGetPluginCaps, kCapMaxInputs), inputs);
}

uint64_t ExampleTest::SetElement(uint32_t index, uint32_t element, float value) {
    testhost::Record record(12);
    record.U32(0, index).U32(4, element).F32(8, value);
    return module->Call(kSetParameterElementValue, record, instance);
}

uint64_t ExampleTest::Frame(testhost::ProcessRecord& inputs) {
    target.Bind();
    target.Clear(0, 0, 0, 0);
    const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
    const uint64_t result = module->Call(kProcessOpenGL, inputs.Arg(), instance);
    EXPECT_EQ(before.Diff(tessivar::GLStateSnapshot::Capture()), "") << "GL state changed by the frame";
    return result;
}

Rgba ExampleTest::Pixel(uint32_t x, uint32_t y) const {
    const tessivar::Image image = target.Read();
    const uint8_t* p = image.At(x, y);
    return { p[0], p[1], p[2], p[3] };
}

std::unique_ptr<tessivar::InputTexture> MakeInput(const tessivar::Image& image, uint32_t hwW, uint32_t hwH) {
    auto texture = std::make_unique<tessivar::InputTexture>();
    EXPECT_TRUE(texture->Create(image, hwW, hwH, 0xFF00FFFFu));
    return texture;
}

tessivar::Image Filled(uint32_t w, uint32_t h, Rgba c) {
    tessivar::Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(c.r);
            p[1] = uint8_t(c.g);
            p[2] = uint8_t(c.b);
            p[3] = uint8_t(c.a);
        }
    return image;
}

void ExpectNear(Rgba c, int r, int g, int b) {
    EXPECT_LE(std::abs(c.r - r) + std::abs(c.g - g) + std::abs(c.b - b), 2)
        << "got " << c.r << "," << c.g << "," << c.b << " want " << r << "," << g << "," << b;
}

void AddInput(testhost::ProcessRecord& inputs, const tessivar::InputTexture& texture) {
    const FFGLTextureStruct& d = texture.Desc();
    inputs.AddInput(d.Width, d.Height, d.HardwareWidth, d.HardwareHeight, d.Handle);
}

}  // namespace examples
