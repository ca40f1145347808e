#include "runner/GLFrame.h"

#include "gl/GLIncludes.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace tessivar {

Image To8Bits(const Image& image) {
    if (image.bits != 16) return image;
    Image out(image.width, image.height);
    for (size_t i = 0; i < out.rgba.size(); ++i)
        out.rgba[i] = uint8_t((uint32_t(image.rgba16[i]) * 255 + 32767) / 65535);
    return out;
}

namespace {
// GL's names for an image's depth.
GLenum internalFormat(int bits) { return bits == 16 ? GL_RGBA16 : GL_RGBA8; }
GLenum channelType(int bits) { return bits == 16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE; }

// Rows in the other order: images are top row first, GL bottom row first.
void copyFlipped(const void* from, void* to, size_t rowBytes, uint32_t rows, size_t toStride) {
    for (uint32_t y = 0; y < rows; ++y)
        std::memcpy(static_cast<uint8_t*>(to) + size_t(rows - 1 - y) * toStride,
                    static_cast<const uint8_t*>(from) + size_t(y) * rowBytes, rowBytes);
}
}  // namespace

InputTexture::~InputTexture() { Release(); }

InputTexture::InputTexture(InputTexture&& other) noexcept : desc(other.desc), bits(other.bits) {
    other.desc = FFGLTextureStruct{};
}

InputTexture& InputTexture::operator=(InputTexture&& other) noexcept {
    if (this != &other) {
        Release();
        desc = other.desc;
        bits = other.bits;
        other.desc = FFGLTextureStruct{};
    }
    return *this;
}

bool InputTexture::Create(const Image& image, uint32_t hardwareWidth, uint32_t hardwareHeight, uint32_t padRGBA) {
    Release();
    if (hardwareWidth == 0) hardwareWidth = image.width;
    if (hardwareHeight == 0) hardwareHeight = image.height;
    if (hardwareWidth < image.width || hardwareHeight < image.height) return false;

    // Fill the whole hardware area with the pad colour, then the image on top.
    const size_t pixelBytes = size_t(image.bits / 8) * 4;
    std::vector<uint8_t> pixels(size_t(hardwareWidth) * hardwareHeight * pixelBytes);
    const uint8_t pad[4] = {uint8_t(padRGBA >> 24), uint8_t(padRGBA >> 16), uint8_t(padRGBA >> 8), uint8_t(padRGBA)};
    for (size_t i = 0; i < pixels.size(); i += pixelBytes)
        for (size_t c = 0; c < pixelBytes; ++c) pixels[i + c] = pad[c * 4 / pixelBytes];  // 16 bits: the byte twice
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(pixels.data() + size_t(image.height - 1 - y) * hardwareWidth * pixelBytes,
                    static_cast<const uint8_t*>(image.Data()) + y * image.RowBytes(), image.RowBytes());
    bits = image.bits;

    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) return false;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat(bits)), GLsizei(hardwareWidth), GLsizei(hardwareHeight), 0,
                 GL_RGBA, channelType(bits), pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);

    desc.Width = image.width;
    desc.Height = image.height;
    desc.HardwareWidth = hardwareWidth;
    desc.HardwareHeight = hardwareHeight;
    desc.Handle = name;
    return true;
}

void InputTexture::Upload(const Image& image) {
    if (desc.Handle == 0 || image.width != desc.Width || image.height != desc.Height || image.bits != bits) return;
    std::vector<uint8_t> flipped(image.RowBytes() * image.height);
    copyFlipped(image.Data(), flipped.data(), image.RowBytes(), image.height, image.RowBytes());
    glBindTexture(GL_TEXTURE_2D, desc.Handle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(image.width), GLsizei(image.height), GL_RGBA, channelType(bits),
                    flipped.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

void InputTexture::Release() {
    if (desc.Handle != 0) {
        GLuint name = desc.Handle;
        glDeleteTextures(1, &name);
    }
    desc = FFGLTextureStruct{};
}

RenderTarget::~RenderTarget() { Release(); }

bool RenderTarget::Create(uint32_t w, uint32_t h, int depth) {
    Release();
    bits = depth;
    GLint prevDraw = 0, prevRead = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &prevDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);

    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat(bits)), GLsizei(w), GLsizei(h), 0, GL_RGBA, channelType(bits),
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(prevDraw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(prevRead));
    width = w;
    height = h;
    if (!complete) Release();
    return complete;
}

void RenderTarget::Release() {
    if (fbo) glDeleteFramebuffers(1, &fbo);
    if (texture) glDeleteTextures(1, &texture);
    fbo = texture = 0;
    width = height = 0;
}

void RenderTarget::Bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, GLsizei(width), GLsizei(height));
}

void RenderTarget::Clear(float r, float g, float b, float a) const {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
}

Image RenderTarget::Read() const {
    Image out(width, height, bits);
    if (!fbo) return out;
    GLint prevRead = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> bottomUp(out.RowBytes() * height);
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_RGBA, channelType(bits), bottomUp.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(prevRead));
    copyFlipped(bottomUp.data(), out.Data(), out.RowBytes(), height, out.RowBytes());
    return out;
}

GLStateSnapshot GLStateSnapshot::Capture() {
    GLStateSnapshot s;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &s.drawFramebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &s.readFramebuffer);
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    s.blend = glIsEnabled(GL_BLEND) == GL_TRUE;
    s.scissorTest = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
    glGetIntegerv(GL_SCISSOR_BOX, s.scissorBox);
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
    // Texture on unit 0, read without disturbing the active unit.
    GLint active = s.activeTexture;
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture2DUnit0);
    glActiveTexture(GLenum(active));
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &s.vertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &s.arrayBuffer);
    return s;
}

bool GLStateSnapshot::operator==(const GLStateSnapshot& o) const {
    return drawFramebuffer == o.drawFramebuffer && readFramebuffer == o.readFramebuffer &&
           std::equal(viewport, viewport + 4, o.viewport) && blend == o.blend && scissorTest == o.scissorTest &&
           std::equal(scissorBox, scissorBox + 4, o.scissorBox) && program == o.program &&
           activeTexture == o.activeTexture && texture2DUnit0 == o.texture2DUnit0 && vertexArray == o.vertexArray &&
           arrayBuffer == o.arrayBuffer;
}

std::string GLStateSnapshot::Diff(const GLStateSnapshot& after) const {
    std::ostringstream out;
    const char* joint = "";
    auto field = [&](const char* name, long a, long b) {
        if (a == b) return;
        out << joint << name << ": " << a << " -> " << b;
        joint = ", ";
    };
    field("draw framebuffer", drawFramebuffer, after.drawFramebuffer);
    field("read framebuffer", readFramebuffer, after.readFramebuffer);
    for (int i = 0; i < 4; ++i) field("viewport", viewport[i], after.viewport[i]);
    field("blend", blend, after.blend);
    field("scissor test", scissorTest, after.scissorTest);
    for (int i = 0; i < 4; ++i) field("scissor box", scissorBox[i], after.scissorBox[i]);
    field("program", program, after.program);
    field("active texture unit", activeTexture - GL_TEXTURE0, after.activeTexture - GL_TEXTURE0);
    field("texture 2D on unit 0", texture2DUnit0, after.texture2DUnit0);
    field("vertex array", vertexArray, after.vertexArray);
    field("array buffer", arrayBuffer, after.arrayBuffer);
    return out.str();
}

unsigned DrainGLErrors() {
    unsigned n = 0;
    while (glGetError() != GL_NO_ERROR && n < 64) ++n;
    return n;
}

GLStateWatch::GLStateWatch() {
    DrainGLErrors();
    before = GLStateSnapshot::Capture();
}

std::string GLStateWatch::Changed() const { return before.Diff(GLStateSnapshot::Capture()); }

}  // namespace tessivar
