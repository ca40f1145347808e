#include "gl/GLIncludes.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using testhost::GLTest;
using tessivar::GLStateSnapshot;
using tessivar::Image;
using tessivar::InputTexture;
using tessivar::RenderTarget;

TEST_F(GLTest, ContextIsCoreProfileAtLeast41) {
    GLint major = 0, minor = 0, mask = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    EXPECT_GE(major * 10 + minor, 41) << Context()->Version();
    EXPECT_TRUE(mask & GL_CONTEXT_CORE_PROFILE_BIT);
    RecordProperty("renderer", Context()->Renderer());
}

TEST_F(GLTest, RenderTargetClearsAndReadsBackTopRowFirst) {
    RenderTarget target;
    ASSERT_TRUE(target.Create(4, 3));
    target.Bind();
    target.Clear(1, 0, 0, 1);
    // Paint the top row green with a scissored clear: GL row 2 is the top.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 2, 4, 1);
    target.Clear(0, 1, 0, 1);
    glDisable(GL_SCISSOR_TEST);
    Image img = target.Read();
    ASSERT_EQ(img.rgba.size(), 4u * 3u * 4u);
    EXPECT_EQ(img.At(0, 0)[1], 255);  // top row green
    EXPECT_EQ(img.At(0, 2)[0], 255);  // bottom row red
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST_F(GLTest, InputTexturePlacesImageBottomLeftAndPadsTheRest) {
    Image img(2, 2);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            uint8_t* p = img.At(x, y);
            p[0] = uint8_t(10 + x);
            p[1] = uint8_t(20 + y);
            p[2] = 0;
            p[3] = 255;
        }
    InputTexture tex;
    ASSERT_TRUE(tex.Create(img, 4, 4, 0x11223344u));
    EXPECT_EQ(tex.Desc().Width, 2u);
    EXPECT_EQ(tex.Desc().HardwareWidth, 4u);

    // Read the texture back through a framebuffer: GL row 0 is the image's bottom row.
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex.Desc().Handle, 0);
    uint8_t px[4 * 4 * 4] = {};
    glReadPixels(0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, px);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    EXPECT_EQ(px[1], 21);                 // (0,0) in GL = image row 1
    EXPECT_EQ(px[(1 * 4 + 0) * 4 + 1], 20);  // GL row 1 = image row 0
    EXPECT_EQ(px[(3 * 4 + 3) * 4 + 0], 0x11);  // padding
    EXPECT_EQ(px[(3 * 4 + 3) * 4 + 3], 0x44);
}

TEST_F(GLTest, SnapshotSeesEveryWatchedBinding) {
    const GLStateSnapshot before = GLStateSnapshot::Capture();
    glEnable(GL_BLEND);
    glViewport(1, 2, 3, 4);
    const GLStateSnapshot after = GLStateSnapshot::Capture();
    const std::string diff = before.Diff(after);
    EXPECT_NE(diff.find("blend"), std::string::npos);
    EXPECT_NE(diff.find("viewport"), std::string::npos);
    glDisable(GL_BLEND);
    glViewport(before.viewport[0], before.viewport[1], before.viewport[2], before.viewport[3]);
    EXPECT_EQ(before, GLStateSnapshot::Capture());
}

}  // namespace

// Asking for a context the driver cannot give fails with one readable line.
// It runs in a fresh child process: a second EGL initialisation in this
// process would share (and on failure terminate) the fixture's display.
TEST(HeadlessGLDeathTest, ImpossibleVersionFailsWithAClearMessageAndNoCrash) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            tessivar::HeadlessGL::Options options;
            options.major = 9;
            options.minor = 9;
            std::string error;
            auto gl = tessivar::HeadlessGL::Create(error, options);
            std::fprintf(stderr, "[%s]\n", error.c_str());
            std::exit(gl == nullptr && error.find('\n') == std::string::npos ? 0 : 1);
        },
        testing::ExitedWithCode(0), "\\[cannot create an OpenGL 9\\.9 core context \\(EGL_BAD_[A-Z]+\\).*\\]");
}
