// MyMixer -- wipes from its first input to its second as the host's
// crossfader (mixVal) goes from 0 to 1. A starting point for a mixer of your
// own: rename it, give it an ID of its own (at the end of this file), change
// the parameters and the shader.
#include "quickstart/FFGLQuickstart.h"

namespace {

class MyMixer : public ffglqs::Mixer {
public:
    MyMixer() {
        using namespace ffglqs;
        // Parameter 0 is the kit's own mixVal; these are 1 and 2. Each is also
        // the shader's uniform of the same name: a GLSL identifier that is no
        // GLSL keyword and none of the kit's own uniforms. Hosts show at most
        // 16 characters of a name.
        AddParam(ParamRange::Create("softness", 0.1f, {0.0f, 0.5f}));
        AddParam(ParamOption::Create("direction", {{"Left to right", 0.0f}, {"Top to bottom", 1.0f}}));

        // The kit puts its own declarations in front of this code. "#line 1"
        // makes the compiler count lines from the one after it, so an error
        // on line 5 of this shader is reported as line 5 (Mesa: "0:5(...)").
        SetFragmentShader(R"GLSL(
#line 1
void main()
{
	vec4 first = texture( textureDest, i_uv_dest );
	vec4 second = texture( textureSrc, i_uv_src );
	// 0 at the left (or top) edge, 1 at the other. (Texture coordinates
	// run 0..1 over a picture unless the host pads its textures.)
	float across = direction < 0.5 ? i_uv_dest.x : 1.0 - i_uv_dest.y;
	float edge = mixVal * ( 1.0 + softness );
	fragColor = mix( second, first, smoothstep( edge - softness, edge, across ) );
}
)GLSL");
    }
};

}  // namespace

// The module's one information record: the factory, a unique 4-character ID,
// the name hosts show (up to 16 characters), the FFGL API version (2.1), the
// plugin's own version (1.0), its type, a description and an about text.
static CFFGLPluginInfo PluginInfo(PluginFactory<MyMixer>, "MyMx", "My Mixer", 2, 1, 1, 0, FF_MIXER,
                                  "Wipes from the first input to the second", "Made with the Tessivar kit");
