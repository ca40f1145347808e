// Showcase -- a quick-start effect that uses every kind of parameter.
//
//     brightness  range 0..2        multiplies the colour
//     levels      integer 0..16     posterises to that many steps (0: off)
//     channel     option            All / Red / Green / Blue keeps one channel
//     invert      bool              inverts the colour
//     showTint    event             while held, shows the tint colour alone
//     flash       trigger           one white frame
//     tint        RGB colour        multiplies the colour (0.5 grey: unchanged)
//     overlay     hue colour        multiplied in by its alpha (white: unchanged)
//     caption     text              a label for the host; not drawn
#include "quickstart/FFGLQuickstart.h"

namespace {

class Showcase : public ffglqs::Effect {
public:
    Showcase() {
        using namespace ffglqs;
        AddParam(ParamRange::Create("brightness", 1.0f, {0.0f, 2.0f}));
        AddParam(ParamRange::CreateInteger("levels", 0, {0.0f, 16.0f}));
        AddParam(ParamOption::Create("channel", {{"All", 0.0f}, {"Red", 1.0f}, {"Green", 2.0f}, {"Blue", 3.0f}}));
        AddParam(ParamBool::Create("invert", false));
        AddParam(ParamEvent::Create("showTint"));
        AddParam(ParamTrigger::Create("flash"));
        AddRGBColorParam("tint");
        AddHueColorParam("overlay");
        AddParam(ParamText::create("caption", "Tessivar"));

        SetFragmentShader(R"GLSL(
void main()
{
	vec4 c = texture( inputTexture, i_uv );
	vec3 rgb = c.rgb * brightness;
	if( levels >= 1.0 )
		rgb = floor( rgb * levels + 0.5 ) / levels;
	if( channel >= 0.5 )
		rgb *= vec3( channel < 1.5, channel >= 1.5 && channel < 2.5, channel >= 2.5 );
	rgb *= tint * 2.0;
	rgb = mix( rgb, rgb * overlay.rgb, overlay.a );
	if( invert )
		rgb = 1.0 - rgb;
	if( showTint )
		rgb = tint;
	if( flash )
		rgb = vec3( 1.0 );
	fragColor = vec4( clamp( rgb, 0.0, 1.0 ), c.a );
}
)GLSL");
    }
};

}  // namespace

static CFFGLPluginInfo PluginInfo(PluginFactory<Showcase>, "TQSE", "QS Showcase", 2, 1, 1, 0, FF_EFFECT,
                                  "Quick-start example using every parameter kind", "Tessivar examples");
