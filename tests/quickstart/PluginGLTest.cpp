// The quick-start plugin base with a real context: what reaches the shader,
// the GLSL snippets themselves, and what a failed build leaves behind.
// Parameter uniforms of every kind and refused frames are rendered end to
// end by the examples.
#include "gl/GLIncludes.h"
#include "quickstart/FFGLQuickstart.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

#include <string>

using namespace ffglqs;
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

const FFGLViewportStruct kViewport = { 0, 0, 4, 4 };

// One frame into a 4 x 4 target: succeeds, and the centre is (r, g, b).
void ExpectFrame(Plugin& plugin, int r, int g, int b) {
    RenderTarget target;
    ASSERT_TRUE(target.Create(4, 4));
    target.Bind();
    target.Clear(0, 0, 0, 0);
    ProcessOpenGLStruct none = { 0, nullptr, 0 };
    EXPECT_EQ(plugin.ProcessOpenGL(&none), FF_SUCCESS);
    const tessivar::Image image = target.Read();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const uint8_t* p = image.At(2, 2);
    EXPECT_EQ(p[0], r);
    EXPECT_EQ(p[1], g);
    EXPECT_EQ(p[2], b);
}

}  // namespace

TEST_F(GLTest, QuickstartFirstFrameSendsClockAndViewport) {
    Probe plugin(R"(
void main()
{
	fragColor = vec4( frame == 1, deltaTime == time && time > 0.0, resolution == vec2( 4.0 ), 1.0 );
})");
    ASSERT_EQ(plugin.InitGL(&kViewport), FF_SUCCESS);
    ExpectFrame(plugin, 255, 255, 255);
    ExpectFrame(plugin, 0, 0, 255);  // frame 2: deltaTime is now the gap
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
    ExpectFrame(plugin, 255, 255, 255);
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
