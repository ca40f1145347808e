// FFGLVariants -- the three kinds of quick-start plugin.
//
//     Effect  one input:  sampler2D inputTexture, in vec2 i_uv
//     Mixer   two inputs: sampler2D textureDest / textureSrc,
//                         in vec2 i_uv_dest / i_uv_src;
//                         parameter 0 is the built-in float "mixVal"
//     Source  no input:   in vec2 i_uv (0..1 over the output)
//
// Each fixes the host's input counts, its vertex shader and the declarations
// that precede the generated uniforms. The texture coordinates are scaled by
// the used part of each input (maxUV...), so fragment code samples only the
// image, never the padding of a larger host texture. Render refuses
// (FF_FAIL, nothing drawn) a frame without the inputs it needs.
#pragma once

#include "quickstart/FFGLQuickstartPlugin.h"

namespace ffglqs {

class Effect : public Plugin {
public:
    explicit Effect(bool supportTopLeftTextureOrientation = false);
    ~Effect() override;

    FFResult Render(ProcessOpenGLStruct* process) override;
};

class Mixer : public Plugin {
public:
    explicit Mixer(bool supportTopLeftTextureOrientation = false);
    ~Mixer() override;

    FFResult Render(ProcessOpenGLStruct* process) override;
};

class Source : public Plugin {
public:
    explicit Source(bool supportTopLeftTextureOrientation = false);
    ~Source() override;
};

}  // namespace ffglqs
