// Noise -- a quick-start source: fractal noise with a little per-pixel grain,
// as bright as the bass of the host's audio spectrum ("fft"). Silence is black.
//
//     fft    audio spectrum; its bass level (unity gain) on a -96..0 dB scale
//            sets the brightness, so a single low tone, which fills one bin of
//            hundreds, lights the picture as a listener would expect
//     scale  range 1..32: noise features per output height
//     grain  0..1: how much per-pixel random grain is mixed in
#include "quickstart/FFGLQuickstart.h"

namespace {

class Noise : public ffglqs::Source {
public:
    Noise() {
        using namespace ffglqs;
        fft = ParamFFT::Create("fft");
        AddParam(fft);
        audioParams.at(fft).SetGain(0.0f);
        audioParams.at(fft).SetSmoothness(0.5f);
        AddParam(ParamRange::Create("scale", 4.0f, {1.0f, 32.0f}));
        AddParam(Param::Create("grain", 0.1f));
        Include(shader::noise);
        Include(shader::random);

        SetFragmentShader(R"GLSL(
uniform float level;

void main()
{
	vec2 p = i_uv * vec2( resolution.x / max( resolution.y, 1.0 ), 1.0 ) * scale;
	float n = 0.5 + 0.5 * fractal_noise( vec3( p, time * 0.25 ), vec4( 0.5, 0.25, 0.125, 0.0625 ) );
	n = mix( clamp( n, 0.0, 1.0 ), random(), grain );
	fragColor = vec4( vec3( n * level ), 1.0 );
}
)GLSL");
    }

    // The program is bound while Update runs.
    void Update() override { shader.Set("level", ffglqs::Audio::ToDB(audioParams.at(fft).GetBass())); }

private:
    std::shared_ptr<ffglqs::ParamFFT> fft;
};

}  // namespace

static CFFGLPluginInfo PluginInfo(PluginFactory<Noise>, "TQSS", "QS Noise", 2, 1, 1, 0, FF_SOURCE,
                                  "Quick-start example: noise lit by the bass", "Tessivar examples");
