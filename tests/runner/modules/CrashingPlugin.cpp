// CrashingPlugin -- a quick-start effect with a plugin author's slip: its
// Update reads a parameter by a misspelt name ("amout"), which gives an empty
// pointer, and calls through it every frame.
//   crash  option: "null pointer" (default) the slip above; "abort":
//          std::abort in Update, as a failed assertion does; "never": a
//          working effect
#include "quickstart/FFGLQuickstart.h"

#include <cstdlib>

namespace {

class Crashing : public ffglqs::Effect {
public:
    Crashing() {
        using namespace ffglqs;
        AddParam(ParamRange::Create("amount", 0.5f, {0.0f, 1.0f}));
        crash = ParamOption::Create("crash", {{"null pointer", 0.0f}, {"abort", 1.0f}, {"never", 2.0f}});
        AddParam(crash);
        SetFragmentShader(R"GLSL(
void main()
{
	fragColor = texture( inputTexture, i_uv ) * amount;
}
)GLSL");
    }

    // (Past UndefinedBehaviorSanitizer, which would stop at the call itself:
    // the crash is what this module is for.)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((no_sanitize("undefined")))
#endif
    void
    Update() override {
        if (crash->IsCurrentOption("null pointer"))
            shader.Set("amount", GetParam("amout")->GetValue());
        else if (crash->IsCurrentOption("abort"))
            std::abort();
    }

private:
    std::shared_ptr<ffglqs::ParamOption> crash;
};

}  // namespace

static CFFGLPluginInfo PluginInfo(PluginFactory<Crashing>, "TCRA", "Crashing", 2, 1, 1, 0, FF_EFFECT,
                                  "Test module: crashes in Update", "Tessivar tests");
