// FFGLFBO -- an off-screen render target: a framebuffer with a colour texture
// (attachment 0) and a 24-bit depth renderbuffer of the same size.
//
//     ffglex::FFGLFBO target;
//     if (!target.Initialise(640, 360, GL_RGBA8)) ...   // false: incomplete or no names
//     {
//         ffglex::ScopedFBOBinding bind(target.GetGLID(), ffglex::ScopedFBOBinding::RestorePrevious);
//         target.ResizeViewPort();
//         ...draw...
//     }
//     FFGLTextureStruct asInput = target.GetTextureInfo();  // sample it like a host texture
//     target.Release();
//
// Initialise leaves the caller's draw and read framebuffers bound, also when
// it fails, and is refused (false, nothing changed) while the target is
// initialised. Release deletes all three GL objects and zeroes every field,
// so a released target can be initialised again. The object owns its GL
// names and cannot be copied; all calls need the GL context current.
#pragma once

#include "gl/GLIncludes.h"
#include "host/FFGLABI.h"

namespace ffglex {

class FFGLFBO {
public:
    FFGLFBO();
    FFGLFBO(const FFGLFBO&) = delete;
    FFGLFBO& operator=(const FFGLFBO&) = delete;

    // True when the framebuffer is complete. The colour texture is allocated
    // with GL_UNSIGNED_BYTE pixels for GL_RGBA8 and GL_FLOAT for any other
    // internal format.
    bool Initialise(int width, int height, int internalFormat);
    bool GenerateFBO();
    bool GenerateDepthBuffer();
    bool GenerateColorTexture();
    void Release();

    // glViewport(0, 0, width, height).
    void ResizeViewPort();

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetInternalFormat() const { return internalFormat; }
    GLuint GetGLID() const { return fboID; }
    GLuint GetDepthBufferGLID() const { return depthBufferID; }
    // Image and hardware sizes are both the target's size; Handle is the
    // colour texture.
    FFGLTextureStruct GetTextureInfo() const;

private:
    int width;
    int height;
    int internalFormat;
    GLuint fboID;
    GLuint depthBufferID;
    GLuint colorTextureID;
};

}  // namespace ffglex
