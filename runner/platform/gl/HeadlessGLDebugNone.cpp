// Debug messages where the driver has no KHR_debug (macOS stops at GL 4.1
// without it): nothing can be routed, so callers poll glGetError instead.
#include "runner/platform/gl/HeadlessGL.h"

#include <utility>

namespace tessivar {

bool HeadlessGL::SetDebugSink(DebugSink newSink) {
    sink = std::move(newSink);
    return false;
}

void HeadlessGL::EnableCompilerMessages(bool) {}

}  // namespace tessivar
