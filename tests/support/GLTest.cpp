#include "tests/support/GLTest.h"

#include "gl/GLIncludes.h"

namespace testhost {
namespace {

struct Shared {
    std::unique_ptr<tessivar::HeadlessGL> gl;
    std::string error;
    bool tried = false;
    bool routed = false;  // KHR_debug reports errors; otherwise poll glGetError
};

Shared& shared() {
    static Shared s;
    if (!s.tried) {
        s.tried = true;
        s.gl = tessivar::HeadlessGL::Create(s.error);
        if (s.gl) {
            s.routed = s.gl->SetDebugSink([](unsigned type, unsigned severity, const std::string& message) {
                if (type == tessivar::HeadlessGL::kDebugTypeError) {
                    ADD_FAILURE() << "KHR_debug error (severity 0x" << std::hex << severity << "): " << message;
                }
            });
        }
    }
    return s;
}

}  // namespace

tessivar::HeadlessGL* GLTest::Context() { return shared().gl.get(); }
const std::string& GLTest::ContextError() { return shared().error; }

void GLTest::SetUp() {
    ASSERT_NE(Context(), nullptr) << "no headless OpenGL context: " << ContextError();
    ASSERT_TRUE(ffglex::LoadGLEntryPoints());
    tessivar::DrainGLErrors();
}

void GLTest::TearDown() {
    if (Context()) {
        EXPECT_EQ(tessivar::DrainGLErrors(), 0u) << "the test left GL errors queued";
    }
}

void GLStateGuard::Before(uint32_t) {
    active = glGetString(GL_VERSION) != nullptr;
    if (active) before = tessivar::GLStateSnapshot::Capture();
}

void GLStateGuard::After(uint32_t code) {
    if (!active) return;
    // Without KHR_debug (macOS) an error is pinned to its call by polling.
    if (!shared().routed) {
        EXPECT_EQ(tessivar::DrainGLErrors(), 0u) << "function code " << code << " left GL errors";
    }
    EXPECT_EQ(before.Diff(tessivar::GLStateSnapshot::Capture()), "")
        << "function code " << code << " changed the host's GL state";
}

}  // namespace testhost
