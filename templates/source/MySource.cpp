// MySource -- no input: bands of a colour drifting with the host's time, as
// bright as the host's audio is loud. A starting point for a source of your
// own: rename it, give it an ID of its own (at the end of this file), change
// the parameters and the shader.
#include "quickstart/FFGLQuickstart.h"

namespace {

class MySource : public ffglqs::Source {
public:
    MySource() {
        using namespace ffglqs;
        // The host's audio spectrum, bin by bin; it becomes no uniform, but
        // its analyser gives levels (volume, bass, mid, high) to Update.
        fft = ParamFFT::Create("fft");
        AddParam(fft);
        audioParams.at(fft).SetGain(0.0f);  // 0 dB; the levels stay 0 until a gain is set
        // Each other parameter is also the shader's uniform of the same name,
        // so a name must be a GLSL identifier that is no GLSL keyword and none
        // of the kit's own uniforms (time, resolution, ...). Hosts show at
        // most 16 characters of it.
        AddRGBColorParam("colour");  // one vec3; the host sees three parameters
        AddParam(ParamRange::CreateInteger("bands", 6, {1.0f, 32.0f}));
        AddParam(ParamRange::Create("speed", 0.25f, {-2.0f, 2.0f}));

        // The kit puts its own declarations in front of this code. "#line 1"
        // makes the compiler count lines from the one after it, so an error
        // on line 5 of this shader is reported as line 5 (Mesa: "0:5(...)").
        SetFragmentShader(R"GLSL(
#line 1
uniform float loudness;  // set by Update below, not a parameter

void main()
{
	float wave = 0.5 + 0.5 * sin( 6.2831853 * ( i_uv.x * bands - time * speed ) );
	float light = mix( 0.5, 1.0, loudness );  // silence leaves half
	// A source covers the whole picture: opaque.
	fragColor = vec4( colour * wave * light, 1.0 );
}
)GLSL");
    }

    // Every frame, before drawing, with the shader bound.
    void Update() override {
        float volume = audioParams.at(fft).GetVolume();
        shader.Set("loudness", ffglqs::Audio::ToDB(volume));  // -96..0 dB as 0..1
    }

private:
    std::shared_ptr<ffglqs::ParamFFT> fft;
};

}  // namespace

// The module's one information record: the factory, a unique 4-character ID,
// the name hosts show (up to 16 characters), the FFGL API version (2.1), the
// plugin's own version (1.0), its type, a description and an about text.
static CFFGLPluginInfo PluginInfo(PluginFactory<MySource>, "MySr", "My Source", 2, 1, 1, 0, FF_SOURCE,
                                  "Bands of colour, as bright as the audio is loud", "Made with the Tessivar kit");
