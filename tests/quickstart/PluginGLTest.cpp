// The quick-start plugin base with a real context: what reaches the shader,
// the GLSL snippets themselves, and what a refused frame leaves behind.
#include "gl/GLIncludes.h"
#include "quickstart/FFGLQuickstart.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <string>

using namespace ffglqs;
using tessivar::GLStateSnapshot;
using tessivar::Image;
using tessivar::RenderTarget;
using testhost::GLTest;

namespace {

// A source whose fragment code is given by the test; counts Clean calls.
class Probe : public Source {
public:
    explicit Probe(const std::string& code) { SetFragmentShader(code); }
    void Clean() override { ++cleaned; }
    int cleaned = 0;
};

class ProbeEffect : public Effect {
public:
    ProbeEffect() {
        AddParam(ParamTrigger::Create("go"));
        SetFragmentShader("void main() { fragColor = texture( inputTexture, i_uv ); }");
    }
};

const FFGLViewportStruct kViewport = { 0, 0, 4, 4 };

// One frame into a 4 x 4 target; the colour of its centre.
struct Frame {
    FFResult result;
    uint8_t rgba[4];
};

Frame Render(Plugin& plugin, ProcessOpenGLStruct* process = nullptr) {
    RenderTarget target;
    EXPECT_TRUE(target.Create(4, 4));
    target.Bind();
    target.Clear(0, 0, 0, 0);
    ProcessOpenGLStruct none = { 0, nullptr, 0 };
    Frame frame{ plugin.ProcessOpenGL(process ? process : &none), {} };
    const Image image = target.Read();
    for (int c = 0; c < 4; ++c)
        frame.rgba[c] = image.At(2, 2)[c];
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return frame;
}

void ExpectColour(const Frame& frame, int r, int g, int b) {
    EXPECT_EQ(frame.result, FF_SUCCESS);
    EXPECT_EQ(frame.rgba[0], r);
    EXPECT_EQ(frame.rgba[1], g);
    EXPECT_EQ(frame.rgba[2], b);
}

}  // namespace

TEST_F(GLTest, QuickstartFirstFrameSendsClockAndViewport) {
    Probe plugin(R"(
void main()
{
	fragColor = vec4( frame == 1, deltaTime == time && time > 0.0, resolution == vec2( 4.0 ), 1.0 );
})");
    ASSERT_EQ(plugin.InitGL(&kViewport), FF_SUCCESS);
    ExpectColour(Render(plugin), 255, 255, 255);
    ExpectColour(Render(plugin), 0, 0, 255);  // frame 2: deltaTime is now the gap
    plugin.DeInitGL();
}

TEST_F(GLTest, QuickstartColourGroupsBoolsAndTriggersAsUniforms) {
    Probe plugin(R"(
void main()
{
	fragColor = vec4( hue == vec4( 1.0 ), flag && !off, go, rgb == vec3( 0.5 ) );
})");
    plugin.AddHueColorParam("hue");
    auto flag = ParamBool::Create("flag");
    plugin.AddParam(flag);
    plugin.AddParam(ParamEvent::Create("off"));
    auto go = ParamTrigger::Create("go");
    plugin.AddParam(go);
    plugin.AddRGBColorParam("rgb");
    ASSERT_EQ(plugin.InitGL(&kViewport), FF_SUCCESS);

    flag->SetValue(0.5f);  // any non-zero value is true
    go->SetValue(1.0f);
    Frame first = Render(plugin);
    ExpectColour(first, 255, 255, 255);
    EXPECT_EQ(first.rgba[3], 255);
    EXPECT_EQ(go->GetValue(), 0.0f);
    ExpectColour(Render(plugin), 255, 255, 0);  // the trigger lasted one frame

    // A pure red hue group: (0, 1, 1) in HSV with alpha 1.
    plugin.SetFloatParameter(1, 1.0f);
    ExpectColour(Render(plugin), 0, 255, 0);
    plugin.DeInitGL();
}

TEST_F(GLTest, QuickstartSnippetsComputeWhatTheyPromise) {
    Probe plugin(R"(
void main()
{
	float n = fractal_noise( vec3( i_uv * 3.0, 0.5 ), vec4( 0.5, 0.25, 0.125, 0.0625 ) );
	float r = random();
	bool randomOk = random( uvec2( 0u, 0u ) ) == 0.0 && r >= 0.0 && r <= 1.0
		&& all( greaterThanEqual( random3( uvec3( 7u, 8u, 9u ) ), vec3( 0.0 ) ) );
	bool mapOk = map( 0.5, 0.0, 2.0 ) == 0.25 && map( 3.0, 0.0, 2.0 ) == 1.0
		&& map( 5.0, 0.0, 10.0, 100.0, 200.0 ) == 150.0
		&& map( 20.0, 0.0, 10.0, 100.0, 200.0 ) == 200.0
		&& map( -5.0, 0.0, 10.0, 100.0, 200.0 ) == 100.0
		&& map( 2.5, 0.0, 10.0, 200.0, 100.0 ) == 175.0
		&& map( vec2( 1.0, 4.0 ), vec2( 0.0 ), vec2( 2.0 ) ) == vec2( 0.5, 1.0 );
	bool noiseOk = n > -1.0 && n < 1.0 && random3( vec3( 0.3 ) ) == fract( random3( vec3( 0.3 ) ) );
	fragColor = vec4( randomOk, mapOk, noiseOk, 1.0 );
})");
    plugin.Include(shader::noise);
    plugin.Include(shader::map);
    plugin.Include(shader::random);
    ASSERT_EQ(plugin.InitGL(&kViewport), FF_SUCCESS);
    ExpectColour(Render(plugin), 255, 255, 255);
    plugin.DeInitGL();
}

TEST_F(GLTest, QuickstartFailedInitReleasesEverything) {
    // The compiler's complaint is expected here, not a test failure.
    glDebugMessageControl(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_FALSE);
    ::testing::internal::CaptureStdout();
    Probe plugin("void main() { this is not glsl }");
    const FFResult result = plugin.InitGL(&kViewport);
    const std::string log = ::testing::internal::GetCapturedStdout();
    glDebugMessageControl(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    EXPECT_EQ(result, FF_FAIL);
    EXPECT_NE(log.find("Fragment Shader error: "), std::string::npos);
    EXPECT_EQ(plugin.cleaned, 1);
    // Destruction checks that no GL name is left: reaching the end is the test.
}

TEST_F(GLTest, QuickstartRefusedFrameChangesNothingButTriggers) {
    ProbeEffect effect;
    ASSERT_EQ(effect.InitGL(&kViewport), FF_SUCCESS);
    FFGLTextureStruct* noInput[1] = { nullptr };
    ProcessOpenGLStruct nullInput = { 1, noInput, 0 };

    ProcessOpenGLStruct noInputs = { 0, nullptr, 0 };
    RenderTarget target;
    ASSERT_TRUE(target.Create(4, 4));
    target.Bind();
    const GLStateSnapshot before = GLStateSnapshot::Capture();

    effect.SetFloatParameter(0, 1.0f);
    EXPECT_EQ(effect.ProcessOpenGL(&noInputs), FF_FAIL);
    EXPECT_EQ(effect.ProcessOpenGL(&nullInput), FF_FAIL);
    EXPECT_EQ(before.Diff(GLStateSnapshot::Capture()), "");
    EXPECT_EQ(effect.GetFloatParameter(0), 0.0f);
    effect.DeInitGL();

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
