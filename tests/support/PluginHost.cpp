#include "tests/support/PluginHost.h"

#include "gl/GLIncludes.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace testhost {

Module& SharedModule(const char* target) {
    struct Loaded {
        Module module;
        GLStateGuard guard;
        explicit Loaded(const std::string& path) : module(path) { module.Observe(&guard); }
        ~Loaded() {
            if (module.Loaded()) module.Call(FF_DEINITIALISE);
        }
    };
    static std::map<std::string, std::unique_ptr<Loaded>> loaded;
    auto& slot = loaded[target];
    if (!slot) slot = std::make_unique<Loaded>(ModulePath(("TESSIVAR_MODULE_" + std::string(target)).c_str()));
    return slot->module;
}

PluginHost::PluginHost(Module& m, uint32_t w, uint32_t h) : module(m), width(w), height(h) {
    if (!module.Loaded()) {
        ADD_FAILURE() << "cannot load the module: " << module.Error();
        return;
    }
    readSide.Create(4, 4);
    target.Create(std::max(w, 1u), std::max(h, 1u));
    BindHostState();
    instance = module.Instantiate(w, h);
    EXPECT_TRUE(Ok()) << "FF_INSTANTIATE_GL failed";
}

PluginHost::~PluginHost() {
    if (Ok()) module.Deinstantiate(instance);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
}

void PluginHost::BindHostState() const {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.Framebuffer());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readSide.Framebuffer());
    glViewport(0, 0, GLsizei(width), GLsizei(height));
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void PluginHost::Set(uint32_t index, float value) {
    EXPECT_EQ(module.SetFloat(instance, index, value), kSuccess) << "parameter " << index;
}

uint64_t PluginHost::SetElement(uint32_t index, uint32_t element, float value) {
    Record record(12);
    record.U32(0, index).U32(4, element).F32(8, value);
    return module.Call(FF_SET_PARAMETER_ELEMENT_VALUE, record, instance);
}

void PluginHost::Resize(uint32_t w, uint32_t h) {
    width = w;
    height = h;
    target.Create(std::max(w, 1u), std::max(h, 1u));
    Record viewport = Viewport(0, 0, w, h);
    EXPECT_EQ(module.Call(FF_RESIZE, viewport, instance), kSuccess);
}

void PluginHost::Fill(float r, float g, float b, float a) {
    BindHostState();
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
}

uint64_t PluginHost::Call(uint64_t processRecord) {
    BindHostState();
    return module.Call(FF_PROCESS_OPENGL, processRecord, instance);
}

uint64_t PluginHost::Frame(ProcessRecord& record) {
    Fill(0, 0, 0, 0);
    return Call(record.Arg());
}

uint64_t PluginHost::Frame(const std::vector<const tessivar::InputTexture*>& inputs) {
    ProcessRecord record;
    for (const tessivar::InputTexture* input : inputs) {
        const FFGLTextureStruct& d = input->Desc();
        record.AddInput(d.Width, d.Height, d.HardwareWidth, d.HardwareHeight, d.Handle);
    }
    return Frame(record);
}

tessivar::Image PluginHost::Render(const tessivar::InputTexture& input) {
    EXPECT_EQ(Frame({&input}), kSuccess) << "FF_PROCESS_OPENGL";
    return target.Read();
}

tessivar::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    tessivar::Image image(w, h);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = r, image.rgba[i + 1] = g, image.rgba[i + 2] = b, image.rgba[i + 3] = a;
    }
    return image;
}

tessivar::Image Gradient(uint32_t w, uint32_t h) {
    tessivar::Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w, v = (y + 0.5) / h;
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(std::lround(20 + 215 * u));
            p[1] = uint8_t(std::lround(20 + 215 * v));
            p[2] = uint8_t(std::lround(128 + 100 * std::sin(3.0 * u + 2.0 * v)));
            p[3] = uint8_t(std::lround(160 + 95 * u * v));
        }
    return image;
}

void ClearColumns(tessivar::Image& image, uint32_t left, uint32_t right) {
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            if (x < left || x >= image.width - right) std::fill(image.At(x, y), image.At(x, y) + 4, uint8_t(0));
}

tessivar::InputTexture MakeInput(const tessivar::Image& image, uint32_t hwW, uint32_t hwH) {
    tessivar::InputTexture texture;
    EXPECT_TRUE(texture.Create(image, hwW, hwH, 0xFF00FFFFu));
    return texture;
}

int PixelDiff(const uint8_t* actual, const float expected[4]) {
    int worst = 0;
    for (int c = 0; c < 4; ++c) worst = std::max(worst, int(std::lround(std::fabs(actual[c] - expected[c]))));
    return worst;
}

}  // namespace testhost
