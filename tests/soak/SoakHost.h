// SoakHost -- a host that loads one module and drives complete lifecycles
// through plugMain, the way a video host does when a user adds and removes a
// plugin over and over: instantiate, set every parameter, process a frame into
// the host's own framebuffer, collect the parameter events, de-instantiate.
//
// It learns the plugin from its answers (parameter types, element counts,
// input counts), so any module can be soaked without knowing its code.
#pragma once

#include "runner/GLFrame.h"
#include "tests/support/AbiHost.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace soak {

class SoakHost {
public:
    static constexpr uint32_t kWidth = 64;
    static constexpr uint32_t kHeight = 48;

    // Loads the module and makes the host's framebuffer and input textures.
    // Error() says why when Ok() is false.
    explicit SoakHost(const std::string& modulePath);
    bool Ok() const { return error.empty(); }
    const std::string& Error() const { return error; }
    const testhost::Module& Module() const { return *module; }

    // One full lifecycle; `cycle` varies the parameter values. Answers an
    // empty text, or what went wrong.
    std::string InstanceCycle(uint32_t cycle);
    // FF_INITIALISE_V2, every global query, FF_DEINITIALISE.
    std::string PrototypeCycle(uint32_t cycle);

    // One frame on an instance made elsewhere.
    std::string Frame(uint64_t instance, uint32_t cycle);

private:
    std::string SetParameters(uint64_t instance, uint32_t cycle);

    std::unique_ptr<testhost::Module> module;
    std::string error;
    uint32_t numParams = 0;
    std::vector<uint32_t> types;
    std::vector<uint32_t> elements;
    uint32_t numInputs = 0;
    tessivar::RenderTarget target;
    std::vector<std::unique_ptr<tessivar::InputTexture>> inputs;
};

}  // namespace soak
