#include "runner/FrameHost.h"

#include "gl/GLIncludes.h"

#include <algorithm>

namespace tessivar {

bool FrameHost::Create(const Module& plugin, const ModuleInfo& moduleInfo, const std::vector<Image>& inputs,
                       uint32_t width, uint32_t height, std::string& error, int bits) {
    module = &plugin;
    info = &moduleInfo;
    if (inputs.size() < moduleInfo.minInputs) {
        error = plugin.Path() + ": needs at least " + std::to_string(moduleInfo.minInputs) + " input(s), got " +
                std::to_string(inputs.size()) + " (use --input or --pattern)";
        return false;
    }
    if (inputs.size() > moduleInfo.maxInputs) {
        error = plugin.Path() + ": takes at most " + std::to_string(moduleInfo.maxInputs) + " input(s), got " +
                std::to_string(inputs.size());
        return false;
    }
    textures.clear();
    // Deep inputs make a deep frame: the plugin draws into 16 bits a channel.
    if (bits == 0) {
        bits = 8;
        for (const Image& picture : inputs) bits = std::max(bits, picture.bits);
    }
    for (const Image& picture : inputs) {
        InputTexture t;
        if (!t.Create(picture)) {
            error = "cannot create a " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                    " input texture";
            return false;
        }
        textures.push_back(std::move(t));
    }
    if (!target.Create(width, height, bits)) {
        error = "cannot create a " + std::to_string(width) + "x" + std::to_string(height) + " output framebuffer of " +
                std::to_string(bits) + " bits a channel";
        return false;
    }
    PrepareTarget();
    return instance.Create(plugin, width, height, error);
}

void FrameHost::UpdateInput(size_t i, const Image& picture) { textures.at(i).Upload(picture); }

std::vector<FFGLTextureStruct> FrameHost::InputDescs() const {
    std::vector<FFGLTextureStruct> descs;
    for (const auto& t : textures) descs.push_back(t.Desc());
    return descs;
}

void FrameHost::PrepareTarget() const {
    glUseProgram(0);
    glBindVertexArray(0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_SCISSOR_TEST);
    target.Bind();
    target.Clear(0, 0, 0, 0);
}

bool FrameHost::RenderFrame(double seconds, std::string& error) {
    PrepareTarget();
    if (info->timeSupported) instance.SetTime(seconds);
    if (!instance.Process(InputDescs(), target.Framebuffer())) {
        error = module->Crashed() ? module->CrashLine() : info->path + ": FF_PROCESS_OPENGL failed";
        return false;
    }
    return true;
}

}  // namespace tessivar
