// FFGLShader and FFGLScreenQuad against the real driver: compile, link and
// failure logs; the quad's orientation read back as pixels. Uniforms and the
// bindings left behind are checked through the modules that use them.
#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLScreenQuad.h"
#include "gl/FFGLShader.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ffglex::FFGLShader;
using ffglex::ScopedShaderBinding;
using testhost::GLTest;

#define GLSL "#version 410 core\n"
const char* const kVertex = GLSL
    "layout(location = 0) in vec4 vPosition;\nout vec2 uv;\n"
    "void main() { gl_Position = vPosition; uv = vPosition.xy; }\n";
const char* const kFragment = GLSL
    "in vec2 uv;\nuniform vec4 tint;\nuniform float gain;\nuniform sampler2D image;\n"
    "out vec4 c;\nvoid main() { c = texture(image, uv) * tint * gain; }\n";
const char* const kGeometry = GLSL
    "layout(points) in;\nlayout(points, max_vertices = 1) out;\nin vec2 uv[];\n"
    "out vec2 gsUV;\nvoid main() { gsUV = uv[0]; EmitVertex(); }\n";
const char* const kGeometryFragment = GLSL "in vec2 gsUV;\nout vec4 c;\nvoid main() { c = vec4(gsUV, 0, 1); }\n";

void expectEmpty(const FFGLShader& shader) {
    EXPECT_FALSE(shader.IsReady());
    EXPECT_EQ(shader.GetGLID() | shader.GetVertexShaderGLID() | shader.GetGeometryShaderGLID() |
                  shader.GetFragmentShaderGLID(),
              0u)
        << "a GL name was left behind";
}

// Compiles, expecting failure, and answers what was printed. Mesa also reports
// a failed compile through KHR_debug as an error, which the fixture would turn
// into a failure, so the compiler's messages (only those) are muted meanwhile.
std::string failedCompileOutput(FFGLShader& shader, const char* vertex, const char* fragment) {
    const auto mute = [](bool on) { GLTest::Context()->EnableCompilerMessages(on); };
    mute(false);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile(vertex, fragment));
    const std::string out = testing::internal::GetCapturedStdout();
    mute(true);
    expectEmpty(shader);
    return out;
}

TEST_F(GLTest, ShaderCompilesTwoThreeOrOneStageAndFreesThem) {
    FFGLShader shader;
    ASSERT_TRUE(shader.Compile(std::string(kVertex), std::string(kFragment)));
    const GLuint names[] = {shader.GetGLID(), shader.GetVertexShaderGLID(), shader.GetFragmentShaderGLID()};
    EXPECT_TRUE(glIsProgram(names[0]) && glIsShader(names[1]) && glIsShader(names[2]));
    shader.FreeGLResources();
    expectEmpty(shader);
    EXPECT_FALSE(glIsProgram(names[0]) || glIsShader(names[1]) || glIsShader(names[2]));
    shader.FreeGLResources();  // empty: harmless

    ASSERT_TRUE(shader.Compile(kVertex, kGeometry, kGeometryFragment));
    EXPECT_NE(shader.GetGeometryShaderGLID(), 0u);
    shader.FreeGLResources();

    // Vertex only: a captured varying makes the program linkable.
    shader.AddTransformFeedbackVarying("uv");
    ASSERT_TRUE(shader.Compile(kVertex, ""));
    GLint count = 0;
    glGetProgramiv(shader.GetGLID(), GL_TRANSFORM_FEEDBACK_VARYINGS, &count);
    EXPECT_EQ(count + GLint(shader.GetFragmentShaderGLID()), 1);
    shader.FreeGLResources();  // keeps the varyings: a recompile links the same way
    ASSERT_TRUE(shader.Compile(kVertex, nullptr));
    shader.FreeGLResources();
}

TEST_F(GLTest, ShaderFailuresLogOneLineEachAndLeaveNothing) {
    FFGLShader shader;
    EXPECT_EQ(failedCompileOutput(shader, nullptr, kFragment), "");  // refusals are silent
    EXPECT_EQ(failedCompileOutput(shader, "", kFragment), "");
    EXPECT_EQ(failedCompileOutput(shader, kVertex, ""), "");  // no fragment and no varyings

    const std::string fragment = failedCompileOutput(shader, kVertex, GLSL "out vec4 c;\nvoid main() { c = +; }\n");
    EXPECT_EQ(fragment.rfind("Fragment Shader error: 0:", 0), 0u) << fragment;
    EXPECT_EQ(fragment.find('\n'), fragment.size() - 1) << "not one line: " << fragment;
    const std::string vertex = failedCompileOutput(shader, GLSL "void main() { x; }\n", kFragment);
    EXPECT_EQ(vertex.rfind("Vertex Shader error: 0:", 0), 0u) << vertex;

    // A captured varying the vertex stage never writes fails the link, which
    // logs with the fragment prefix.
    shader.AddTransformFeedbackVarying("neverWritten");
    const std::string link = failedCompileOutput(shader, kVertex, kFragment);
    EXPECT_EQ(link.rfind("Fragment Shader error: ", 0), 0u) << link;
    EXPECT_GT(link.size(), std::string("Fragment Shader error: \n").size()) << "the link log is missing";
    EXPECT_EQ(link.find('\n'), link.size() - 1) << "not one line: " << link;
}

class ScreenQuadTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(shader.Compile(GLSL "layout(location = 0) in vec3 vPosition;\nlayout(location = 1) in vec2 vUV;\n"
                                        "out vec2 uv;\nvoid main() { gl_Position = vec4(vPosition, 1); uv = vUV; }\n",
                                   GLSL "in vec2 uv;\nout vec4 c;\nvoid main() { c = vec4(uv, 0, 1); }\n"));
        ASSERT_TRUE(target.Create(kSize, kSize));
        target.Bind();
    }
    void TearDown() override {
        quad.Release();
        shader.FreeGLResources();
        target.Release();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        GLTest::TearDown();
    }
    // Draws uv as red and green over blue; the image comes back top row first.
    tessivar::Image Render() {
        target.Clear(0, 0, 1, 1);
        ScopedShaderBinding bind(shader.GetGLID());
        quad.Draw();
        return target.Read();
    }

    static constexpr uint32_t kSize = 8;
    FFGLShader shader;
    ffglex::FFGLScreenQuad quad;
    tessivar::RenderTarget target;
};

TEST_F(ScreenQuadTest, BothTablesCoverTheViewportWithTheirOrientation) {
    const auto centre = [](uint32_t i) { return int((i + 0.5) / kSize * 255 + 0.5); };
    for (bool flipped : {false, true}) {
        SCOPED_TRACE(flipped ? "flipped" : "plain");
        ASSERT_TRUE(quad.Initialise(flipped));
        const tessivar::Image img = Render();
        for (uint32_t y = 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x) {
                const uint8_t* p = img.At(x, y);                   // y = 0 is the top row
                ASSERT_NEAR(p[0], centre(x), 1) << x << "," << y;  // u left to right
                // Plain: v grows bottom to top; flipped: top to bottom.
                ASSERT_NEAR(p[1], centre(flipped ? y : kSize - 1 - y), 1) << x << "," << y;
                ASSERT_EQ(p[2], 0) << "the quad misses pixel " << x << "," << y;
            }
        quad.Release();
    }
}

}  // namespace
