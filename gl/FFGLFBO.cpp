#include "gl/FFGLFBO.h"

#include "gl/FFGLScopedBindings.h"

namespace ffglex {

FFGLFBO::FFGLFBO() : width(0), height(0), internalFormat(0), fboID(0), depthBufferID(0), colorTextureID(0) {}

bool FFGLFBO::Initialise(int newWidth, int newHeight, int newInternalFormat) {
    if (fboID != 0) return false;  // initialised: Release first
    width = newWidth;
    height = newHeight;
    internalFormat = newInternalFormat;
    if (!GenerateFBO() || !GenerateDepthBuffer() || !GenerateColorTexture()) {
        Release();
        return false;
    }
    ScopedFBOBinding bind(fboID, ScopedFBOBinding::RestorePrevious);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBufferID);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTextureID, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (!complete) Release();
    bind.EndScope();  // the caller's draw and read framebuffers return
    return complete;
}

bool FFGLFBO::GenerateFBO() {
    glGenFramebuffers(1, &fboID);
    return fboID != 0;
}

bool FFGLFBO::GenerateDepthBuffer() {
    glGenRenderbuffers(1, &depthBufferID);
    if (depthBufferID == 0) return false;
    ScopedRenderBufferBinding bind(depthBufferID);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    return true;
}

bool FFGLFBO::GenerateColorTexture() {
    glGenTextures(1, &colorTextureID);
    if (colorTextureID == 0) return false;
    Scoped2DTextureBinding bind(colorTextureID);
    const GLenum pixelType = internalFormat == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT;
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, pixelType, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return true;
}

void FFGLFBO::Release() {
    width = 0;
    height = 0;
    if (fboID != 0) glDeleteFramebuffers(1, &fboID);
    fboID = 0;
    if (depthBufferID != 0) glDeleteRenderbuffers(1, &depthBufferID);
    depthBufferID = 0;
    // The colour texture goes too: keeping it would leak one texture per
    // release cycle, since the next Initialise generates a new one.
    if (colorTextureID != 0) glDeleteTextures(1, &colorTextureID);
    colorTextureID = 0;
}

void FFGLFBO::ResizeViewPort() { glViewport(0, 0, width, height); }

FFGLTextureStruct FFGLFBO::GetTextureInfo() const {
    FFGLTextureStruct info{};
    info.Width = static_cast<uint32_t>(width);
    info.Height = static_cast<uint32_t>(height);
    info.HardwareWidth = static_cast<uint32_t>(width);
    info.HardwareHeight = static_cast<uint32_t>(height);
    info.Handle = colorTextureID;
    return info;
}

}  // namespace ffglex
