#include "effect/HostTarget.h"

#include "gl/FFGLToolkit.h"

#include <algorithm>
#include <cmath>

namespace tessivar {

namespace {

// State under which a transparent black fragment can do more than colour
// attachment 0 shows, or nothing at all.
bool drawOnlyState() {
    static const GLenum kCapabilities[] = {
        GL_DEPTH_TEST,      GL_STENCIL_TEST,   GL_COLOR_LOGIC_OP,           GL_RASTERIZER_DISCARD,
        GL_CULL_FACE,       GL_POLYGON_SMOOTH, GL_SAMPLE_ALPHA_TO_COVERAGE, GL_SAMPLE_ALPHA_TO_ONE,
        GL_SAMPLE_COVERAGE, GL_SAMPLE_MASK,
    };
    for (const GLenum capability : kCapabilities)
        if (glIsEnabled(capability) == GL_TRUE) return true;
    GLint polygonMode[2] = {GL_FILL, GL_FILL};  // front and back
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    return polygonMode[0] != GL_FILL || polygonMode[1] != GL_FILL;
}

// Blending of draw buffer 0 that leaves the destination as it was when the
// source is (0, 0, 0, 0): source times anything is 0, and the destination
// factor is one for a source alpha and colour of 0.
bool blendingKeepsDestination() {
    if (glIsEnabled(GL_FRAMEBUFFER_SRGB) == GL_TRUE) return false;
    for (const GLenum equation : {GL_BLEND_EQUATION_RGB, GL_BLEND_EQUATION_ALPHA}) {
        GLint value = 0;
        glGetIntegeri_v(equation, 0, &value);
        if (value != GL_FUNC_ADD && value != GL_FUNC_REVERSE_SUBTRACT) return false;
    }
    for (const GLenum factor : {GL_BLEND_DST_RGB, GL_BLEND_DST_ALPHA}) {
        GLint value = 0;
        glGetIntegeri_v(factor, 0, &value);
        if (value != GL_ONE && value != GL_ONE_MINUS_SRC_ALPHA && value != GL_ONE_MINUS_SRC_COLOR) return false;
    }
    return true;
}

}  // namespace

HostTarget HostTarget::Read() {
    HostTarget target;
    glGetIntegerv(GL_VIEWPORT, target.viewport);
    GLfloat viewportExact[4];
    glGetFloatv(GL_VIEWPORT, viewportExact);
    glGetIntegeri_v(GL_SCISSOR_BOX, 0, target.scissorBox);
    target.scissor = glIsEnabledi(GL_SCISSOR_TEST, 0) == GL_TRUE;

    // A fractional viewport's edges pass through pixels; the rounding outward
    // keeps every pixel it touches, and the quad's own edges decide the rest.
    const double x = double(viewportExact[0]), y = double(viewportExact[1]);
    const double right = x + double(viewportExact[2]), top = y + double(viewportExact[3]);
    const double edges[4] = {std::floor(x), std::floor(y), std::ceil(right), std::ceil(top)};
    const bool whole = edges[0] == x && edges[1] == y && edges[2] == right && edges[3] == top;
    PixelRect& a = target.area;
    a = {int(edges[0]), int(edges[1]), int(edges[2]), int(edges[3])};
    if (target.scissor) {
        const int* box = target.scissorBox;
        a = {std::max(a.x0, box[0]), std::max(a.y0, box[1]), std::min(a.x1, box[0] + box[2]),
             std::min(a.y1, box[1] + box[3])};
    }

    if (!whole || drawOnlyState())
        target.outside = Outside::Draw;
    else if (glIsEnabledi(GL_BLEND, 0) != GL_TRUE)
        target.outside = Outside::Clear;
    else
        target.outside = blendingKeepsDestination() ? Outside::Keep : Outside::Draw;
    return target;
}

}  // namespace tessivar
