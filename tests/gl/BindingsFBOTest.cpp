// The scope objects that must put back what a host had bound, and FFGLFBO
// (formats, refusal, the caller's framebuffers, release and reuse). That the
// other scopes leave 0 bound is checked on every plugMain call of the module
// tests.
#include "gl/FFGLFBO.h"
#include "gl/FFGLScopedBindings.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

namespace {

using namespace ffglex;
using testhost::GLTest;

GLint get(GLenum binding) {
    GLint value = -1;
    glGetIntegerv(binding, &value);
    return value;
}

// The host draws to one framebuffer and reads from another; both must come back.
class HostFramebuffers : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        glGenFramebuffers(2, host);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, host[0]);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, host[1]);
    }
    void TearDown() override {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(2, host);
        GLTest::TearDown();
    }
    void ExpectHostsBound() {
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(host[0]));
        EXPECT_EQ(get(GL_READ_FRAMEBUFFER_BINDING), GLint(host[1]));
    }
    GLuint host[2] = {};
};

TEST_F(HostFramebuffers, FBOScopeRestoresBothFramebuffersOrResetsToZero) {
    GLuint offscreen = 0;
    glGenFramebuffers(1, &offscreen);
    {
        ScopedFBOBinding bind(offscreen, ScopedFBOBinding::RestorePrevious);
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING) + get(GL_READ_FRAMEBUFFER_BINDING), 2 * GLint(offscreen));
        {
            ScopedFBOBinding inner(0, ScopedFBOBinding::RestorePrevious);
        }
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(offscreen)) << "nested pass";
    }
    ExpectHostsBound();
    {
        ScopedFBOBinding bind(offscreen, ScopedFBOBinding::ResetToZero);
    }
    EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING) | get(GL_READ_FRAMEBUFFER_BINDING), 0);
    glDeleteFramebuffers(1, &offscreen);
}

TEST_F(HostFramebuffers, FBORestoresTheCallersFramebuffersEvenWhenIncomplete) {
    FFGLFBO fbo;
    // Zero-sized attachments are incomplete without any GL error.
    EXPECT_FALSE(fbo.Initialise(0, 0, GL_RGBA8));
    ExpectHostsBound();
    EXPECT_EQ(fbo.GetGLID() | fbo.GetDepthBufferGLID() | fbo.GetTextureInfo().Handle, 0u)
        << "the incomplete target kept a GL object";
    ASSERT_TRUE(fbo.Initialise(2, 2, GL_RGBA8));
    ExpectHostsBound();
    fbo.Release();
}

GLint level0(GLuint texture, GLenum parameter) {
    GLint value = -1;
    Scoped2DTextureBinding bind(texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

TEST_F(GLTest, FBOTextureInfoSecondInitialiseAndReleaseOfAllThreeObjects) {
    FFGLFBO fbo;
    fbo.Release();  // never initialised: harmless
    ASSERT_TRUE(fbo.Initialise(640, 360, GL_RGBA8));
    const FFGLTextureStruct info = fbo.GetTextureInfo();
    EXPECT_TRUE(info.Width == 640 && info.HardwareWidth == 640 && info.Height == 360 && info.HardwareHeight == 360);
    {
        ScopedFBOBinding bind(fbo.GetGLID(), ScopedFBOBinding::RestorePrevious);
        GLint attached = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &attached);
        EXPECT_EQ(GLuint(attached), info.Handle);
    }
    const GLuint framebuffer = fbo.GetGLID(), depth = fbo.GetDepthBufferGLID();
    EXPECT_FALSE(fbo.Initialise(32, 32, GL_RGBA32F));  // refused: nothing changes
    EXPECT_EQ(fbo.GetGLID(), framebuffer);
    EXPECT_EQ(fbo.GetTextureInfo().Handle, info.Handle);
    EXPECT_EQ(level0(info.Handle, GL_TEXTURE_WIDTH), 640);

    fbo.Release();
    EXPECT_FALSE(glIsFramebuffer(framebuffer) || glIsRenderbuffer(depth));
    EXPECT_FALSE(glIsTexture(info.Handle)) << "the colour texture leaks on every release";
    EXPECT_EQ(fbo.GetTextureInfo().Handle | GLuint(fbo.GetWidth()), 0u);
    ASSERT_TRUE(fbo.Initialise(4, 4, GL_RGBA16F));  // reusable
    fbo.Release();
}

}  // namespace
