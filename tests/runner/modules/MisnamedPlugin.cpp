// MisnamedPlugin -- a quick-start effect whose parameter names cannot be
// uniforms: "time" is one of the kit's own, "Edge Amount" no identifier. Its
// shader fails to compile, so every instance fails.
#include "quickstart/FFGLQuickstart.h"

namespace {

class Misnamed : public ffglqs::Effect {
public:
    Misnamed() {
        AddParam(ffglqs::Param::Create("time", 0.5f));
        AddParam(ffglqs::Param::Create("Edge Amount", 0.5f));
        SetFragmentShader("void main() { fragColor = texture( inputTexture, i_uv ); }");
    }
};

}  // namespace

static CFFGLPluginInfo PluginInfo(PluginFactory<Misnamed>, "TMIS", "Misnamed", 2, 1, 1, 0, FF_EFFECT,
                                  "Test module: parameter names no shader can declare", "Tessivar tests");
