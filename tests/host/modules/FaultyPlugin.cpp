// FaultyPlugin: a well-formed plugin with the faults a host must survive,
// picked through TestModuleControl. Global queries always work: "Level" and
// "Caption".
//
// Left alone (as ffglrun runs it), its InitGL fails the way a plugin does on a
// driver that lacks a GL function: the entry-point lookup it hands to
// LoadGLEntryPoints knows every name but glScissorIndexed, so every
// FF_INSTANTIATE_GL answers FF_FAIL. The knobs:
//   throwInConstructor  the constructor throws std::bad_alloc, as an allocation failure would
//   factoryFails        the factory answers FF_FAIL and makes nothing
//   throwInInitGL       InitGL throws std::runtime_error
//   throwInSetters      SetFloatParameter throws std::bad_alloc
//   initGLWorks         InitGL succeeds; then ProcessOpenGL throws a plain int (not a
//                       std::exception), GetParameterDisplay and GetTextParameter std::bad_alloc
#include "gl/GLIncludes.h"
#include "host/FFGLSDK.h"
#include "tests/host/modules/TestModuleSupport.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace {

void NeverCalled() {}

ffglex::GLProc DriverWithoutScissorIndexed(const char* name) {
    return std::strcmp(name, "glScissorIndexed") == 0 ? nullptr : &NeverCalled;
}

class FaultyPlugin : public CFFGLPlugin {
public:
    FaultyPlugin() : CFFGLPlugin(false) {
        if (Control().throwInConstructor) throw std::bad_alloc();
        Trace('N');
        SetMaxInputs(1);
        SetParamInfo(0, "Level", FF_TYPE_STANDARD, 0.5f);
        SetParamInfo(1, "Caption", FF_TYPE_TEXT, "text");
    }
    ~FaultyPlugin() override { Trace('X'); }

    FFResult InitGL(const FFGLViewportStruct* viewport) override {
        Trace('I');
        if (Control().throwInInitGL) throw std::runtime_error("no GL today");
        if (Control().initGLWorks) return CFFGLPlugin::InitGL(viewport);
        return ffglex::LoadGLEntryPoints(DriverWithoutScissorIndexed) ? FF_SUCCESS : FF_FAIL;
    }
    FFResult DeInitGL() override {
        Trace('U');
        return FF_SUCCESS;
    }
    FFResult SetFloatParameter(unsigned int index, float) override {
        if (Control().throwInSetters) throw std::bad_alloc();
        return index == 0 ? FF_SUCCESS : FF_FAIL;
    }
    FFResult SetTextParameter(unsigned int index, const char*) override { return index == 1 ? FF_SUCCESS : FF_FAIL; }
    FFResult ProcessOpenGL(ProcessOpenGLStruct*) override {
        Trace('P');
        throw 42;
    }
    char* GetParameterDisplay(unsigned int) override { throw std::bad_alloc(); }
    char* GetTextParameter(unsigned int) override { throw std::bad_alloc(); }
};

FFResult FaultyFactory(CFFGLPlugin** instance) {
    if (Control().factoryFails) return FF_FAIL;
    return PluginFactory<FaultyPlugin>(instance);
}

CFFGLPluginInfo PluginInfo(FaultyFactory, "FLTY", "Faulty", 2, 1, 1, 0, FF_EFFECT, "Faults a host must survive",
                           "Tessivar frame tests");

}  // namespace
