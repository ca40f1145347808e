// TestModuleControl.h -- how a test reaches inside a frame test module.
//
// Each test module exports `tessivarTestControl`, which answers the address of
// its one TestModuleControl. The module appends one letter to `trace` for
// every call the frame makes into its plugin objects, and reads the knobs
// below to decide how to behave. Counting calls from the letters lets a test
// check order as well as number (e.g. "NI" then "CPP" then "DUX").
//
//   N constructed   X destroyed   I InitGL   U DeInitGL   C Connect
//   D Disconnect    P ProcessOpenGL   R Resize
#ifndef TESSIVAR_TEST_MODULE_CONTROL_H
#define TESSIVAR_TEST_MODULE_CONTROL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TestModuleControl {
    char trace[256];
    uint32_t traceLength;
    uint32_t connectResult;     // what Connect answers (FF_SUCCESS by default)
    uint32_t disconnectResult;  // what Disconnect answers
    // FaultyPlugin's faults; see FaultyPlugin.cpp.
    uint32_t throwInConstructor, factoryFails, throwInInitGL, throwInSetters, initGLWorks;
} TestModuleControl;

typedef TestModuleControl* (*TestModuleControlFn)(void);
#define TESSIVAR_TEST_CONTROL_SYMBOL "tessivarTestControl"

#ifdef __cplusplus
}
#endif

#endif
