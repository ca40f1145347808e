// FrameHost -- what a host does around one instance each frame.
//
// It owns the input textures, the output target and the instance. Each frame
// it binds the output framebuffer with its viewport, clears it to transparent
// black, sends the host time (when the module takes time), calls
// FF_PROCESS_OPENGL and, on request, reads the result back.
//
//     FrameHost host;
//     if (!host.Create(module, info, {picture}, 1920, 1080, error)) ...
//     host.RenderFrame(0.0, error);
//     Image out = host.ReadOutput();
//
// Needs the headless GL context current on the calling thread.
#pragma once

#include "runner/GLFrame.h"
#include "runner/Module.h"

#include <string>
#include <vector>

namespace tessivar {

class FrameHost {
public:
    // The output has `bits` a channel (8 or 16); 0: 16 when any input has.
    bool Create(const Module& module, const ModuleInfo& info, const std::vector<Image>& inputs, uint32_t width,
                uint32_t height, std::string& error, int bits = 0);
    // Replaces input `i` with a picture of the same size.
    void UpdateInput(size_t i, const Image& picture);
    // The texture of input `i`, for a pass that draws the picture itself.
    unsigned InputTextureName(size_t i) const { return textures.at(i).Desc().Handle; }
    bool RenderFrame(double seconds, std::string& error);
    Image ReadOutput() const { return target.Read(); }

    // Binds the output target with its viewport and clears it, as before a
    // frame. Leaves the host state a module may expect: no program, unit 0
    // active, texture 0 bound, no vertex array.
    void PrepareTarget() const;
    std::vector<FFGLTextureStruct> InputDescs() const;

    Instance& Plugin() { return instance; }
    const RenderTarget& Target() const { return target; }

private:
    const Module* module = nullptr;
    const ModuleInfo* info = nullptr;
    std::vector<InputTexture> textures;
    RenderTarget target;
    Instance instance;
};

}  // namespace tessivar
