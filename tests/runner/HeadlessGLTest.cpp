// The host-side input texture every GL test and ffglrun rely on: a padded
// texture whose padding is not filled would blunt every padding test. The
// context itself is used by every GL test (which need 4.1 core shaders), a
// context that cannot be made is reported by ffglrun (CliTest), and the
// read-back orientation shows in every effect test.
#include "gl/GLIncludes.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tessivar::Image;
using tessivar::InputTexture;
using testhost::GLTest;

TEST_F(GLTest, InputTexturePlacesImageBottomLeftAndPadsTheRest) {
    Image img(2, 2);  // rows top first: green 20 on the top row, 21 on the bottom
    img.At(0, 0)[1] = 20;
    img.At(0, 1)[1] = 21;
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
    EXPECT_EQ(px[1], 21);                      // (0,0) in GL = image row 1
    EXPECT_EQ(px[(1 * 4 + 0) * 4 + 1], 20);    // GL row 1 = image row 0
    EXPECT_EQ(px[(3 * 4 + 3) * 4 + 0], 0x11);  // padding
    EXPECT_EQ(px[(3 * 4 + 3) * 4 + 3], 0x44);
}

}  // namespace
