// ThrowingPlugin: plugin code that throws, to show that no exception ever
// leaves plugMain. By default the constructor throws std::bad_alloc, as an
// allocation failure would, so neither the prototype nor an instance can be
// made. With allowConstruction set it builds, and then:
//   - InitGL throws std::runtime_error when throwInInitGL is set;
//   - SetFloatParameter throws std::bad_alloc when throwInSetters is set;
//   - ProcessOpenGL throws a plain int (not a std::exception);
//   - GetParameterDisplay and GetTextParameter throw std::bad_alloc.
// With factoryFails set, the factory answers FF_FAIL without making anything.
#include <new>
#include <stdexcept>

#include "host/FFGLSDK.h"
#include "tests/host/modules/TestModuleSupport.h"

namespace {

class ThrowingPlugin : public CFFGLPlugin {
public:
    ThrowingPlugin() : CFFGLPlugin(false) {
        if (!Control().allowConstruction) throw std::bad_alloc();
        Trace('N');
        SetParamInfo(0, "Level", FF_TYPE_STANDARD, 0.5f);
        SetParamInfo(1, "Caption", FF_TYPE_TEXT, "text");
    }
    ~ThrowingPlugin() override { Trace('X'); }

    FFResult InitGL(const FFGLViewportStruct* viewport) override {
        Trace('I');
        if (Control().throwInInitGL) throw std::runtime_error("no GL today");
        return CFFGLPlugin::InitGL(viewport);
    }
    FFResult DeInitGL() override {
        Trace('U');
        return FF_SUCCESS;
    }
    FFResult SetFloatParameter(unsigned int index, float) override {
        if (Control().throwInSetters) throw std::bad_alloc();
        return index == 0 ? FF_SUCCESS : FF_FAIL;
    }
    FFResult SetTextParameter(unsigned int index, const char*) override {
        return index == 1 ? FF_SUCCESS : FF_FAIL;
    }
    FFResult ProcessOpenGL(ProcessOpenGLStruct*) override {
        Trace('P');
        throw 42;
    }
    char* GetParameterDisplay(unsigned int) override { throw std::bad_alloc(); }
    char* GetTextParameter(unsigned int) override { throw std::bad_alloc(); }
};

FFResult ThrowingFactory(CFFGLPlugin** instance) {
    if (Control().factoryFails) return FF_FAIL;
    return PluginFactory<ThrowingPlugin>(instance);
}

CFFGLPluginInfo PluginInfo(ThrowingFactory, "THRW", "Throwing", 2, 1, 1, 0, FF_EFFECT, "Plugin code that throws",
                           "Tessivar frame tests");

}  // namespace
