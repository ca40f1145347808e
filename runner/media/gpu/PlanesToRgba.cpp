#include "runner/media/gpu/PlanesToRgba.h"

#include "gl/GLIncludes.h"

#include <memory>

namespace tessivar::gpu {
namespace {

// Where an upright pixel lies in the stored picture: the picture is stood
// upright by `turns` quarter turns clockwise, and the target's rows go
// bottom-up while the planes' go top row first.
// (TURNS, SUBSAMPLED and HAS_ALPHA are compiled in: a software renderer
// runs every branch of a shader for every pixel, uniform or not.)
const char* kStoredPixel = R"(
uniform ivec2 size;  // of the stored picture
ivec2 storedPixel() {
    ivec2 f = ivec2(gl_FragCoord.xy);
    ivec2 u = ivec2(f.x, ((TURNS & 1) == 1 ? size.x : size.y) - 1 - f.y);
#if TURNS == 1
    return ivec2(u.y, size.y - 1 - u.x);
#elif TURNS == 2
    return size - 1 - u;
#elif TURNS == 3
    return ivec2(size.x - 1 - u.y, u.x);
#else
    return u;
#endif
}
)";

const char* kPlanarFragment = R"(
uniform sampler2D plane0;
uniform sampler2D plane1;
uniform sampler2D plane2;
uniform sampler2D plane3;
uniform vec2 chromaStep;  // one pixel, in chroma texture coordinates
uniform mat3 toRgb;
uniform vec3 scale;
uniform vec3 bias;
uniform float alphaScale;
out vec4 colour;
void main() {
    ivec2 p = storedPixel();
    vec3 code;
    code.x = texelFetch(plane0, p, 0).r;
#if SUBSAMPLED
    // Each chroma sample sits at the centre of the pixels it covers.
    vec2 c = (vec2(p) + 0.5) * chromaStep;
    code.y = texture(plane1, c).r;
    code.z = texture(plane2, c).r;
#else
    code.y = texelFetch(plane1, p, 0).r;
    code.z = texelFetch(plane2, p, 0).r;
#endif
    vec3 rgb = toRgb * (code * scale + bias);
#if HAS_ALPHA
    float a = texelFetch(plane3, p, 0).r * alphaScale;
#else
    float a = 1.0;
#endif
    colour = clamp(vec4(rgb, a), 0.0, 1.0);
}
)";

const char* kPackedFragment = R"(
uniform sampler2D plane0;
out vec4 colour;
void main() { colour = texelFetch(plane0, storedPixel(), 0); }
)";

std::string source(const char* body, int turns, bool subsampled, bool alpha) {
    return "#version 410 core\n#define TURNS " + std::to_string(turns) + "\n#define SUBSAMPLED " +
           (subsampled ? "1" : "0") + "\n#define HAS_ALPHA " + (alpha ? "1" : "0") + "\n" + kStoredPixel + body;
}

// Which compiled variant a picture takes.
int variantOf(bool planar, int turns, bool subsampled, bool alpha) {
    return (planar ? 16 : 0) | (turns << 2) | (subsampled ? 2 : 0) | (alpha ? 1 : 0);
}

}  // namespace

PlanesToRgba::~PlanesToRgba() { Release(); }

// The variant for a picture, compiled at its first use; null with the
// reason when it does not compile.
const GLProgram* PlanesToRgba::ProgramFor(const PixelLayout& layout, int turns, std::string& error) {
    const bool isPlanar = layout.Planar(), subsampled = isPlanar && layout.Subsampled();
    const bool alpha = isPlanar && layout.alpha;
    std::unique_ptr<GLProgram>& program = programs[variantOf(isPlanar, turns, subsampled, alpha)];
    if (program) return program.get();
    auto made = std::make_unique<GLProgram>();
    const std::string fragment = source(isPlanar ? kPlanarFragment : kPackedFragment, turns, subsampled, alpha);
    if (!made->Create(GLProgram::FullScreenVertex(), fragment,
                      isPlanar ? "the planes to RGBA shader" : "the RGBA copy shader", error))
        return nullptr;
    glUseProgram(made->Name());
    const char* samplers[4] = {"plane0", "plane1", "plane2", "plane3"};
    for (int i = 0; i < (isPlanar ? 4 : 1); ++i) glUniform1i(made->Uniform(samplers[i]), i);
    glUseProgram(0);
    program = std::move(made);
    return program.get();
}

bool PlanesToRgba::Create(std::string& error) {
    // The common variants now, so a GL that compiles none fails here.
    PixelLayout yuv420, rgba;
    rgba.kind = PixelLayout::Kind::Rgba;
    if (!ProgramFor(yuv420, 0, error) || !ProgramFor(rgba, 0, error)) return false;
    glGenFramebuffers(1, &framebuffer);
    return true;
}

void PlanesToRgba::Release() {
    programs.clear();
    for (unsigned& t : planeTextures) {
        if (t) glDeleteTextures(1, &t);
        t = 0;
    }
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    framebuffer = 0;
    currentWidth = currentHeight = 0;
}

// Plane textures of the layout's sizes, made again only when it changes.
bool PlanesToRgba::Prepare(const PixelLayout& layout, int width, int height, std::string& error) {
    if (!layout.Planar() && layout.Wide()) {
        error = "packed RGBA pictures of more than 8 bits are converted on the CPU";
        return false;
    }
    const bool same = width == currentWidth && height == currentHeight && layout.kind == current.kind &&
                      layout.Wide() == current.Wide() && layout.alpha == current.alpha &&
                      layout.chromaShiftX == current.chromaShiftX && layout.chromaShiftY == current.chromaShiftY;
    if (same) return true;
    for (int i = 0; i < 4; ++i) {
        if (planeTextures[i]) glDeleteTextures(1, &planeTextures[i]);
        planeTextures[i] = 0;
    }
    for (int i = 0; i < layout.Planes(); ++i) {
        glGenTextures(1, &planeTextures[i]);
        glBindTexture(GL_TEXTURE_2D, planeTextures[i]);
        const bool packedPlane = !layout.Planar();
        const GLenum internal = packedPlane ? GL_RGBA8 : layout.Wide() ? GL_R16 : GL_R8;
        const GLenum format = packedPlane ? GL_RGBA : GL_RED;
        const GLenum type = layout.Wide() ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE;
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(internal), layout.PlaneWidth(i, width), layout.PlaneHeight(i, height), 0,
                     format, type, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    current = layout;
    currentWidth = width;
    currentHeight = height;
    return true;
}

void PlanesToRgba::Upload(const PixelLayout& layout, const PlanePointers& planes, int width, int height) const {
    const bool packedPlane = !layout.Planar();
    const int bytes = layout.BytesPerSample();
    const GLenum format = layout.kind == PixelLayout::Kind::Bgra ? GL_BGRA : packedPlane ? GL_RGBA : GL_RED;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < layout.Planes(); ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, planeTextures[i]);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, planes.linesize[size_t(i)] / bytes);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, layout.PlaneWidth(i, width), layout.PlaneHeight(i, height), format,
                        layout.Wide() ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE, planes.data[size_t(i)]);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void PlanesToRgba::SetUniforms(const GLProgram& program, const PixelLayout& layout, int width, int height) const {
    glUseProgram(program.Name());
    glUniform2i(program.Uniform("size"), width, height);
    if (!layout.Planar()) return;
    const YuvCoefficients c = Coefficients(layout);
    glUniform2f(program.Uniform("chromaStep"), 1.0f / float((1 << layout.chromaShiftX) * layout.PlaneWidth(1, width)),
                1.0f / float((1 << layout.chromaShiftY) * layout.PlaneHeight(1, height)));
    glUniformMatrix3fv(program.Uniform("toRgb"), 1, GL_FALSE, c.toRgb.data());
    glUniform3fv(program.Uniform("scale"), 1, c.scale.data());
    glUniform3fv(program.Uniform("bias"), 1, c.bias.data());
    glUniform1f(program.Uniform("alphaScale"), c.alphaScale);
}

bool PlanesToRgba::Convert(const PixelLayout& layout, const PlanePointers& planes, int width, int height, int turns,
                           unsigned texture, std::string& error) {
    const int bytes = layout.BytesPerSample();
    for (int i = 0; i < layout.Planes(); ++i) {
        const int stride = planes.linesize[size_t(i)];
        if (!planes.data[size_t(i)] || stride < layout.PlaneWidth(i, width) * bytes || stride % bytes != 0) {
            error = "plane " + std::to_string(i) + " of a " + layout.Describe() +
                    " picture has a row stride the GL cannot read (" + std::to_string(stride) + " bytes)";
            return false;
        }
    }
    turns &= 3;
    const GLProgram* program = ProgramFor(layout, turns, error);
    if (!program || !Prepare(layout, width, height, error)) return false;
    Upload(layout, planes, width, height);
    SetUniforms(*program, layout, width, height);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    if (turns & 1)
        glViewport(0, 0, height, width);
    else
        glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    program->DrawFullScreen();
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    glUseProgram(0);
    for (int i = layout.Planes() - 1; i >= 0; --i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    return true;
}

}  // namespace tessivar::gpu
