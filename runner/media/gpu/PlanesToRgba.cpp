#include "runner/media/gpu/PlanesToRgba.h"

#include "gl/GLIncludes.h"

namespace tessivar::gpu {
namespace {

const char* kYuvFragment = R"(#version 410 core
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform sampler2D planeA;
uniform int height;
uniform vec2 chromaStep;  // one pixel, in chroma texture coordinates
uniform bool subsampled;
uniform bool hasAlpha;
uniform mat3 toRgb;
uniform vec3 scale;
uniform vec3 bias;
uniform float alphaScale;
out vec4 colour;
void main() {
    // The target's rows go bottom-up, the planes' top row first.
    ivec2 p = ivec2(gl_FragCoord.xy);
    p.y = height - 1 - p.y;
    vec3 code;
    code.x = texelFetch(planeY, p, 0).r;
    if (subsampled) {
        // Each chroma sample sits at the centre of the pixels it covers.
        vec2 c = (vec2(p) + 0.5) * chromaStep;
        code.y = texture(planeU, c).r;
        code.z = texture(planeV, c).r;
    } else {
        code.y = texelFetch(planeU, p, 0).r;
        code.z = texelFetch(planeV, p, 0).r;
    }
    vec3 rgb = toRgb * (code * scale + bias);
    float a = hasAlpha ? texelFetch(planeA, p, 0).r * alphaScale : 1.0;
    colour = clamp(vec4(rgb, a), 0.0, 1.0);
}
)";

const char* kPackedFragment = R"(#version 410 core
uniform sampler2D picture;
uniform int height;
out vec4 colour;
void main() {
    ivec2 p = ivec2(gl_FragCoord.xy);
    colour = texelFetch(picture, ivec2(p.x, height - 1 - p.y), 0);
}
)";

}  // namespace

PlanesToRgba::~PlanesToRgba() { Release(); }

bool PlanesToRgba::Create(std::string& error) {
    if (!yuv.Create(GLProgram::FullScreenVertex(), kYuvFragment, "the Y'CbCr to RGBA shader", error) ||
        !packed.Create(GLProgram::FullScreenVertex(), kPackedFragment, "the RGBA copy shader", error))
        return false;
    glUseProgram(yuv.Name());
    const char* samplers[4] = {"planeY", "planeU", "planeV", "planeA"};
    for (int i = 0; i < 4; ++i) glUniform1i(yuv.Uniform(samplers[i]), i);
    glUseProgram(packed.Name());
    glUniform1i(packed.Uniform("picture"), 0);
    glUseProgram(0);
    glGenFramebuffers(1, &framebuffer);
    return true;
}

void PlanesToRgba::Release() {
    yuv.Release();
    packed.Release();
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
    if (layout.kind != PixelLayout::Kind::Yuv && layout.Wide()) {
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
        const bool packedPlane = layout.kind != PixelLayout::Kind::Yuv;
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
    const bool packedPlane = layout.kind != PixelLayout::Kind::Yuv;
    const int bytes = packedPlane ? 4 : layout.BytesPerSample();
    const GLenum format = layout.kind == PixelLayout::Kind::Bgra ? GL_BGRA
                          : packedPlane                          ? GL_RGBA
                                                                 : GL_RED;
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

void PlanesToRgba::SetUniforms(const PixelLayout& layout, int width, int height) const {
    if (layout.kind != PixelLayout::Kind::Yuv) {
        glUseProgram(packed.Name());
        glUniform1i(packed.Uniform("height"), height);
        return;
    }
    const YuvCoefficients c = Coefficients(layout);
    glUseProgram(yuv.Name());
    glUniform1i(yuv.Uniform("height"), height);
    const bool subsampled = layout.chromaShiftX != 0 || layout.chromaShiftY != 0;
    glUniform1i(yuv.Uniform("subsampled"), subsampled ? 1 : 0);
    glUniform2f(yuv.Uniform("chromaStep"), 1.0f / float((1 << layout.chromaShiftX) * layout.PlaneWidth(1, width)),
                1.0f / float((1 << layout.chromaShiftY) * layout.PlaneHeight(1, height)));
    glUniform1i(yuv.Uniform("hasAlpha"), layout.alpha ? 1 : 0);
    glUniformMatrix3fv(yuv.Uniform("toRgb"), 1, GL_FALSE, c.toRgb.data());
    glUniform3fv(yuv.Uniform("scale"), 1, c.scale.data());
    glUniform3fv(yuv.Uniform("bias"), 1, c.bias.data());
    glUniform1f(yuv.Uniform("alphaScale"), c.alphaScale);
}

bool PlanesToRgba::Convert(const PixelLayout& layout, const PlanePointers& planes, int width, int height,
                           unsigned texture, std::string& error) {
    const int bytes = layout.kind != PixelLayout::Kind::Yuv ? 4 : layout.BytesPerSample();
    for (int i = 0; i < layout.Planes(); ++i) {
        const int stride = planes.linesize[size_t(i)];
        if (!planes.data[size_t(i)] || stride < layout.PlaneWidth(i, width) * bytes || stride % bytes != 0) {
            error = "plane " + std::to_string(i) + " of a " + layout.Describe() +
                    " picture has a row stride the GL cannot read (" + std::to_string(stride) + " bytes)";
            return false;
        }
    }
    if (!Prepare(layout, width, height, error)) return false;
    Upload(layout, planes, width, height);
    SetUniforms(layout, width, height);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    (layout.kind == PixelLayout::Kind::Yuv ? yuv : packed).DrawFullScreen();
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
