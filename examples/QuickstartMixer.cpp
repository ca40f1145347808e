// Crossfade -- a quick-start mixer: mixVal 0 shows the first input, 1 the second.
#include "quickstart/FFGLQuickstart.h"

namespace {

class Crossfade : public ffglqs::Mixer {
public:
    Crossfade() {
        SetFragmentShader(R"GLSL(
void main()
{
	vec4 dest = texture( textureDest, i_uv_dest );
	vec4 src = texture( textureSrc, i_uv_src );
	fragColor = mix( dest, src, mixVal );
}
)GLSL");
    }
};

}  // namespace

static CFFGLPluginInfo PluginInfo(PluginFactory<Crossfade>, "TQSM", "QS Crossfade", 2, 1, 1, 0, FF_MIXER,
                                  "Quick-start example crossfading two inputs", "Tessivar examples");
