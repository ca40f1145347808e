// GLTest -- the one fixture every GL test derives from.
//
// The headless context is made once per test binary and stays current. A
// KHR_debug callback turns every message of type error into a failure of the
// running test, and each test also fails if it leaves glGetError non-empty.
#pragma once

#include "runner/GLFrame.h"
#include "runner/HeadlessGL.h"

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

}  // namespace testhost
