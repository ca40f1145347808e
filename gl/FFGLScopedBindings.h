// FFGLScopedBindings -- one small stack object per GL binding a plugin changes.
//
// The constructor binds; the end of the scope (EndScope() or the destructor,
// whichever comes first, once only) binds 0 again -- texture unit 0 for
// ScopedSamplerActivation. They do NOT restore what was bound before, so a
// nested scope of the same kind leaves 0 behind. The one exception is
// ScopedFBOBinding in RestorePrevious mode, which puts back the caller's draw
// and read framebuffers; every off-screen pass uses it so the host finds its
// own framebuffer bound afterwards.
//
//     {
//         ffglex::ScopedFBOBinding target(fbo, ffglex::ScopedFBOBinding::RestorePrevious);
//         ffglex::ScopedShaderBinding program(shader.GetGLID());
//         ffglex::ScopedSamplerActivation unit(0);
//         ffglex::Scoped2DTextureBinding texture(input.Handle);
//         quad.Draw();
//     }   // texture 0, unit 0, program 0, host framebuffers back
//
// All of them need the GL context current for their whole life; none checks
// its argument (binding 0 is allowed) and none queries GL errors. They cannot
// be copied: a copy would unbind twice.
#pragma once

#include "gl/GLIncludes.h"

#include <cstdint>

namespace ffglex {

class ScopedBufferBinding {
public:
    ScopedBufferBinding(GLenum target, GLuint buffer);
    virtual ~ScopedBufferBinding();
    ScopedBufferBinding(const ScopedBufferBinding&) = delete;
    ScopedBufferBinding& operator=(const ScopedBufferBinding&) = delete;
    void EndScope();  // binds buffer 0 to the target

private:
    GLenum target;
    bool isBound;
};

class ScopedVBOBinding : public ScopedBufferBinding {
public:
    explicit ScopedVBOBinding(GLuint buffer) : ScopedBufferBinding(GL_ARRAY_BUFFER, buffer) {}
};

class ScopedIBOBinding : public ScopedBufferBinding {
public:
    explicit ScopedIBOBinding(GLuint buffer) : ScopedBufferBinding(GL_ELEMENT_ARRAY_BUFFER, buffer) {}
};

class ScopedUBOBinding : public ScopedBufferBinding {
public:
    explicit ScopedUBOBinding(GLuint buffer) : ScopedBufferBinding(GL_UNIFORM_BUFFER, buffer) {}
};

class ScopedTextureBinding {
public:
    ScopedTextureBinding(GLenum target, GLuint texture);
    virtual ~ScopedTextureBinding();
    ScopedTextureBinding(const ScopedTextureBinding&) = delete;
    ScopedTextureBinding& operator=(const ScopedTextureBinding&) = delete;
    void EndScope();  // binds texture 0 to the target on the active unit

private:
    GLenum target;
    bool isBound;
};

class Scoped2DTextureBinding : public ScopedTextureBinding {
public:
    explicit Scoped2DTextureBinding(GLuint texture) : ScopedTextureBinding(GL_TEXTURE_2D, texture) {}
};

class ScopedFBOBinding {
public:
    enum RestoreBehaviour : uint32_t {
        ResetToZero = 0,      // at the end bind framebuffer 0 for drawing and reading
        RestorePrevious = 1,  // at the end bind the draw and read framebuffers found at construction
    };
    // Binds `fbo` for drawing and reading.
    ScopedFBOBinding(GLuint fbo, RestoreBehaviour behaviour);
    ~ScopedFBOBinding();
    ScopedFBOBinding(const ScopedFBOBinding&) = delete;
    ScopedFBOBinding& operator=(const ScopedFBOBinding&) = delete;
    void EndScope();

private:
    bool isBound;
    RestoreBehaviour restoreBehaviour;
    GLint previousDrawFBO;
    GLint previousReadFBO;
};

class ScopedRenderBufferBinding {
public:
    explicit ScopedRenderBufferBinding(GLuint renderBuffer);
    ~ScopedRenderBufferBinding();
    ScopedRenderBufferBinding(const ScopedRenderBufferBinding&) = delete;
    ScopedRenderBufferBinding& operator=(const ScopedRenderBufferBinding&) = delete;
    void EndScope();  // binds renderbuffer 0

private:
    bool isBound;
};

class ScopedSamplerActivation {
public:
    // Makes GL_TEXTURE0 + unit the active texture unit.
    explicit ScopedSamplerActivation(GLuint unit);
    ~ScopedSamplerActivation();
    ScopedSamplerActivation(const ScopedSamplerActivation&) = delete;
    ScopedSamplerActivation& operator=(const ScopedSamplerActivation&) = delete;
    void EndScope();  // activates unit 0, whatever was active before

private:
    bool isBound;
};

class ScopedShaderBinding {
public:
    explicit ScopedShaderBinding(GLuint program);
    ~ScopedShaderBinding();
    ScopedShaderBinding(const ScopedShaderBinding&) = delete;
    ScopedShaderBinding& operator=(const ScopedShaderBinding&) = delete;
    void EndScope();  // uses program 0

private:
    bool isBound;
};

class ScopedVAOBinding {
public:
    explicit ScopedVAOBinding(GLuint vertexArray);
    ~ScopedVAOBinding();
    ScopedVAOBinding(const ScopedVAOBinding&) = delete;
    ScopedVAOBinding& operator=(const ScopedVAOBinding&) = delete;
    void EndScope();  // binds vertex array 0

private:
    bool isBound;
};

}  // namespace ffglex
