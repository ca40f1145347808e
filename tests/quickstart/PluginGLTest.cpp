// The quick-start plugin base with a real context: what reaches the shader
// and what a failed build leaves behind. The snippets are rendered by the
// noise source example.
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

const FFGLViewportStruct kViewport = {0, 0, 4, 4};

// One frame into a 4 x 4 target: succeeds, and the centre is (r, g, b).
void ExpectFrame(Plugin& plugin, int r, int g, int b) {
    RenderTarget target;
    ASSERT_TRUE(target.Create(4, 4));
    target.Bind();
    target.Clear(0, 0, 0, 0);
    ProcessOpenGLStruct none = {0, nullptr, 0};
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

TEST_F(GLTest, QuickstartFailedInitReleasesEverything) {
    // The compiler's complaint is expected here, not a test failure.
    Context()->EnableCompilerMessages(false);
    ::testing::internal::CaptureStdout();
    Probe plugin("void main() { this is not glsl }");
    const FFResult result = plugin.InitGL(&kViewport);
    const std::string log = ::testing::internal::GetCapturedStdout();
    Context()->EnableCompilerMessages(true);
    EXPECT_EQ(result, FF_FAIL);
    EXPECT_NE(log.find("Fragment Shader error: "), std::string::npos);
    EXPECT_EQ(plugin.cleaned, 1);
    // Destruction checks that no GL name is left: reaching the end is the test.
}
