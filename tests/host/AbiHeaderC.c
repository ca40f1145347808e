/* The ABI header as a C compiler sees it. Compiling this file at all proves
 * the header is C; the numbers below let the C++ side compare the layouts. */
#include <stddef.h>

#include "host/FFGLABI.h"

const size_t tessivarCLayout[] = {
    sizeof(FFMixed),
    sizeof(FFGLViewportStruct),
    sizeof(FFGLTextureStruct),
    offsetof(ProcessOpenGLStruct, inputTextures),
    sizeof(ProcessOpenGLStruct),
    offsetof(SetParameterStruct, NewParameterValue),
    sizeof(SetElementValueStruct),
    sizeof(RangeQueryStruct),
    offsetof(ParamEventStruct, eventFlags),
    offsetof(ParamEventsQueryStruct, events),
    offsetof(GroupQueryStruct, capacity),
    offsetof(GetThumbnailStruct, pixels),
    offsetof(PluginInfoStruct, PluginType),
    offsetof(PluginExtendedInfoStruct, FreeFrameExtendedDataBlock),
};
const size_t tessivarCLayoutCount = sizeof tessivarCLayout / sizeof tessivarCLayout[0];

uint64_t tessivarCFailBits(void) { return ffMixedU32(FF_FAIL).Bits; }
uint64_t tessivarCPointerBits(const void* p) { return ffMixedPtr(p).Bits; }
float tessivarCFloatRoundTrip(float f) { return ffMixedToFloat(ffMixedFloat(f)); }
