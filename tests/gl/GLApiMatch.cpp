// Our GL header (gl/GLApi.h) after Khronos' <GL/glcorearb.h>: declaring the
// same type or enum twice is allowed, a different one does not compile (a
// redefined macro is a warning, and warnings are errors). So this file
// building is the check that modules, which see only our header, call each
// function with the driver's signature and pass the driver's enum values.
#if defined(_WIN32)
#define NOMINMAX 1
#define WIN32_LEAN_AND_MEAN 1
#include <windows.h>  // APIENTRY, which glcorearb.h takes from it there
#endif
#include <GL/glcorearb.h>

#include "gl/GLApi.h"

namespace {
// One use of each kind, so the declarations are not just parsed past.
[[maybe_unused]] const PFNGLSHADERSOURCEPROC kShaderSource = nullptr;
static_assert(GL_TEXTURE_2D == 0x0DE1, "an enum of our header");
}  // namespace
