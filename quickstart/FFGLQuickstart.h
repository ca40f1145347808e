// FFGLQuickstart -- everything a quick-start plugin needs, in one include.
//
//     #include "quickstart/FFGLQuickstart.h"
//
//     class Grey : public ffglqs::Effect {
//     public:
//         Grey() {
//             SetFragmentShader(R"(
//                 void main() {
//                     vec4 c = texture( inputTexture, i_uv );
//                     fragColor = vec4( vec3( dot( c.rgb, vec3( 0.299, 0.587, 0.114 ) ) ), c.a );
//                 })");
//         }
//     };
//     static CFFGLPluginInfo PluginInfo(PluginFactory<Grey>, "GREY", "Grey", 2, 1, 1, 0,
//                                       FF_EFFECT, "Greyscale", "Example");
//
// Parameters: FFGLParams.h. Plugin base: FFGLQuickstartPlugin.h. Variants:
// FFGLVariants.h. Audio levels: FFGLAudio.h. GLSL snippets:
// FFGLShaderSnippets.h. CPU random numbers: FFGLRandom.h.
#pragma once

#include "host/FFGLSDK.h"
#include "quickstart/FFGLAudio.h"
#include "quickstart/FFGLParams.h"
#include "quickstart/FFGLQuickstartPlugin.h"
#include "quickstart/FFGLRandom.h"
#include "quickstart/FFGLShaderSnippets.h"
#include "quickstart/FFGLVariants.h"
