// MyEffect -- a vignette: darkens its input towards the edges. A starting
// point for an effect of your own: rename it, give it an ID of its own (at
// the end of this file), change the parameters and the shader.
#include "quickstart/FFGLQuickstart.h"

namespace {

class MyEffect : public ffglqs::Effect {
public:
    MyEffect() {
        using namespace ffglqs;
        // Each parameter is also the shader's uniform of the same name, so a
        // name must be a GLSL identifier that is no GLSL keyword and none of
        // the kit's own uniforms (time, resolution, inputTexture, ...). Hosts
        // show at most 16 characters of it.
        AddParam(ParamRange::Create("amount", 0.6f, {0.0f, 1.0f}));
        AddParam(ParamRange::Create("radius", 1.2f, {0.1f, 2.0f}));
        // The shader sees the option's index (0, 1); the numbers beside the
        // names are for C++ (GetParamOption("shape")->GetRealValue()).
        AddParam(ParamOption::Create("shape", {{"Round", 0.0f}, {"Fit picture", 1.0f}}));
        AddParam(ParamBool::Create("invert", false));

        // The kit puts its own declarations in front of this code. "#line 1"
        // makes the compiler count lines from the one after it, so an error
        // on line 5 of this shader is reported as line 5 (Mesa: "0:5(...)").
        SetFragmentShader(R"GLSL(
#line 1
void main()
{
	vec4 colour = texture( inputTexture, i_uv );
	vec2 offset = ( i_uv - 0.5 ) * 2.0;
	if( shape < 0.5 )  // Round: a circle on the output, whatever its shape
		offset.x *= resolution.x / resolution.y;
	float shade = 1.0 - smoothstep( radius * 0.5, radius, length( offset ) );
	if( invert )
		shade = 1.0 - shade;
	// Colour and alpha stay apart: the input's alpha passes through.
	fragColor = vec4( colour.rgb * mix( 1.0, shade, amount ), colour.a );
}
)GLSL");
    }
};

}  // namespace

// The module's one information record: the factory, a unique 4-character ID,
// the name hosts show (up to 16 characters), the FFGL API version (2.1), the
// plugin's own version (1.0), its type, a description and an about text.
static CFFGLPluginInfo PluginInfo(PluginFactory<MyEffect>, "MyEf", "My Effect", 2, 1, 1, 0, FF_EFFECT,
                                  "Darkens the picture towards its edges", "Made with the Tessivar kit");
