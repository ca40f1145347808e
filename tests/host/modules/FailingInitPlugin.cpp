// FailingInitPlugin: a well-formed plugin whose InitGL always fails, so every
// FF_INSTANTIATE_GL answers FF_FAIL. Global queries work: one parameter,
// "Level". Useful wherever a host's handling of a refused instance is tested.
// It fails the way a plugin does on a driver that lacks a GL function: the
// entry-point lookup it hands to LoadGLEntryPoints knows every name but one.
#include "gl/GLIncludes.h"
#include "host/FFGLSDK.h"
#include "tests/host/modules/TestModuleSupport.h"

#include <cstring>

namespace {

void NeverCalled() {}

ffglex::GLProc DriverWithoutScissorIndexed(const char* name) {
    return std::strcmp(name, "glScissorIndexed") == 0 ? nullptr : &NeverCalled;
}

class FailingInitPlugin : public CFFGLPlugin {
public:
    FailingInitPlugin() : CFFGLPlugin(false) {
        Trace('N');
        SetMaxInputs(1);
        SetParamInfo(0, "Level", FF_TYPE_STANDARD, 0.5f);
    }
    ~FailingInitPlugin() override { Trace('X'); }

    FFResult InitGL(const FFGLViewportStruct*) override {
        Trace('I');
        return ffglex::LoadGLEntryPoints(DriverWithoutScissorIndexed) ? FF_SUCCESS : FF_FAIL;
    }
    FFResult DeInitGL() override {
        Trace('U');
        return FF_SUCCESS;
    }
    FFResult SetFloatParameter(unsigned int index, float value) override {
        if (index != 0) return FF_FAIL;
        level = value;
        return FF_SUCCESS;
    }
    float GetFloatParameter(unsigned int index) override { return index == 0 ? level : 0.0f; }

private:
    float level = 0.0f;
};

CFFGLPluginInfo PluginInfo(PluginFactory<FailingInitPlugin>, "FINI", "Failing Init", 2, 1, 1, 0, FF_EFFECT,
                           "A plugin whose InitGL always fails", "Tessivar frame tests");

}  // namespace
