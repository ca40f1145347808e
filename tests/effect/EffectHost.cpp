#include "tests/effect/EffectHost.h"

#include "gl/GLIncludes.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace effecttest {

namespace {

constexpr uint32_t kPadColour = 0xFF00FFFFu;  // opaque magenta

}  // namespace

testhost::Module& TessivarModule() {
    // Like a host about to unload it, deinitialise the module first, so the
    // prototype made by global queries is released before dlclose.
    struct Loaded {
        testhost::Module module{testhost::ModulePath("TESSIVAR_MODULE_TESSIVAR")};
        testhost::GLStateGuard guard;  // every call leaves the host's GL state alone
        Loaded() { module.Observe(&guard); }
        ~Loaded() {
            if (module.Loaded()) module.Call(FF_DEINITIALISE);
        }
    };
    static Loaded loaded;
    return loaded.module;
}

EffectHost::EffectHost(uint32_t w, uint32_t h) : width(w), height(h) {
    testhost::Module& module = TessivarModule();
    if (!module.Loaded()) {
        ADD_FAILURE() << "cannot load Tessivar: " << module.Error();
        instance = testhost::kFail;
        return;
    }
    readSide.Create(4, 4);
    target.Create(std::max(w, 1u), std::max(h, 1u));
    BindHostState();
    instance = module.Instantiate(w, h);
    EXPECT_TRUE(Ok()) << "FF_INSTANTIATE_GL failed";
}

EffectHost::~EffectHost() {
    if (Ok()) TessivarModule().Deinstantiate(instance);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
}

void EffectHost::BindHostState() const {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.Framebuffer());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readSide.Framebuffer());
    glViewport(0, 0, GLsizei(width), GLsizei(height));
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void EffectHost::Set(uint32_t index, float value) {
    EXPECT_EQ(TessivarModule().SetFloat(instance, index, value), testhost::kSuccess) << "parameter " << index;
}

float EffectHost::Get(uint32_t index) const { return TessivarModule().GetFloat(instance, index); }

void EffectHost::SetPoints(const float points[8]) {
    for (uint32_t i = 0; i < 8; ++i) Set(i, points[i]);
}

std::vector<std::pair<uint32_t, uint64_t>> EffectHost::Events() const {
    return TessivarModule().CollectEvents(instance);
}

void EffectHost::Resize(uint32_t w, uint32_t h) {
    width = w;
    height = h;
    target.Create(std::max(w, 1u), std::max(h, 1u));
    testhost::Record vp = testhost::Viewport(0, 0, w, h);
    EXPECT_EQ(TessivarModule().Call(FF_RESIZE, vp, instance), testhost::kSuccess);
}

void EffectHost::Fill(float r, float g, float b, float a) {
    BindHostState();
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
}

uint64_t EffectHost::ProcessRaw(uint64_t processRecord) {
    BindHostState();
    const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
    const uint64_t answer = TessivarModule().Call(FF_PROCESS_OPENGL, processRecord, instance);
    const tessivar::GLStateSnapshot after = tessivar::GLStateSnapshot::Capture();
    EXPECT_EQ(before.Diff(after), "") << "the plugin changed host GL state";
    return answer;
}

void EffectHost::Process(const tessivar::InputTexture& input) {
    const FFGLTextureStruct& d = input.Desc();
    testhost::ProcessRecord record;
    record.AddInput(d.Width, d.Height, d.HardwareWidth, d.HardwareHeight, d.Handle);
    Fill(0, 0, 0, 0);
    EXPECT_EQ(ProcessRaw(record.Arg()), testhost::kSuccess) << "FF_PROCESS_OPENGL";
}

tessivar::Image EffectHost::Render(const tessivar::InputTexture& input) {
    Process(input);
    return target.Read();
}

tessivar::Image Solid(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    tessivar::Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = r, p[1] = g, p[2] = b, p[3] = a;
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
    EXPECT_TRUE(texture.Create(image, hwW, hwH, kPadColour));
    return texture;
}

int PixelDiff(const uint8_t* actual, const float expected[4]) {
    int worst = 0;
    for (int c = 0; c < 4; ++c) worst = std::max(worst, int(std::lround(std::fabs(actual[c] - expected[c]))));
    return worst;
}

}  // namespace effecttest
