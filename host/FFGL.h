// FFGL.h -- the exported global operations behind plugMain's function codes.
//
// plugMain (FFGLABI.h) is what a host calls; each function here carries out
// one code exactly as plugMain answers it, and is exported for hosts that
// look them up by name. They live in the tessivar_entry object library, which
// every module compiles in, so each module has its own prototype and state.
//
// "Prototype" below is the one plugin object made by the registered factory on
// first need (or by initialise) that stands for the plugin in global queries;
// it never gets GL work. If it cannot be made (no record registered, or the
// factory fails or throws), each query gives the failure answer in brackets.
//
// Host thread, one call at a time. None of these throws: a failure, including
// a failed allocation, comes back as its failure answer.
#pragma once

#include "host/FFGLABI.h"

FFGL_OPERATION FFMixed getInfo();                                          // PluginInfoStruct* [null]
FFGL_OPERATION FFMixed initialise();                                       // makes the prototype [FF_FAIL]
FFGL_OPERATION FFMixed deInitialise();                                     // destroys it; always FF_SUCCESS
FFGL_OPERATION FFMixed instantiateGL(const FFGLViewportStruct* viewport);  // instance id [FF_FAIL]; GL current
FFGL_OPERATION FFMixed deInstantiateGL(void* instanceID);                  // disconnect, DeInitGL, delete; GL current
FFGL_OPERATION FFMixed processGL(ProcessOpenGLStruct* process, void* instanceID);  // connects first [FF_FAIL]
FFGL_OPERATION FFMixed getNumParameters();                                         // [FF_FAIL]
FFGL_OPERATION FFMixed getParameterName(unsigned int index);                       // char[16] [null]
FFGL_OPERATION FFMixed getParameterDefault(unsigned int index);                    // float bits or text [FF_FAIL]
FFGL_OPERATION FFMixed getPluginCaps(unsigned int capability);                     // 1/0 or input count [FF_FAIL]
FFGL_OPERATION FFMixed getExtendedInfo();                                          // PluginExtendedInfoStruct* [null]
FFGL_OPERATION FFMixed getParameterType(unsigned int index);                       // FF_TYPE_* [FF_FAIL]
FFGL_OPERATION FFMixed getNumParameterElements(unsigned int index);                // [FF_FAIL]
FFGL_OPERATION FFMixed getParameterUsage(unsigned int index);                      // FF_USAGE_* [FF_FAIL]
FFGL_OPERATION FFMixed getPluginShortName();                                       // char* or null [null]
FFGL_OPERATION FFMixed getParameterElementName(unsigned int index, unsigned int element);     // [null]
FFGL_OPERATION FFMixed getParameterElementDefault(unsigned int index, unsigned int element);  // float bits [FF_FAIL]
FFGL_OPERATION FFMixed getParamRange(RangeQueryStruct& range);  // writes min/max; 0..1 if unregistered [FF_FAIL]
FFGL_OPERATION FFMixed getNumFileParameterExtensions(unsigned int index);                     // [FF_FAIL]
FFGL_OPERATION FFMixed getFileParameterExtension(unsigned int index, unsigned int position);  // [null]
FFGL_OPERATION FFMixed getDefaultParameterVisibility(unsigned int index);                     // 1/0 [FF_FAIL]
// (The element separators' two start with a capital: the names hosts look up.)
FFGL_OPERATION FFMixed GetNumElementSeparators(unsigned int index);                                 // [0]
FFGL_OPERATION FFMixed GetElementSeparatorElementIndex(unsigned int index, unsigned int position);  // [FF_FAIL]
FFGL_OPERATION FFMixed getParamGroup(GroupQueryStruct* query);  // copies min(len, capacity) bytes, no zero [FF_FAIL]
// getThumbnail is declared in FFGLThumbnail.h.

// No GL extensions to load: always true.
FFGL_OPERATION bool InitGLExts();
// Nothing to check: does nothing.
FFGL_OPERATION void ValidateContextState();
