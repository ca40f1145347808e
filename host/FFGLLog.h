// FFGLLog.h -- passing messages to the host's log.
//
// The host hands over its log function through the exported C function
// SetLogCallback (declared in FFGLABI.h); FFGLLog::SetLogCallback does the
// same from inside the module. LogToHost passes a message on unchanged (no
// copy, no line end added) and drops it while no function is set or when the
// message is null. Host thread only.
#pragma once

#include "host/FFGLABI.h"

namespace FFGLLog {
void SetLogCallback(FFLogCallback callback);  // null switches logging off
void LogToHost(const char* message);
}  // namespace FFGLLog
