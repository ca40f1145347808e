#include "tests/host/modules/TestModuleSupport.h"

#include "host/FFGLABI.h"

namespace {
TestModuleControl s_control;
}

extern "C" FFGL_EXPORT TestModuleControl* tessivarTestControl(void) { return &s_control; }

TestModuleControl& Control() { return s_control; }

void Trace(char letter) {
    if (s_control.traceLength + 1 < sizeof s_control.trace) s_control.trace[s_control.traceLength++] = letter;
}
