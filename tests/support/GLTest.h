// GLTest -- the one fixture every GL test derives from.
//
// The headless context is made once per test binary and stays current. A
// KHR_debug callback turns every message of type error into a failure of the
// running test, and each test also fails if it leaves glGetError non-empty.
// Where there is no KHR_debug (macOS), glGetError is what catches errors: at
// the end of each test and, through GLStateGuard, after each plugMain call.
#pragma once

#include "runner/GLFrame.h"
#include "runner/platform/gl/HeadlessGL.h"
#include "tests/support/AbiHost.h"

#include <gtest/gtest.h>

namespace testhost {

class GLTest : public ::testing::Test {
public:
    // The process-wide context; null (with the reason) if none could be made.
    static tessivar::HeadlessGL* Context();
    static const std::string& ContextError();

protected:
    void SetUp() override;
    void TearDown() override;
};

// Fails the running test when a plugMain call changes the GL state a host
// relies on (GLStateSnapshot), or, without KHR_debug, leaves GL errors
// queued; with it they are already caught by the fixture's debug callback. Install it with Module::Observe; calls made while no
// context is current are not checked.
class GLStateGuard : public CallObserver {
public:
    void Before(uint32_t code) override;
    void After(uint32_t code) override;

private:
    bool active = false;
    tessivar::GLStateSnapshot before;
};

}  // namespace testhost
