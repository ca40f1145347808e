// The ABI header as a C compiler sees it. Compiling this file at all proves
// the header is C, layout checks included; the helpers below let the C++ side
// see what the FFMixed helpers make when compiled as C.
#include "host/FFGLABI.h"

uint64_t tessivarCFailBits(void) { return ffMixedU32(FF_FAIL).Bits; }
uint64_t tessivarCPointerBits(const void* p) { return ffMixedPtr(p).Bits; }
float tessivarCFloatRoundTrip(float f) { return ffMixedToFloat(ffMixedFloat(f)); }
