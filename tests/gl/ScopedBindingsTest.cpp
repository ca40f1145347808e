// The scope objects: what they bind, what they leave, and that they end once.
#include "gl/FFGLScopedBindings.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace ffglex;
using testhost::GLTest;

GLint get(GLenum binding) {
    GLint value = -1;
    glGetIntegerv(binding, &value);
    return value;
}

TEST_F(GLTest, FBOScopeRestoresTheHostsDrawAndReadFramebuffersOrResetsToZero) {
    GLuint host[2] = {}, offscreen = 0;  // the host draws to one and reads from the other
    glGenFramebuffers(2, host);
    glGenFramebuffers(1, &offscreen);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, host[0]);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, host[1]);
    {
        ScopedFBOBinding bind(offscreen, ScopedFBOBinding::RestorePrevious);
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(offscreen));
        EXPECT_EQ(get(GL_READ_FRAMEBUFFER_BINDING), GLint(offscreen));
        { ScopedFBOBinding inner(0, ScopedFBOBinding::RestorePrevious); }
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(offscreen)) << "nested pass";
    }
    EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(host[0]));
    EXPECT_EQ(get(GL_READ_FRAMEBUFFER_BINDING), GLint(host[1]));

    { ScopedFBOBinding bind(offscreen, ScopedFBOBinding::ResetToZero); }
    EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(get(GL_READ_FRAMEBUFFER_BINDING), 0);
    glDeleteFramebuffers(2, host);
    glDeleteFramebuffers(1, &offscreen);
}

TEST_F(GLTest, SamplerActivationEndsOnUnitZeroNotThePreviousUnit) {
    glActiveTexture(GL_TEXTURE3);
    {
        ScopedSamplerActivation unit(2);
        EXPECT_EQ(get(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
    }
    EXPECT_EQ(get(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
}

void bindThenThrow(GLuint texture) {
    Scoped2DTextureBinding bind(texture);
    EXPECT_EQ(get(GL_TEXTURE_BINDING_2D), GLint(texture));
    throw std::runtime_error("leaving early");
}

TEST_F(GLTest, TextureScopeUnbindsOnExceptionAndEndsOnlyOnce) {
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    EXPECT_THROW(bindThenThrow(textures[0]), std::runtime_error);
    EXPECT_EQ(get(GL_TEXTURE_BINDING_2D), 0);
    {
        Scoped2DTextureBinding bind(textures[0]);
        bind.EndScope();
        EXPECT_EQ(get(GL_TEXTURE_BINDING_2D), 0);
        glBindTexture(GL_TEXTURE_2D, textures[1]);
    }
    EXPECT_EQ(get(GL_TEXTURE_BINDING_2D), GLint(textures[1])) << "the destructor unbound a second time";
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(2, textures);
}

TEST_F(GLTest, NestedScopesOfOneKindResetToZeroNotToTheOuterName) {
    GLuint buffers[2] = {};
    glGenBuffers(2, buffers);
    {
        ScopedVBOBinding outer(buffers[0]);
        { ScopedVBOBinding inner(buffers[1]); }
        EXPECT_EQ(get(GL_ARRAY_BUFFER_BINDING), 0);
    }
    glDeleteBuffers(2, buffers);
}

}  // namespace
