// FFGLQuickstartPlugin -- ffglqs::Plugin, the base of quick-start plugins.
//
// A quick-start plugin derives from Effect, Mixer or Source (which derive from
// this class), and in its constructor adds parameters, sets its fragment code
// and includes snippets:
//
//     class Tint : public ffglqs::Effect {
//     public:
//         Tint() {
//             AddParam(ffglqs::ParamRange::Create("amount", 0.5f, { 0.0f, 1.0f }));
//             AddRGBColorParam("tint");
//             SetFragmentShader(R"(
//                 void main() {
//                     vec4 c = texture( inputTexture, i_uv );
//                     fragColor = vec4( mix( c.rgb, tint, amount ), c.a );
//                 })");
//         }
//     };
//
// Everything else is done here: each parameter is registered with the host
// in the order it was added (its position is its FFGL index), declared as a
// uniform of the same name in the generated fragment shader (colour groups as
// one vec3 / vec4, bool and event types as bool, FFT buffers not at all,
// everything else float), and uploaded every frame together with the standard
// uniforms time, deltaTime, frame, resolution, bpm and phase. FFT parameters
// feed an Audio each (audioParams[fft].GetBass() ...; its gain starts at 0,
// so call SetGain). Triggers are reset to 0 after every frame.
//
// Hooks: Init (after the shader and quad exist), Update (every frame before
// Render, program bound), Render (default: draw the quad), Clean (from
// DeInitGL). Parameters must be added before InitGL: the shader is generated
// once, there.
#pragma once

#include "gl/FFGLScreenQuad.h"
#include "gl/FFGLShader.h"
#include "host/FFGLPlugin.h"
#include "quickstart/FFGLAudio.h"
#include "quickstart/FFGLParams.h"
#include "quickstart/FFGLRandom.h"
#include "quickstart/FFGLShaderBuilder.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>

namespace ffglqs {

class Plugin : public CFFGLPlugin {
public:
    explicit Plugin(bool supportTopLeftTextureOrientation);
    ~Plugin() override;

    // ---- host-facing ------------------------------------------------------------
    // Generates and compiles the shader, makes the quad, calls Init.
    FFResult InitGL(const FFGLViewportStruct* viewport) override;
    // Releases the shader and quad, calls Clean. FF_SUCCESS.
    FFResult DeInitGL() override;
    // The value as "%f", always zero-terminated; FF_FAIL for text, file and unknown indices.
    char* GetParameterDisplay(unsigned int index) override;
    // The parameter's SetValue (an option selects by index); FF_FAIL past the end.
    FFResult SetFloatParameter(unsigned int index, float value) override;
    // Text parameters only (null stores ""); FF_FAIL otherwise.
    FFResult SetTextParameter(unsigned int index, const char* value) override;
    // The parameter's GetValue; 0 past the end.
    float GetFloatParameter(unsigned int index) override;
    // Text parameters only; FF_FAIL in place of the pointer otherwise.
    char* GetTextParameter(unsigned int index) override;
    // Clock and audio, uniforms, Update, Render, triggers reset; Render's result.
    FFResult ProcessOpenGL(ProcessOpenGLStruct* process) override;
    // Keeps the rate and hands it to every analyser.
    void SetSampleRate(unsigned int rate) override;

    // ---- hooks for concrete plugins ---------------------------------------------
    virtual FFResult Init();
    virtual void Update();
    virtual FFResult Render(ProcessOpenGLStruct* process);
    virtual void Clean();

    // ---- building the plugin (constructor time) ---------------------------------
    // Empty pointers are ignored. The overload is chosen by the pointer's
    // static type: a range passed as a plain Param gets no range, and so on.
    void AddParam(std::shared_ptr<Param> param);
    void AddParam(std::shared_ptr<ParamRange> param);
    void AddParam(std::shared_ptr<ParamOption> param);
    void AddParam(std::shared_ptr<ParamFFT> param);
    // name (hue), name_saturation, name_brighthness, name_alpha: one vec4 uniform.
    void AddHueColorParam(const std::string& name);
    // name (red), name_green, name_blue: one vec3 uniform.
    void AddRGBColorParam(const std::string& name);

    std::shared_ptr<Param> GetParam(const std::string& name) const;
    std::shared_ptr<ParamOption> GetParamOption(const std::string& name) const;
    std::shared_ptr<ParamText> GetParamText(const std::string& name) const;

    void SetFragmentShader(std::string code) { fragmentShaderCode = std::move(code); }
    void Include(shader::snippet_id id) { IncludeSnippet(includedSnippets, id); }
    void Include(const std::set<shader::snippet_id>& ids);

    // The complete fragment source for `code`: header, the variant's inputs,
    // uniform declarations, included snippets, code.
    std::string CreateFragmentShader(const std::string& code) const;
    bool IsRGBColor(int position) const;
    bool IsHueColor(int position) const;

protected:
    void UpdateAudioAndTime();
    void SendDefaultParams(ffglex::FFGLShader& program);
    void SendParams(ffglex::FFGLShader& program);
    void consumeAllTrigger();  // (lower case among the operations: the framework's own name, kept)

    std::string fragmentShaderCode;
    ParamList params;
    std::map<std::shared_ptr<ParamFFT>, Audio> audioParams;
    ffglex::FFGLShader shader;
    ffglex::FFGLScreenQuad quad;
    float time = 0.0f;
    float deltaTime = 0.0f;
    float lastTime = 0.0f;
    int frame = 0;
    std::chrono::steady_clock::time_point startTime;
    Random random;
    SnippetSet includedSnippets;
    std::string fragmentShaderBase;
    std::string vertexShaderCode;

    // Shared by every instance: valid until the next display request.
    static char displayValueBuffer[16];

private:
    Param* At(unsigned int index) const { return index < params.size() ? params[index].get() : nullptr; }
};

}  // namespace ffglqs
