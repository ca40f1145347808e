// LeakyPlugin: a deliberately broken module for `ffglrun check` and `soak`.
//
// Faults a host would suffer from, everything else well-formed:
//   - its name field carries stray bytes after the terminator;
//   - ProcessOpenGL leaves the scissor test on and the viewport shrunk, or,
//     with LEAKY_PLUGIN_FAULT=texture, makes a texture it never deletes, or,
//     with LEAKY_PLUGIN_FAULT=heap, keeps a 48-byte block until unloaded
//     (so a leak checker at exit stays quiet and only growth shows it), or,
//     with LEAKY_PLUGIN_FAULT=noisy, leaves the scissor test on, tells the
//     host's log about each frame and makes a GL error (for ffglrun preview's
//     log panel).
// It also chatters on standard output each frame, as some plugins do, which
// must not end up inside a raw frame stream.
#include "gl/GLIncludes.h"
#include "host/FFGLSDK.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* fault() {
    const char* f = std::getenv("LEAKY_PLUGIN_FAULT");
    return f ? f : "state";
}

// The kept blocks, each holding the previous one's address; freed only when
// the module is unloaded, so a leak checker at exit has nothing to report.
struct Kept {
    void* last = nullptr;
    ~Kept() {
        while (last) {
            void* previous = *static_cast<void**>(last);
            std::free(last);
            last = previous;
        }
    }
} s_kept;

class LeakyPlugin : public CFFGLPlugin {
public:
    LeakyPlugin() : CFFGLPlugin(false) {
        SetMinInputs(1);
        SetMaxInputs(1);
        SetParamInfo(0, "Amount", FF_TYPE_STANDARD, 0.5f);
    }
    FFResult SetFloatParameter(unsigned int index, float value) override {
        if (index != 0) return FF_FAIL;
        amount = value;
        return FF_SUCCESS;
    }
    float GetFloatParameter(unsigned int index) override { return index == 0 ? amount : 0.0f; }
    FFResult InitGL(const FFGLViewportStruct*) override { return ffglex::LoadGLEntryPoints() ? FF_SUCCESS : FF_FAIL; }
    FFResult ProcessOpenGL(ProcessOpenGLStruct*) override {
        std::printf("leaky: frame\n");
        if (std::strcmp(fault(), "texture") == 0) {
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glBindTexture(GL_TEXTURE_2D, 0);
        } else if (std::strcmp(fault(), "heap") == 0) {
            void** block = static_cast<void**>(std::malloc(48));
            if (block) *block = s_kept.last;
            s_kept.last = block;
        } else if (std::strcmp(fault(), "noisy") == 0) {
            glEnable(GL_SCISSOR_TEST);
            FFGLLog::LogToHost("leaky: frame");
            glBindTexture(GL_TEXTURE_2D, 0x7fffffff);  // never made: GL_INVALID_OPERATION
        } else {
            glEnable(GL_SCISSOR_TEST);
            glViewport(0, 0, 1, 1);
        }
        return FF_SUCCESS;
    }

private:
    float amount = 0.5f;
};

CFFGLPluginInfo PluginInfo(PluginFactory<LeakyPlugin>, "LEAK", "Leaky", 2, 1, 1, 0, FF_EFFECT,
                           "Leaves GL state changed", "Tessivar runner tests");

// Runs after PluginInfo is built (same file, later definition): spoils the
// zero padding a host expects after the name's terminator.
const bool s_spoiled = [] {
    auto* info = const_cast<PluginInfoStruct*>(PluginInfo.GetPluginInfo());
    info->PluginName[12] = 'Z';
    return true;
}();

}  // namespace
