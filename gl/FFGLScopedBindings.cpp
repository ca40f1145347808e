#include "gl/FFGLScopedBindings.h"

namespace ffglex {

ScopedBufferBinding::ScopedBufferBinding(GLenum bufferTarget, GLuint buffer) : target(bufferTarget), isBound(true) {
    glBindBuffer(target, buffer);
}
ScopedBufferBinding::~ScopedBufferBinding() { EndScope(); }
void ScopedBufferBinding::EndScope() {
    if (!isBound) return;
    glBindBuffer(target, 0);
    isBound = false;
}

ScopedTextureBinding::ScopedTextureBinding(GLenum textureTarget, GLuint texture)
    : target(textureTarget), isBound(true) {
    glBindTexture(target, texture);
}
ScopedTextureBinding::~ScopedTextureBinding() { EndScope(); }
void ScopedTextureBinding::EndScope() {
    if (!isBound) return;
    glBindTexture(target, 0);
    isBound = false;
}

ScopedFBOBinding::ScopedFBOBinding(GLuint fbo, RestoreBehaviour behaviour)
    : isBound(true), restoreBehaviour(behaviour), previousDrawFBO(0), previousReadFBO(0) {
    if (restoreBehaviour == RestorePrevious) {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousDrawFBO);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousReadFBO);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
}
ScopedFBOBinding::~ScopedFBOBinding() { EndScope(); }
void ScopedFBOBinding::EndScope() {
    if (!isBound) return;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previousDrawFBO));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousReadFBO));
    isBound = false;
}

ScopedRenderBufferBinding::ScopedRenderBufferBinding(GLuint renderBuffer) : isBound(true) {
    glBindRenderbuffer(GL_RENDERBUFFER, renderBuffer);
}
ScopedRenderBufferBinding::~ScopedRenderBufferBinding() { EndScope(); }
void ScopedRenderBufferBinding::EndScope() {
    if (!isBound) return;
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    isBound = false;
}

ScopedSamplerActivation::ScopedSamplerActivation(GLuint unit) : isBound(true) { glActiveTexture(GL_TEXTURE0 + unit); }
ScopedSamplerActivation::~ScopedSamplerActivation() { EndScope(); }
void ScopedSamplerActivation::EndScope() {
    if (!isBound) return;
    glActiveTexture(GL_TEXTURE0);
    isBound = false;
}

ScopedShaderBinding::ScopedShaderBinding(GLuint program) : isBound(true) { glUseProgram(program); }
ScopedShaderBinding::~ScopedShaderBinding() { EndScope(); }
void ScopedShaderBinding::EndScope() {
    if (!isBound) return;
    glUseProgram(0);
    isBound = false;
}

ScopedVAOBinding::ScopedVAOBinding(GLuint vertexArray) : isBound(true) { glBindVertexArray(vertexArray); }
ScopedVAOBinding::~ScopedVAOBinding() { EndScope(); }
void ScopedVAOBinding::EndScope() {
    if (!isBound) return;
    glBindVertexArray(0);
    isBound = false;
}

}  // namespace ffglex
