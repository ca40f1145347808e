#include "bench/BenchHost.h"

#include "gl/GLIncludes.h"
#include "runner/platform/gl/HeadlessGL.h"

#include <dlfcn.h>

#include <map>
#include <memory>

namespace benchhost {

namespace {

struct Process {
    std::unique_ptr<tessivar::HeadlessGL> gl;
    PlugMain plugMain = nullptr;
    std::string error;
    std::map<uint64_t, std::unique_ptr<Canvas>> canvases;
};

Process& process() {
    static Process p;
    return p;
}

bool ready(std::string& error) {
    Process& p = process();
    if (!p.gl && p.error.empty()) {
        tessivar::HeadlessGL::Options options;
        options.debug = false;
        p.gl = tessivar::HeadlessGL::Create(p.error, options);
        if (p.gl) {
            void* module = dlopen(TESSIVAR_MODULE_TESSIVAR, RTLD_NOW | RTLD_LOCAL);
            p.plugMain = module ? reinterpret_cast<PlugMain>(dlsym(module, "plugMain")) : nullptr;
            if (!p.plugMain) p.error = std::string("cannot load Tessivar: ") + (module ? "no plugMain" : dlerror());
        }
    }
    error = p.error;
    return p.error.empty();
}

// Red grows to the right, green downward: every output pixel samples between
// different texels, as with a real picture.
tessivar::Image gradient(uint32_t width, uint32_t height) {
    tessivar::Image image(width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(x * 255 / width), p[1] = uint8_t(y * 255 / height), p[2] = 128, p[3] = 255;
        }
    return image;
}

}  // namespace

PlugMain TessivarMain(std::string& error) { return ready(error) ? process().plugMain : nullptr; }

Canvas* CanvasFor(uint32_t width, uint32_t height, std::string& error) {
    if (!ready(error)) return nullptr;
    std::unique_ptr<Canvas>& slot = process().canvases[uint64_t(width) << 32 | height];
    if (!slot) {
        auto canvas = std::make_unique<Canvas>();
        if (!canvas->target.Create(width, height) || !canvas->input.Create(gradient(width, height))) {
            error = "cannot make the frame's textures";
            return nullptr;
        }
        canvas->texture = canvas->input.Desc();
        canvas->process = ProcessOpenGLStruct{1, canvas->inputs, canvas->target.Framebuffer()};
        slot = std::move(canvas);
    }
    slot->target.Bind();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    return slot.get();
}

bool SetParameter(FFInstanceID instance, uint32_t index, float value) {
    SetParameterStruct set{index, ffMixedFloat(value)};
    return process().plugMain(FF_SET_PARAMETER, ffMixedPtr(&set), instance).Bits == FF_SUCCESS &&
           ffMixedToFloat(process().plugMain(FF_GET_PARAMETER, ffMixedU32(index), instance)) == value;
}

FFInstanceID Instantiate(uint32_t width, uint32_t height, bool guides, std::string& error) {
    PlugMain plugMain = TessivarMain(error);
    if (!plugMain) return nullptr;
    FFGLViewportStruct viewport{0, 0, width, height};
    const FFMixed made = plugMain(FF_INSTANTIATE_GL, ffMixedPtr(&viewport), nullptr);
    if (made.Bits == uint64_t(FF_FAIL) || made.PointerValue == nullptr) {
        error = "FF_INSTANTIATE_GL failed";
        return nullptr;
    }
    bool set = SetParameter(made.PointerValue, 8, guides ? 1.0f : 0.0f);
    for (uint32_t i = 0; i < 8; ++i) set = set && SetParameter(made.PointerValue, i, kQuad[i]);
    if (!set) {
        Deinstantiate(made.PointerValue);
        error = "cannot set the points and \"Show Guides\"";
        return nullptr;
    }
    return made.PointerValue;
}

void Deinstantiate(FFInstanceID instance) { process().plugMain(FF_DEINSTANTIATE_GL, ffMixedU32(0), instance); }

}  // namespace benchhost
