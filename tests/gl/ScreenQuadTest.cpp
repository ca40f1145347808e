// FFGLScreenQuad: orientation of both vertex tables read back as pixels, and
// the bindings it leaves behind.
#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLScreenQuad.h"
#include "gl/FFGLShader.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

namespace {

using testhost::GLTest;
using tessivar::GLStateSnapshot;
using tessivar::Image;

class ScreenQuadTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(shader.Compile(
            "#version 410 core\nlayout(location = 0) in vec3 vPosition;\nlayout(location = 1) in vec2 vUV;\n"
            "out vec2 uv;\nvoid main() { gl_Position = vec4(vPosition, 1.0); uv = vUV; }\n",
            "#version 410 core\nin vec2 uv;\nout vec4 c;\nvoid main() { c = vec4(uv, 0.0, 1.0); }\n"));
        ASSERT_TRUE(target.Create(kSize, kSize));
    }
    void TearDown() override {
        quad.Release();
        shader.FreeGLResources();
        target.Release();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        GLTest::TearDown();
    }
    // Draws uv as red and green over blue; the image comes back top row first.
    Image Render() {
        target.Bind();
        target.Clear(0, 0, 1, 1);
        ffglex::ScopedShaderBinding bind(shader.GetGLID());
        quad.Draw();
        return target.Read();
    }

    static constexpr uint32_t kSize = 8;
    ffglex::FFGLShader shader;
    ffglex::FFGLScreenQuad quad;
    tessivar::RenderTarget target;
};

TEST_F(ScreenQuadTest, BothTablesCoverTheViewportWithTheirOrientation) {
    const auto centre = [](uint32_t i) { return int((i + 0.5) / kSize * 255 + 0.5); };
    for (bool flipped : {false, true}) {
        SCOPED_TRACE(flipped ? "flipped" : "plain");
        ASSERT_TRUE(quad.Initialise(flipped));
        const Image img = Render();
        for (uint32_t y = 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x) {
                const uint8_t* p = img.At(x, y);  // y = 0 is the top row
                ASSERT_NEAR(p[0], centre(x), 1) << x << "," << y;  // u left to right
                // Plain: v grows bottom to top; flipped: top to bottom.
                ASSERT_NEAR(p[1], centre(flipped ? y : kSize - 1 - y), 1) << x << "," << y;
                ASSERT_EQ(p[2], 0) << "the quad misses pixel " << x << "," << y;
            }
        quad.Release();
    }
}

TEST_F(ScreenQuadTest, LeavesVertexArrayAndArrayBufferUnbound) {
    ASSERT_TRUE(quad.Initialise(false));
    GLint vao = -1, buffer = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    EXPECT_EQ(vao, 0);
    EXPECT_EQ(buffer, 0);

    target.Bind();
    ffglex::ScopedShaderBinding bind(shader.GetGLID());
    const GLStateSnapshot before = GLStateSnapshot::Capture();
    quad.Draw();
    EXPECT_EQ(before.Diff(GLStateSnapshot::Capture()), "");
}

TEST_F(ScreenQuadTest, DrawWithoutObjectsDoesNothingAndReleaseRepeats) {
    // Drawing with no vertex array would be a GL error the fixture reports.
    EXPECT_EQ(Render().At(3, 3)[2], 255);
    ASSERT_TRUE(quad.Initialise(false));
    quad.Release();
    quad.Release();
    EXPECT_EQ(quad.GetVAOGLID() | quad.GetVBOGLID(), 0u);
    EXPECT_EQ(Render().At(3, 3)[2], 255);
}

}  // namespace
