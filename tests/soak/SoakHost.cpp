#include "tests/soak/SoakHost.h"

#include "gl/GLIncludes.h"

#include <algorithm>

namespace soak {
namespace {

using testhost::kFail;
using testhost::Record;

enum : uint32_t {
    kGetInfo = 0,
    kDeinitialise = 2,
    kGetNumParameters = 4,
    kGetParameterName = 5,
    kGetParameterDefault = 6,
    kGetParameterDisplay = 7,
    kSetParameter = 8,
    kGetParameter = 9,
    kGetPluginCaps = 10,
    kGetExtendedInfo = 13,
    kGetParameterType = 15,
    kProcessOpenGL = 17,
    kDeinstantiateGL = 19,
    kSetTime = 20,
    kGetNumParameterElements = 31,
    kGetParameterUsage = 32,
    kGetPluginShortName = 33,
    kInitialiseV2 = 34,
    kGetParameterElementName = 35,
    kGetParameterElementDefault = 36,
    kSetParameterElementValue = 37,
    kGetRange = 41,
    kGetParameterVisibility = 45,
    kGetParameterGroup = 50,
    kTypeFile = 14,
    kTypeText = 100,
    kCapMaximumInputs = 11,
};

bool isText(uint32_t type) { return type == kTypeText || type == kTypeFile; }

// An input with an opaque middle and a transparent border, so a plugin that
// measures its input's alpha finds something to fit.
tessivar::Image pattern(uint32_t w, uint32_t h, uint32_t seed) {
    tessivar::Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            const bool inside = x >= w / 8 && x < w - w / 8 && y >= h / 6 && y < h - h / 6;
            p[0] = uint8_t(x * 4 + seed);
            p[1] = uint8_t(y * 5);
            p[2] = uint8_t(seed * 40);
            p[3] = inside ? 255 : 0;
        }
    return image;
}

}  // namespace

SoakHost::SoakHost(const std::string& modulePath) : module(std::make_unique<testhost::Module>(modulePath)) {
    if (!module->Loaded()) {
        error = module->Error();
        return;
    }
    const uint64_t count = module->Call(kGetNumParameters);
    if (count == kFail) {
        error = "FF_GET_NUM_PARAMETERS failed";
        return;
    }
    numParams = uint32_t(count);
    for (uint32_t p = 0; p < numParams; ++p) {
        types.push_back(uint32_t(module->Call(kGetParameterType, p)));
        const uint64_t n = module->Call(kGetNumParameterElements, p);
        elements.push_back(n == kFail ? 0 : uint32_t(n));
    }
    const uint64_t maxInputs = module->Call(kGetPluginCaps, kCapMaximumInputs);
    numInputs = maxInputs == kFail ? 0 : std::min<uint32_t>(uint32_t(maxInputs), 2);
    if (!target.Create(kWidth, kHeight)) {
        error = "cannot make the host's render target";
        return;
    }
    for (uint32_t i = 0; i < numInputs; ++i) {
        inputs.push_back(std::make_unique<tessivar::InputTexture>());
        // The second input is smaller and padded, as hosts hand them out.
        const bool padded = i == 1;
        if (!inputs.back()->Create(pattern(padded ? kWidth / 2 : kWidth, padded ? kHeight / 2 : kHeight, i),
                                   padded ? kWidth : 0, padded ? kHeight : 0)) {
            error = "cannot make an input texture";
            return;
        }
    }
}

std::string SoakHost::SetParameters(uint64_t instance, uint32_t cycle) {
    static const char* const texts[] = {"", "soak", "a longer caption with some words in it"};
    for (uint32_t p = 0; p < numParams; ++p) {
        uint64_t answer;
        if (isText(types[p])) {
            Record r = testhost::SetParamText(p, texts[(cycle + p) % 3]);
            answer = module->Call(kSetParameter, r, instance);
        } else {
            // Sweeps 0..1 in uneven steps, so booleans flip and fits re-run.
            const float value = float((cycle * 37u + p * 11u) % 101u) / 100.0f;
            answer = module->SetFloat(instance, p, value);
            if (elements[p] > 1) {
                Record r(12);
                r.U32(0, p).U32(4, cycle % elements[p]).F32(8, value);
                module->Call(kSetParameterElementValue, r, instance);
            }
        }
        if (answer == kFail) return "FF_SET_PARAMETER " + std::to_string(p) + " failed";
        if (!testhost::AsPtr<const char>(module->Call(kGetParameterDisplay, p, instance)))
            return "FF_GET_PARAMETER_DISPLAY " + std::to_string(p) + " answered null";
    }
    Record time(8);
    time.F64(0, cycle / 60.0);
    module->Call(kSetTime, time, instance);
    return "";
}

std::string SoakHost::Frame(uint64_t instance, uint32_t cycle) {
    testhost::ProcessRecord process;
    for (auto& input : inputs) {
        const FFGLTextureStruct& d = input->Desc();
        process.AddInput(d.Width, d.Height, d.HardwareWidth, d.HardwareHeight, d.Handle);
    }
    target.Bind();
    target.Clear(0, 0, 0, 0);
    // A host often blends its layers; the plugin must leave that as it was.
    if (cycle % 2) glEnable(GL_BLEND);
    const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
    const uint64_t answer = module->Call(kProcessOpenGL, process.Arg(), instance);
    const std::string changed = before.Diff(tessivar::GLStateSnapshot::Capture());
    glDisable(GL_BLEND);
    // The host shows the frame before it goes on, as a presenting host does.
    // llvmpipe frees what a deleted program compiled only once the queued
    // work that used it is done: a host that never waited would see the
    // driver's queue grow, and take it for the plugin's heap.
    glFinish();
    if (answer != testhost::kSuccess) return "FF_PROCESS_OPENGL answered " + std::to_string(answer);
    if (!changed.empty()) return "the frame changed host GL state: " + changed;
    return "";
}

std::string SoakHost::InstanceCycle(uint32_t cycle) {
    target.Bind();
    const uint64_t instance = module->Instantiate(kWidth, kHeight);
    if (instance == kFail || instance == 0) return "FF_INSTANTIATE_GL failed";
    std::string why = SetParameters(instance, cycle);
    if (why.empty()) why = Frame(instance, cycle);
    if (why.empty()) {
        for (const auto& event : module->CollectEvents(instance))
            if (event.first >= numParams) why = "event for unknown parameter " + std::to_string(event.first);
        // What a host does with the events: read the moved values back.
        for (uint32_t p = 0; p < numParams; ++p) module->Call(kGetParameter, p, instance);
    }
    if (module->Call(kDeinstantiateGL, 0, instance) != testhost::kSuccess && why.empty())
        why = "FF_DEINSTANTIATE_GL failed";
    return why;
}

std::string SoakHost::PrototypeCycle(uint32_t cycle) {
    // Every other cycle a query, not FF_INITIALISE_V2, brings the prototype.
    if (cycle % 2 == 0 && module->Call(kInitialiseV2) != testhost::kSuccess) return "FF_INITIALISE_V2 failed";
    if (module->Call(kGetNumParameters) != numParams) return "parameter count changed";
    if (!module->Call(kGetInfo) || !module->Call(kGetExtendedInfo)) return "no information record";
    module->Call(kGetPluginShortName);
    for (uint32_t cap : {5u, 10u, 11u, 16u}) module->Call(kGetPluginCaps, cap);
    char group[32];
    for (uint32_t p = 0; p <= numParams; ++p) {  // one past the end: unregistered
        module->Call(kGetParameterName, p);
        module->Call(kGetParameterDefault, p);
        if (module->Call(kGetParameterType, p) != (p < numParams ? types[p] : kFail)) return "parameter type changed";
        module->Call(kGetParameterUsage, p);
        module->Call(kGetParameterVisibility, p);
        Record range(12);
        range.U32(0, p);
        if (module->Call(kGetRange, range) != testhost::kSuccess) return "FF_GET_RANGE failed";
        Record element = testhost::ElementQuery(p, cycle % 4);
        module->Call(kGetParameterElementName, element);
        module->Call(kGetParameterElementDefault, element);
        Record groupQuery(24);
        groupQuery.U32(0, p).Ptr(8, group).U32(16, sizeof group);
        module->Call(kGetParameterGroup, groupQuery);
    }
    if (module->Call(kDeinitialise) != testhost::kSuccess) return "FF_DEINITIALISE failed";
    if (cycle % 3 == 0 && module->Call(kDeinitialise) != testhost::kSuccess) return "second FF_DEINITIALISE failed";
    return "";
}

}  // namespace soak
