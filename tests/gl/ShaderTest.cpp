// FFGLShader against the real driver: compile, link, failure logs, uniforms.
#include "gl/FFGLScopedBindings.h"
#include "gl/FFGLShader.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using ffglex::FFGLShader;
using testhost::GLTest;

const char* const kVertex = R"(#version 410 core
layout(location = 0) in vec4 vPosition;
layout(location = 1) in vec2 vUV;
out vec2 uv;
void main() { gl_Position = vPosition; uv = vUV; }
)";

const char* const kFragment = R"(#version 410 core
in vec2 uv;
uniform vec4 tint;
uniform float gain;
uniform sampler2D image;
out vec4 fragColor;
void main() { fragColor = texture(image, uv) * tint * gain; }
)";

const char* const kBrokenFragment = R"(#version 410 core
out vec4 fragColor;
void main() { fragColor = vec4(1.0) +; }
)";

const char* const kGeometry = R"(#version 410 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
in vec2 uv[];
out vec2 gsUV;
void main() {
    for (int i = 0; i < 3; ++i) { gl_Position = gl_in[i].gl_Position; gsUV = uv[i]; EmitVertex(); }
    EndPrimitive();
}
)";

const char* const kGeometryFragment = R"(#version 410 core
in vec2 gsUV;
out vec4 fragColor;
void main() { fragColor = vec4(gsUV, 0.0, 1.0); }
)";

const char* const kFeedbackVertex = R"(#version 410 core
layout(location = 0) in vec4 vPosition;
out float doubled;
void main() { doubled = vPosition.x * 2.0; gl_Position = vPosition; }
)";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Mesa also reports a failed compile through KHR_debug as an error, which
// the fixture turns into a failure. Tests that compile broken sources on
// purpose mute the compiler's messages (only those) while they run.
struct MuteCompilerMessages {
    MuteCompilerMessages() { set(GL_FALSE); }
    ~MuteCompilerMessages() { set(GL_TRUE); }
    static void set(GLboolean on) {
        glDebugMessageControl(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, on);
    }
};

void expectEmpty(const FFGLShader& shader) {
    EXPECT_FALSE(shader.IsReady());
    EXPECT_EQ(shader.GetGLID(), 0u);
    EXPECT_EQ(shader.GetVertexShaderGLID(), 0u);
    EXPECT_EQ(shader.GetGeometryShaderGLID(), 0u);
    EXPECT_EQ(shader.GetFragmentShaderGLID(), 0u);
}

TEST_F(GLTest, ShaderCompilesAndLinksTwoAndThreeStages) {
    FFGLShader shader;
    ASSERT_TRUE(shader.Compile(std::string(kVertex), std::string(kFragment)));
    EXPECT_TRUE(shader.IsReady());
    EXPECT_TRUE(glIsProgram(shader.GetGLID()));
    EXPECT_TRUE(glIsShader(shader.GetVertexShaderGLID()));
    EXPECT_TRUE(glIsShader(shader.GetFragmentShaderGLID()));
    EXPECT_EQ(shader.GetGeometryShaderGLID(), 0u);
    const GLuint program = shader.GetGLID();
    shader.FreeGLResources();
    expectEmpty(shader);
    EXPECT_FALSE(glIsProgram(program));

    FFGLShader withGeometry;
    ASSERT_TRUE(withGeometry.Compile(kVertex, kGeometry, kGeometryFragment));
    EXPECT_NE(withGeometry.GetGeometryShaderGLID(), 0u);
    withGeometry.FreeGLResources();

    // A null geometry source is the two-stage compile.
    FFGLShader nullGeometry;
    ASSERT_TRUE(nullGeometry.Compile(kVertex, nullptr, kFragment));
    EXPECT_EQ(nullGeometry.GetGeometryShaderGLID(), 0u);
    nullGeometry.FreeGLResources();
    nullGeometry.FreeGLResources();  // empty again: harmless
}

TEST_F(GLTest, ShaderRefusesMissingSourcesWithoutCreatingAnything) {
    FFGLShader shader;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile(nullptr, kFragment));
    EXPECT_FALSE(shader.Compile("", kFragment));
    EXPECT_FALSE(shader.Compile(kVertex, ""));  // no fragment and no varyings
    EXPECT_FALSE(shader.Compile(kVertex, nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    expectEmpty(shader);
}

TEST_F(GLTest, ShaderFragmentSyntaxErrorLogsOneLineAndEmptiesTheShader) {
    MuteCompilerMessages mute;
    FFGLShader shader;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile(kVertex, kBrokenFragment));
    const std::vector<std::string> out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 1u) << "one log line expected:\n" << testing::PrintToString(out);
    EXPECT_EQ(out[0].rfind("Fragment Shader error: ", 0), 0u) << out[0];
    EXPECT_GT(out[0].size(), std::string("Fragment Shader error: ").size()) << "the driver's log is missing";
    expectEmpty(shader);

    // The same object compiles fine afterwards.
    ASSERT_TRUE(shader.Compile(kVertex, kFragment));
    shader.FreeGLResources();
}

TEST_F(GLTest, ShaderVertexSyntaxErrorLogsTheVertexPrefix) {
    MuteCompilerMessages mute;
    FFGLShader shader;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile("#version 410 core\nvoid main() { gl_Position = ; }\n", kFragment));
    const std::vector<std::string> out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].rfind("Vertex Shader error: ", 0), 0u) << out[0];
    expectEmpty(shader);
}

TEST_F(GLTest, ShaderLinkErrorFromAnUnwrittenVaryingCarriesTheFragmentPrefix) {
    FFGLShader shader;
    shader.AddTransformFeedbackVarying("neverWritten");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.Compile(kVertex, kFragment));
    const std::vector<std::string> out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].rfind("Fragment Shader error: ", 0), 0u) << out[0];
    expectEmpty(shader);
}

TEST_F(GLTest, ShaderVertexOnlyProgramThroughAVarying) {
    FFGLShader shader;
    shader.AddTransformFeedbackVarying("doubled");
    ASSERT_TRUE(shader.Compile(kFeedbackVertex, ""));
    EXPECT_EQ(shader.GetFragmentShaderGLID(), 0u);
    GLint count = 0;
    glGetProgramiv(shader.GetGLID(), GL_TRANSFORM_FEEDBACK_VARYINGS, &count);
    EXPECT_EQ(count, 1);

    // The varyings survive FreeGLResources, so a recompile links the same way.
    shader.FreeGLResources();
    ASSERT_TRUE(shader.Compile(kFeedbackVertex, nullptr));
    shader.FreeGLResources();
}

TEST_F(GLTest, ShaderSetWritesByNameAndIgnoresMissingUniforms) {
    FFGLShader shader;
    ASSERT_TRUE(shader.Compile(kVertex, kFragment));
    EXPECT_GE(shader.FindUniform("tint"), 0);
    EXPECT_EQ(shader.FindUniform("missing"), -1);
    {
        ffglex::ScopedShaderBinding bind(shader.GetGLID());
        shader.Set("tint", 0.1f, 0.2f, 0.3f, 0.4f);
        shader.Set("gain", 2.5f);
        shader.Set("image", 3);
        // Not active uniforms: nothing happens and nothing is reported
        // (the fixture fails the test on any GL error).
        shader.Set("missing", 1.0f);
        shader.Set("missing", 1.0f, 2.0f);
        shader.Set("missing", 1.0f, 2.0f, 3.0f);
        shader.Set("missing", 1.0f, 2.0f, 3.0f, 4.0f);
        shader.Set("missing", 7);
    }
    GLfloat tint[4] = {};
    glGetUniformfv(shader.GetGLID(), shader.FindUniform("tint"), tint);
    EXPECT_FLOAT_EQ(tint[2], 0.3f);
    GLfloat gain = 0;
    glGetUniformfv(shader.GetGLID(), shader.FindUniform("gain"), &gain);
    EXPECT_FLOAT_EQ(gain, 2.5f);
    GLint unit = 0;
    glGetUniformiv(shader.GetGLID(), shader.FindUniform("image"), &unit);
    EXPECT_EQ(unit, 3);
    shader.FreeGLResources();

    // An empty shader has no uniforms and leaves no GL error behind.
    EXPECT_EQ(shader.FindUniform("tint"), -1);
}

}  // namespace
