// FFGLFBO: formats, refusal, the caller's framebuffers, release and reuse.
#include "gl/FFGLFBO.h"
#include "gl/FFGLScopedBindings.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

namespace {

using ffglex::FFGLFBO;
using ffglex::ScopedFBOBinding;
using testhost::GLTest;

GLint get(GLenum binding) {
    GLint value = -1;
    glGetIntegerv(binding, &value);
    return value;
}

GLint level0(GLuint texture, GLenum parameter) {
    GLint value = -1;
    ffglex::Scoped2DTextureBinding bind(texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

// Clears the target to 3.0 and reads the red of pixel (0, 0) back as a float.
float clearToThreeAndRead(const FFGLFBO& fbo) {
    ScopedFBOBinding bind(fbo.GetGLID(), ScopedFBOBinding::RestorePrevious);
    const GLfloat colour[4] = {3.0f, 0, 0, 1};
    glClearBufferfv(GL_COLOR, 0, colour);
    float pixel[4] = {};
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);
    return pixel[0];
}

TEST_F(GLTest, FBOKeepsNormalisedAndFloatColourApart) {
    FFGLFBO bytes, floats;
    ASSERT_TRUE(bytes.Initialise(4, 2, GL_RGBA8));
    ASSERT_TRUE(floats.Initialise(4, 2, GL_RGBA32F));  // allocated with GL_FLOAT pixels
    EXPECT_EQ(level0(bytes.GetTextureInfo().Handle, GL_TEXTURE_RED_TYPE), GL_UNSIGNED_NORMALIZED);
    EXPECT_EQ(level0(floats.GetTextureInfo().Handle, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA32F);
    EXPECT_EQ(level0(floats.GetTextureInfo().Handle, GL_TEXTURE_HEIGHT), 2);
    EXPECT_FLOAT_EQ(clearToThreeAndRead(bytes), 1.0f);  // normalised: clamped
    EXPECT_FLOAT_EQ(clearToThreeAndRead(floats), 3.0f);
    bytes.Release();
    floats.Release();
}

TEST_F(GLTest, FBORestoresTheCallersFramebuffersEvenWhenIncomplete) {
    GLuint caller[2] = {};
    glGenFramebuffers(2, caller);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, caller[0]);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, caller[1]);
    const auto expectCallers = [&] {
        EXPECT_EQ(get(GL_DRAW_FRAMEBUFFER_BINDING), GLint(caller[0]));
        EXPECT_EQ(get(GL_READ_FRAMEBUFFER_BINDING), GLint(caller[1]));
    };
    FFGLFBO fbo;
    // Zero-sized attachments are incomplete without any GL error.
    EXPECT_FALSE(fbo.Initialise(0, 0, GL_RGBA8));
    expectCallers();
    EXPECT_EQ(fbo.GetGLID() | fbo.GetDepthBufferGLID() | fbo.GetTextureInfo().Handle, 0u)
        << "the incomplete target kept a GL object";

    ASSERT_TRUE(fbo.Initialise(2, 2, GL_RGBA8));
    expectCallers();
    fbo.Release();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(2, caller);
}

TEST_F(GLTest, FBOTextureInfoDescribesTheColourTextureAndASecondInitialiseIsRefused) {
    FFGLFBO fbo;
    ASSERT_TRUE(fbo.Initialise(640, 360, GL_RGBA8));
    const FFGLTextureStruct info = fbo.GetTextureInfo();
    EXPECT_EQ(info.Width, 640u);
    EXPECT_EQ(info.Height, 360u);
    EXPECT_EQ(info.HardwareWidth, 640u);
    EXPECT_EQ(info.HardwareHeight, 360u);
    {
        ScopedFBOBinding bind(fbo.GetGLID(), ScopedFBOBinding::RestorePrevious);
        GLint attached = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &attached);
        EXPECT_EQ(GLuint(attached), info.Handle);
    }
    const GLuint framebuffer = fbo.GetGLID();
    EXPECT_FALSE(fbo.Initialise(32, 32, GL_RGBA32F));
    EXPECT_EQ(fbo.GetWidth(), 640);
    EXPECT_EQ(fbo.GetHeight(), 360);
    EXPECT_EQ(fbo.GetGLID(), framebuffer);
    EXPECT_EQ(fbo.GetTextureInfo().Handle, info.Handle);
    EXPECT_EQ(level0(info.Handle, GL_TEXTURE_WIDTH), 640);
    fbo.Release();
}

TEST_F(GLTest, FBOReleaseDeletesAllThreeObjectsAndAllowsReuse) {
    FFGLFBO fbo;
    fbo.Release();  // never initialised: harmless
    ASSERT_TRUE(fbo.Initialise(8, 4, GL_RGBA8));
    const GLuint framebuffer = fbo.GetGLID(), depth = fbo.GetDepthBufferGLID();
    const GLuint colour = fbo.GetTextureInfo().Handle;
    fbo.Release();
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    EXPECT_FALSE(glIsRenderbuffer(depth));
    EXPECT_FALSE(glIsTexture(colour)) << "the colour texture leaks on every release";
    EXPECT_EQ(fbo.GetTextureInfo().Handle, 0u);
    EXPECT_EQ(fbo.GetWidth(), 0);

    ASSERT_TRUE(fbo.Initialise(4, 4, GL_RGBA16F));
    EXPECT_TRUE(glIsTexture(fbo.GetTextureInfo().Handle));
    fbo.Release();
}

}  // namespace
