// ExampleHost -- drives one example module through plugMain in the headless
// context, the way a host does: raw records, the host's own framebuffer
// bound, and a check after every frame that the GL state a host relies on is
// as it was.
#pragma once

#include "tests/support/AbiHost.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace examples {

// Function codes, spelled out so the tests do not trust the ABI header.
enum : uint32_t {
    kGetInfo = 0,
    kGetParameterDisplay = 7,
    kGetParameterDefault = 6,
    kSetParameter = 8,
    kGetParameter = 9,
    kGetPluginCaps = 10,
    kProcessOpenGL = 17,
    kSetParameterElementValue = 37,
    kCapMinInputs = 10,
    kCapMaxInputs = 11,
};

struct Rgba {
    int r, g, b, a;
};

class ExampleTest : public testhost::GLTest {
protected:
    // Loads the module named by TESSIVAR_MODULE_<target> and makes one
    // instance for a width x height output.
    void Load(const char* target, uint32_t width, uint32_t height);
    void TearDown() override;

    // FF_GET_INFO shows this identity (name padded with zeros to 16 bytes)
    // and the input capabilities both answer `inputs`.
    void ExpectIdentity(const char* id, const char* name, uint32_t type, uint32_t inputs) const;

    uint64_t SetFloat(uint32_t index, float value) { return module->SetFloat(instance, index, value); }
    float GetFloat(uint32_t index) { return module->GetFloat(instance, index); }
    uint64_t SetElement(uint32_t index, uint32_t element, float value);

    // One frame with these inputs into the output target; fails the test if
    // the plugin changed the GL state a host relies on.
    uint64_t Frame(testhost::ProcessRecord& inputs);
    tessivar::Image Output() const { return target.Read(); }
    Rgba Pixel(uint32_t x, uint32_t y) const;

    testhost::GLStateGuard guard;
    std::unique_ptr<testhost::Module> module;
    uint64_t instance = testhost::kFail;
    tessivar::RenderTarget target;
};

// An input texture holding `image` bottom-left in a texture of the hardware
// size, padded with opaque magenta.
std::unique_ptr<tessivar::InputTexture> MakeInput(const tessivar::Image& image, uint32_t hwW = 0, uint32_t hwH = 0);
tessivar::Image Filled(uint32_t w, uint32_t h, Rgba colour);
// The colour within 2 steps summed over red, green and blue.
void ExpectNear(Rgba actual, int r, int g, int b);
void AddInput(testhost::ProcessRecord& inputs, const tessivar::InputTexture& texture);

}  // namespace examples
