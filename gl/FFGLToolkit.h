// FFGLToolkit -- the GL toolkit in one include (namespace ffglex).
//
//   FFGLShader          a program compiled and linked from GLSL sources
//   FFGLScreenQuad      the full-screen quad (vPosition at 0, vUV at 1)
//   Scoped...Binding    bind now, bind 0 at the end of the scope
//   FFGLFBO             an off-screen colour + depth target
//   FFGLUtilities       Log, npot, HSVtoRGB, random, clamp, map, ReplaceAll
//
// GL objects are plain members of their owner, created empty, filled while
// the host's context is current (InitGL) and emptied explicitly
// (FreeGLResources / Release) in DeInitGL. Failures return false; nothing
// here throws except on allocation failure.
#pragma once

#include "gl/FFGLFBO.h"
#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLScreenQuad.h"
#include "gl/FFGLShader.h"
#include "gl/FFGLUtilities.h"
