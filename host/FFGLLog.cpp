#include "host/FFGLLog.h"

namespace {
FFLogCallback s_logCallback = nullptr;
}

namespace FFGLLog {

void SetLogCallback(FFLogCallback callback) { s_logCallback = callback; }

void LogToHost(const char* message) {
    if (s_logCallback && message) s_logCallback(message);
}

}  // namespace FFGLLog
