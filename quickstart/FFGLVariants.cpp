#include "quickstart/FFGLVariants.h"

#include "gl/FFGLScopedBindings.h"

namespace ffglqs {

namespace {

const char* const kEffectVertexShader =
    "\n\t\t#version 410 core\n\t\tuniform vec2 maxUV;\n\n\t\tlayout( location = 0 ) in vec4 vPosition;\n\t\tlayout( "
    "location = 1 ) in vec2 vUV;\n\n\t\tout vec2 i_uv;\n\n\t\tvoid main()\n\t\t{\n\t\t\tgl_Position = "
    "vPosition;\n\t\t\ti_uv = vUV * maxUV;\n\t\t}\n\t";

const char* const kMixerVertexShader =
    "#version 410 core\n\t\tuniform vec2 maxUVDest;\n\t\tuniform vec2 maxUVSrc;\n\n\t\tlayout( location = 0 ) in vec4 "
    "vPosition;\n\t\tlayout( location = 1 ) in vec2 vUV;\n\n\t\tout vec2 i_uv_dest;\n\t\tout vec2 "
    "i_uv_src;\n\n\t\tvoid main()\n\t\t{\n\t\t\tgl_Position = vPosition;\n\t\t\ti_uv_dest = vUV * "
    "maxUVDest;\n\t\t\ti_uv_src = vUV * maxUVSrc;\n\t\t}\n\t";

const char* const kSourceVertexShader =
    "\n\t\t#version 410 core\n\t\tlayout( location = 0 ) in vec4 vPosition;\n\t\tlayout( location = 1 ) in vec2 "
    "vUV;\n\n\t\tout vec2 i_uv;\n\n\t\tvoid main()\n\t\t{\n\t\t\tgl_Position = vPosition;\n\t\t\ti_uv = vUV;\n\t\t}\n\t";

const char* const kEffectInputs = "\n\t\tin vec2 i_uv;\n\t\tuniform sampler2D inputTexture;\n\t";
const char* const kMixerInputs =
    "\n\t\tuniform sampler2D textureDest;\n\t\tuniform sampler2D textureSrc;\n\n\t\tin vec2 i_uv_dest;\n\t\tin vec2 "
    "i_uv_src;\n\t";
const char* const kSourceInputs = "\n\t\tin vec2 i_uv;\n\t";

// The part of the host texture that holds the image. A texture that reports
// no hardware size is taken as exactly the image.
void SetUsedFraction(ffglex::FFGLShader& shader, const char* uniform, const FFGLTextureStruct& texture) {
    const float u = texture.HardwareWidth ? float(texture.Width) / float(texture.HardwareWidth) : 1.0f;
    const float v = texture.HardwareHeight ? float(texture.Height) / float(texture.HardwareHeight) : 1.0f;
    shader.Set(uniform, u, v);
}

bool HasInputs(const ProcessOpenGLStruct* process, unsigned int count) {
    if (!process || process->numInputTextures < count || !process->inputTextures) return false;
    for (unsigned int i = 0; i < count; ++i)
        if (!process->inputTextures[i]) return false;
    return true;
}

}  // namespace

// ---- Effect ------------------------------------------------------------------------

Effect::Effect(bool supportTopLeftTextureOrientation) : Plugin(supportTopLeftTextureOrientation) {
    SetMinInputs(1);
    SetMaxInputs(1);
    fragmentShaderBase += kEffectInputs;
    vertexShaderCode = kEffectVertexShader;
}

Effect::~Effect() = default;

FFResult Effect::Render(ProcessOpenGLStruct* process) {
    if (!HasInputs(process, 1)) return FF_FAIL;
    const FFGLTextureStruct& input = *process->inputTextures[0];
    ffglex::ScopedShaderBinding bind(shader.GetGLID());
    ffglex::ScopedSamplerActivation unit(0);
    ffglex::Scoped2DTextureBinding texture(input.Handle);
    shader.Set("inputTexture", 0);
    SetUsedFraction(shader, "maxUV", input);
    quad.Draw();
    return FF_SUCCESS;
}

// ---- Mixer -------------------------------------------------------------------------

Mixer::Mixer(bool supportTopLeftTextureOrientation) : Plugin(supportTopLeftTextureOrientation) {
    SetMinInputs(2);
    SetMaxInputs(2);
    fragmentShaderBase += kMixerInputs;
    vertexShaderCode = kMixerVertexShader;
    AddParam(Param::Create("mixVal", FF_TYPE_STANDARD, 0.0f));
}

Mixer::~Mixer() = default;

FFResult Mixer::Render(ProcessOpenGLStruct* process) {
    if (!HasInputs(process, 2)) return FF_FAIL;
    const FFGLTextureStruct& dest = *process->inputTextures[0];
    const FFGLTextureStruct& src = *process->inputTextures[1];
    ffglex::ScopedShaderBinding bind(shader.GetGLID());
    ffglex::ScopedSamplerActivation unit0(0);
    ffglex::Scoped2DTextureBinding texture0(dest.Handle);
    ffglex::ScopedSamplerActivation unit1(1);
    ffglex::Scoped2DTextureBinding texture1(src.Handle);
    shader.Set("textureDest", 0);
    SetUsedFraction(shader, "maxUVDest", dest);
    shader.Set("textureSrc", 1);
    SetUsedFraction(shader, "maxUVSrc", src);
    quad.Draw();
    return FF_SUCCESS;
}

// ---- Source ------------------------------------------------------------------------

Source::Source(bool supportTopLeftTextureOrientation) : Plugin(supportTopLeftTextureOrientation) {
    SetMinInputs(0);
    SetMaxInputs(0);
    fragmentShaderBase += kSourceInputs;
    vertexShaderCode = kSourceVertexShader;
}

Source::~Source() = default;

}  // namespace ffglqs
