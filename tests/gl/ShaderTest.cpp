// FFGLShader against the real driver: compile, link, failure logs, uniforms.
#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLShader.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ffglex::FFGLShader;
using testhost::GLTest;

const char* const kVertex = "#version 410 core\nlayout(location = 0) in vec4 vPosition;\nout vec2 uv;\n"
                            "void main() { gl_Position = vPosition; uv = vPosition.xy; }\n";
const char* const kFragment = "#version 410 core\nin vec2 uv;\nuniform vec4 tint;\nuniform float gain;\n"
                              "uniform sampler2D image;\nout vec4 c;\n"
                              "void main() { c = texture(image, uv) * tint * gain; }\n";
const char* const kGeometry = "#version 410 core\nlayout(points) in;\nlayout(points, max_vertices = 1) out;\n"
                              "in vec2 uv[];\nout vec2 gsUV;\n"
                              "void main() { gsUV = uv[0]; gl_Position = gl_in[0].gl_Position; EmitVertex(); }\n";
const char* const kGeometryFragment = "#version 410 core\nin vec2 gsUV;\nout vec4 c;\n"
                                      "void main() { c = vec4(gsUV, 0.0, 1.0); }\n";

// Mesa also reports a failed compile through KHR_debug as an error, which the
// fixture turns into a failure; tests that compile broken sources on purpose
// mute the compiler's messages (only those) while they run.
struct MuteCompilerMessages {
    MuteCompilerMessages() { set(GL_FALSE); }
    ~MuteCompilerMessages() { set(GL_TRUE); }
    static void set(GLboolean on) {
        glDebugMessageControl(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, on);
    }
};

void expectEmpty(const FFGLShader& shader) {
    EXPECT_FALSE(shader.IsReady());
    EXPECT_EQ(shader.GetGLID() | shader.GetVertexShaderGLID() | shader.GetGeometryShaderGLID() |
                  shader.GetFragmentShaderGLID(), 0u) << "a GL name was left behind";
}

// Compiles (expecting failure) and answers what was printed.
std::string failedCompileOutput(FFGLShader& shader, const char* vertex, const char* fragment) {
    MuteCompilerMessages mute;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile(vertex, fragment));
    const std::string out = testing::internal::GetCapturedStdout();
    expectEmpty(shader);
    return out;
}

TEST_F(GLTest, ShaderCompilesTwoAndThreeStagesAndFreesThem) {
    FFGLShader shader;
    ASSERT_TRUE(shader.Compile(std::string(kVertex), std::string(kFragment)));
    const GLuint names[] = {shader.GetGLID(), shader.GetVertexShaderGLID(), shader.GetFragmentShaderGLID()};
    EXPECT_TRUE(glIsProgram(names[0]) && glIsShader(names[1]) && glIsShader(names[2]));
    EXPECT_EQ(shader.GetGeometryShaderGLID(), 0u);
    shader.FreeGLResources();
    expectEmpty(shader);
    EXPECT_FALSE(glIsProgram(names[0]) || glIsShader(names[1]) || glIsShader(names[2]));
    shader.FreeGLResources();  // empty: harmless

    ASSERT_TRUE(shader.Compile(kVertex, kGeometry, kGeometryFragment));
    EXPECT_NE(shader.GetGeometryShaderGLID(), 0u);
    shader.FreeGLResources();
    ASSERT_TRUE(shader.Compile(kVertex, nullptr, kFragment));  // null geometry: two stages
    EXPECT_EQ(shader.GetGeometryShaderGLID(), 0u);
    shader.FreeGLResources();
}

TEST_F(GLTest, ShaderFailuresLogOneLineEachAndLeaveNothing) {
    FFGLShader shader;
    EXPECT_EQ(failedCompileOutput(shader, nullptr, kFragment), "");  // refusals are silent
    EXPECT_EQ(failedCompileOutput(shader, "", kFragment), "");
    EXPECT_EQ(failedCompileOutput(shader, kVertex, ""), "");  // no fragment and no varyings

    const std::string fragment = failedCompileOutput(
        shader, kVertex, "#version 410 core\nout vec4 c;\nvoid main() { c = vec4(1.0) +; }\n");
    EXPECT_EQ(fragment.rfind("Fragment Shader error: 0:", 0), 0u) << fragment;
    EXPECT_EQ(fragment.find('\n'), fragment.size() - 1) << "not one line: " << fragment;
    const std::string vertex = failedCompileOutput(shader, "#version 410 core\nvoid main() { x; }\n", kFragment);
    EXPECT_EQ(vertex.rfind("Vertex Shader error: 0:", 0), 0u) << vertex;

    // A captured varying the vertex stage never writes fails the link, which
    // logs with the fragment prefix.
    shader.AddTransformFeedbackVarying("neverWritten");
    const std::string link = failedCompileOutput(shader, kVertex, kFragment);
    EXPECT_EQ(link.rfind("Fragment Shader error: ", 0), 0u) << link;
    EXPECT_GT(link.size(), std::string("Fragment Shader error: \n").size()) << "the link log is missing";
    EXPECT_EQ(link.find('\n'), link.size() - 1) << "not one line: " << link;
}

TEST_F(GLTest, ShaderVertexOnlyProgramThroughAVarying) {
    FFGLShader shader;
    shader.AddTransformFeedbackVarying("uv");
    ASSERT_TRUE(shader.Compile(kVertex, ""));
    EXPECT_EQ(shader.GetFragmentShaderGLID(), 0u);
    GLint count = 0;
    glGetProgramiv(shader.GetGLID(), GL_TRANSFORM_FEEDBACK_VARYINGS, &count);
    EXPECT_EQ(count, 1);
    shader.FreeGLResources();  // keeps the varyings: a recompile links the same way
    ASSERT_TRUE(shader.Compile(kVertex, nullptr));
    shader.FreeGLResources();
}

TEST_F(GLTest, ShaderSetWritesByNameAndIgnoresMissingUniforms) {
    FFGLShader shader;
    ASSERT_TRUE(shader.Compile(kVertex, kFragment));
    EXPECT_EQ(shader.FindUniform("missing"), -1);
    {
        ffglex::ScopedShaderBinding bind(shader.GetGLID());
        shader.Set("tint", 0.1f, 0.2f, 0.3f, 0.4f);
        shader.Set("gain", 2.5f);
        shader.Set("image", 3);
        // Not active uniforms: nothing happens and no GL error (the fixture checks).
        shader.Set("missing", 1.0f);
        shader.Set("missing", 7);
    }
    GLfloat tint[4] = {}, gain = 0;
    GLint unit = 0;
    glGetUniformfv(shader.GetGLID(), shader.FindUniform("tint"), tint);
    glGetUniformfv(shader.GetGLID(), shader.FindUniform("gain"), &gain);
    glGetUniformiv(shader.GetGLID(), shader.FindUniform("image"), &unit);
    EXPECT_TRUE(tint[2] == 0.3f && gain == 2.5f && unit == 3) << tint[2] << " " << gain << " " << unit;
    shader.FreeGLResources();
    EXPECT_EQ(shader.FindUniform("tint"), -1);  // empty shader: no uniforms, no GL error
}

}  // namespace
