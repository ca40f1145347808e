/*
 * FFGLABI.h -- the binary contract between an FFGL 2.1 host and a plugin module.
 *
 * This header holds only what both sides share: function codes, result codes,
 * parameter type and usage codes, capability codes, the FFMixed argument and
 * the records a host passes by pointer. It has no C++ classes and compiles as
 * C99/C11 and as C++, so a host written in C can include it unchanged.
 *
 * THE CALL
 *   A host loads the module, looks up `plugMain` by its plain name and calls
 *
 *       FFMixed plugMain(uint32_t functionCode, FFMixed input, FFInstanceID instance);
 *
 *   one call at a time, on one thread. Codes that reach an instance's GL work
 *   (FF_INSTANTIATE_GL, FF_PROCESS_OPENGL, FF_DEINSTANTIATE_GL) need the host's
 *   OpenGL 4.1 core context current. Nothing ever throws across this boundary:
 *   every failure comes back as FF_FAIL (or a null pointer where the answer is
 *   a text or a record).
 *
 * FFMixed
 *   A 64-bit value. A 32-bit answer (result, count, index, type, flag) sits in
 *   the low 32 bits with the high 32 bits zero, so a failure reads as
 *   0x00000000FFFFFFFF to a 64-bit caller. A float travels as its IEEE-754
 *   single-precision bits in the low 32 bits. A pointer fills all 64 bits.
 *   Build values with ffMixedU32 / ffMixedFloat / ffMixedPtr, never by setting
 *   one member of an uninitialised union.
 *
 * INSTANCE IDENTIFIERS
 *   The third argument is either null (global query) or exactly a value that
 *   FF_INSTANTIATE_GL of this same module returned and FF_DEINSTANTIATE_GL has
 *   not yet consumed. An identifier is the instance's address: after
 *   FF_DEINSTANTIATE_GL it points at freed memory and must not be passed
 *   again, not even to FF_DEINSTANTIATE_GL.
 *   Release builds trust the host on this: a stale or foreign identifier is
 *   undefined behaviour. Debug builds (and builds with
 *   TESSIVAR_CHECK_INSTANCES=1) keep a set of live instances, refuse any
 *   other identifier with the code's failure answer without touching it, and
 *   log one line naming the code and the identifier to standard error and to
 *   the host's log callback. They cannot tell a stale identifier from a newer
 *   instance that happens to occupy the same address.
 *
 * RECORDS
 *   All records are little-endian with natural alignment; their sizes and every
 *   field offset are pinned by static assertions at the bottom of this file.
 *   The host owns every record and keeps it valid for the duration of the call.
 *
 * FUNCTION CODES (one line each: input -> answer; [I] needs an instance)
 *   0  FF_GET_INFO                        ignored -> PluginInfoStruct*, null when none registered
 *   2  FF_DEINITIALISE                    ignored -> FF_SUCCESS; destroys the prototype
 *   4  FF_GET_NUM_PARAMETERS              ignored -> parameter count
 *   5  FF_GET_PARAMETER_NAME              index -> char[16] (no terminator when full), or null
 *   6  FF_GET_PARAMETER_DEFAULT           index -> float bits, or char* for text/file types
 *   7  FF_GET_PARAMETER_DISPLAY       [I] index -> zero-terminated display text
 *   8  FF_SET_PARAMETER               [I] SetParameterStruct* -> result
 *   9  FF_GET_PARAMETER               [I] index -> float bits, or char* for text/file types
 *   10 FF_GET_PLUGIN_CAPS                 capability code -> 1 / 0 (or a count for 10 and 11)
 *   13 FF_GET_EXTENDED_INFO               ignored -> PluginExtendedInfoStruct*, or null
 *   15 FF_GET_PARAMETER_TYPE              index -> FF_TYPE_* code
 *   16 FF_GET_INPUT_STATUS            [I] input number -> 1 in use, else FF_FAIL
 *   17 FF_PROCESS_OPENGL              [I] ProcessOpenGLStruct* -> result (null input: FF_FAIL)
 *   18 FF_INSTANTIATE_GL                  FFGLViewportStruct* -> new FFInstanceID, or FF_FAIL
 *   19 FF_DEINSTANTIATE_GL            [I] ignored -> FF_SUCCESS; the identifier is dead afterwards
 *   20 FF_SET_TIME                    [I] double* -> result (null input: FF_FAIL)
 *   21 FF_CONNECT                     [I] ignored -> result of the instance's Connect
 *   22 FF_DISCONNECT                  [I] ignored -> result of the instance's Disconnect
 *   23 FF_RESIZE                      [I] FFGLViewportStruct* -> result
 *   31 FF_GET_NUM_PARAMETER_ELEMENTS      index -> element count
 *   32 FF_GET_PARAMETER_USAGE             index -> FF_USAGE_* code
 *   33 FF_GET_PLUGIN_SHORT_NAME           ignored -> char*, or null
 *   34 FF_INITIALISE_V2                   ignored -> FF_SUCCESS once a prototype exists
 *   35 FF_GET_PARAMETER_ELEMENT_NAME      ElementQueryStruct* -> char*, or null
 *   36 FF_GET_PARAMETER_ELEMENT_DEFAULT   ElementQueryStruct* -> float bits
 *   37 FF_SET_PARAMETER_ELEMENT_VALUE [I] SetElementValueStruct* -> result
 *   38 FF_SET_BEAT_INFO               [I] BeatInfoStruct* -> FF_SUCCESS
 *   39 FF_SET_HOST_INFO               [I] HostInfoStruct* -> FF_SUCCESS
 *   40 FF_SET_SAMPLE_RATE             [I] sample rate -> FF_SUCCESS
 *   41 FF_GET_RANGE                       RangeQueryStruct* -> FF_SUCCESS, range written
 *   42 FF_GET_THUMBNAIL                   GetThumbnailStruct* -> result (null input: FF_FAIL)
 *   43 FF_GET_NUM_FILE_PARAMETER_EXTENSIONS index -> count
 *   44 FF_GET_FILE_PARAMETER_EXTENSION    ElementQueryStruct* -> char*, or null
 *   45 FF_GET_PARAMETER_VISIBILITY    [-] index -> 1 / 0; from the instance if given, else the prototype
 *   46 FF_GET_PARAMETER_EVENTS        [I] ParamEventsQueryStruct* -> FF_SUCCESS, count written
 *   47 FF_GET_NUM_ELEMENT_SEPARATORS      index -> count (0 on failure)
 *   48 FF_GET_SEPARATOR_ELEMENT_INDEX     ElementQueryStruct* -> element index
 *   49 FF_ENABLE_PLUGIN_CAP           [I] capability code -> result (only 16 can be enabled)
 *   50 FF_GET_PARAMETER_GROUP             GroupQueryStruct* -> FF_SUCCESS, group bytes copied
 *   Every other code answers FF_FAIL and changes nothing.
 *   Only codes 17, 18, 20, 42 and 50 accept a null record; for the others the
 *   host passes a valid, complete record.
 */
#ifndef TESSIVAR_FFGLABI_H
#define TESSIVAR_FFGLABI_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#define FFGL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define FFGL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---- symbol export ---------------------------------------------------- */
#if defined(_WIN32)
/* A module's .def file exports every host-facing name by its plain spelling;
   dllexport here would add the C++ operations' decorated names as well. */
#define FFGL_EXPORT
#else
#define FFGL_EXPORT __attribute__((visibility("default")))
#endif
/* The global operations behind the function codes (host/FFGL.h) are C++
   functions, exported under their mangled names on Linux and macOS as hosts
   there know them. On Windows the .def file exports each by its plain name,
   and MinGW and MSVC decorate C++ names each their own way: there they have
   C linkage, so the symbol is the plain name under both compilers. */
#if defined(__cplusplus) && defined(_WIN32)
#define FFGL_OPERATION extern "C" FFGL_EXPORT
#else
#define FFGL_OPERATION FFGL_EXPORT
#endif

/* ---- FFMixed and identifiers ------------------------------------------ */
typedef union FFMixed {
    uint32_t UIntValue;
    void* PointerValue;
    uint64_t Bits; /* all 64 bits; zero-extended for 32-bit answers */
} FFMixed;

typedef void* FFInstanceID;

/* A result code (FF_SUCCESS / FF_FAIL) as the plugin's operations return it. */
typedef uint32_t FFResult;

static inline FFMixed ffMixedU32(uint32_t v) {
    FFMixed m;
    m.Bits = v;
    return m;
}
static inline FFMixed ffMixedFloat(float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    return ffMixedU32(bits);
}
static inline FFMixed ffMixedPtr(const void* p) {
    FFMixed m;
    m.Bits = 0;
    m.PointerValue = (void*)p;
    return m;
}
static inline float ffMixedToFloat(FFMixed m) {
    uint32_t bits = (uint32_t)m.Bits;
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

/* ---- result codes ----------------------------------------------------- */
#define FF_SUCCESS 0u
#define FF_FAIL 0xFFFFFFFFu
#define FF_SUPPORTED 1u
#define FF_UNSUPPORTED 0u

/* ---- function codes --------------------------------------------------- */
#define FF_GET_INFO 0u
#define FF_DEINITIALISE 2u
#define FF_GET_NUM_PARAMETERS 4u
#define FF_GET_PARAMETER_NAME 5u
#define FF_GET_PARAMETER_DEFAULT 6u
#define FF_GET_PARAMETER_DISPLAY 7u
#define FF_SET_PARAMETER 8u
#define FF_GET_PARAMETER 9u
#define FF_GET_PLUGIN_CAPS 10u
#define FF_GET_EXTENDED_INFO 13u
#define FF_GET_PARAMETER_TYPE 15u
#define FF_GET_INPUT_STATUS 16u
#define FF_PROCESS_OPENGL 17u
#define FF_INSTANTIATE_GL 18u
#define FF_DEINSTANTIATE_GL 19u
#define FF_SET_TIME 20u
#define FF_CONNECT 21u
#define FF_DISCONNECT 22u
#define FF_RESIZE 23u
#define FF_GET_NUM_PARAMETER_ELEMENTS 31u
#define FF_GET_PARAMETER_USAGE 32u
#define FF_GET_PLUGIN_SHORT_NAME 33u
#define FF_INITIALISE_V2 34u
#define FF_GET_PARAMETER_ELEMENT_NAME 35u
#define FF_GET_PARAMETER_ELEMENT_DEFAULT 36u
#define FF_SET_PARAMETER_ELEMENT_VALUE 37u
#define FF_SET_BEAT_INFO 38u
#define FF_SET_HOST_INFO 39u
#define FF_SET_SAMPLE_RATE 40u
#define FF_GET_RANGE 41u
#define FF_GET_THUMBNAIL 42u
#define FF_GET_NUM_FILE_PARAMETER_EXTENSIONS 43u
#define FF_GET_FILE_PARAMETER_EXTENSION 44u
#define FF_GET_PARAMETER_VISIBILITY 45u
#define FF_GET_PARAMETER_EVENTS 46u
#define FF_GET_NUM_ELEMENT_SEPARATORS 47u
#define FF_GET_SEPARATOR_ELEMENT_INDEX 48u
#define FF_ENABLE_PLUGIN_CAP 49u
#define FF_GET_PARAMETER_GROUP 50u

/* ---- capability codes (FF_GET_PLUGIN_CAPS, FF_ENABLE_PLUGIN_CAP) ------- */
#define FF_CAP_SET_TIME 5u
#define FF_CAP_MINIMUM_INPUT_FRAMES 10u
#define FF_CAP_MAXIMUM_INPUT_FRAMES 11u
#define FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION 16u

/* ---- plugin types (PluginInfoStruct.PluginType) ------------------------ */
#define FF_EFFECT 0u
#define FF_SOURCE 1u
#define FF_MIXER 2u

/* ---- parameter types -------------------------------------------------- */
#define FF_TYPE_BOOLEAN 0u
#define FF_TYPE_EVENT 1u
#define FF_TYPE_RED 2u
#define FF_TYPE_GREEN 3u
#define FF_TYPE_BLUE 4u
#define FF_TYPE_STANDARD 10u
#define FF_TYPE_OPTION 11u
#define FF_TYPE_BUFFER 12u
#define FF_TYPE_INTEGER 13u
#define FF_TYPE_FILE 14u
#define FF_TYPE_TEXT 100u
#define FF_TYPE_HUE 200u
#define FF_TYPE_SATURATION 201u
#define FF_TYPE_BRIGHTNESS 202u
#define FF_TYPE_ALPHA 203u

/* ---- parameter usages ------------------------------------------------- */
#define FF_USAGE_STANDARD 0u
#define FF_USAGE_FFT 1u

/* ---- parameter event flags -------------------------------------------- */
/* The value a plugin raises when it changed a parameter on its own. */
#define FF_EVENT_FLAG_VALUE 2ull

/* ---- records ---------------------------------------------------------- */
typedef struct FFGLViewportStruct {
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
} FFGLViewportStruct;

typedef struct FFGLTextureStruct {
    uint32_t Width; /* image size */
    uint32_t Height;
    uint32_t HardwareWidth; /* size of the GL texture holding the image */
    uint32_t HardwareHeight;
    uint32_t Handle; /* GL texture name */
} FFGLTextureStruct;

typedef struct ProcessOpenGLStruct {
    uint32_t numInputTextures;
    FFGLTextureStruct** inputTextures;
    uint32_t HostFBO; /* informational; the plugin draws into whatever is bound */
} ProcessOpenGLStruct;

typedef struct SetParameterStruct {
    uint32_t ParameterNumber;
    FFMixed NewParameterValue; /* float bits, or char* for text/file types */
} SetParameterStruct;

typedef struct ElementQueryStruct {
    uint32_t ParameterNumber;
    uint32_t Position; /* element, file extension or separator */
} ElementQueryStruct;

typedef struct SetElementValueStruct {
    uint32_t ParameterNumber;
    uint32_t ElementNumber;
    float NewParameterValue;
} SetElementValueStruct;

typedef struct BeatInfoStruct {
    float bpm;
    float barPhase;
} BeatInfoStruct;

typedef struct HostInfoStruct {
    const char* name;
    const char* version;
} HostInfoStruct;

typedef struct RangeQueryStruct {
    uint32_t ParameterNumber;
    float min; /* written by the plugin */
    float max; /* written by the plugin */
} RangeQueryStruct;

typedef struct ParamEventStruct {
    uint32_t ParameterNumber;
    uint64_t eventFlags;
} ParamEventStruct;

typedef struct ParamEventsQueryStruct {
    uint32_t numEvents; /* in: capacity of events; out: records written (or pending) */
    ParamEventStruct* events;
} ParamEventsQueryStruct;

typedef struct GroupQueryStruct {
    uint32_t ParameterNumber;
    char* buffer; /* receives min(len, capacity) bytes, no terminator */
    uint32_t capacity;
} GroupQueryStruct;

typedef struct GetThumbnailStruct {
    uint32_t width;   /* written by the plugin */
    uint32_t height;  /* written by the plugin */
    uint32_t* pixels; /* width*height*4 bytes, or null to ask for the size */
} GetThumbnailStruct;

typedef struct PluginInfoStruct {
    uint32_t APIMajorVersion;
    uint32_t APIMinorVersion;
    char PluginUniqueID[4]; /* no terminator */
    char PluginName[16];    /* terminator only when shorter than 16 */
    uint32_t PluginType;
} PluginInfoStruct;

typedef struct PluginExtendedInfoStruct {
    uint32_t PluginMajorVersion;
    uint32_t PluginMinorVersion;
    const char* Description;
    const char* About;
    uint32_t FreeFrameExtendedDataSize;
    const void* FreeFrameExtendedDataBlock;
} PluginExtendedInfoStruct;

typedef void (*FFLogCallback)(const char* message);

/* ---- exports looked up by name ---------------------------------------- */
/* Host thread, one call at a time; see the table above. */
FFGL_EXPORT FFMixed plugMain(uint32_t functionCode, FFMixed inputValue, FFInstanceID instanceID);
/* Any time; stores the host's log function (null clears it). */
FFGL_EXPORT void SetLogCallback(FFLogCallback callback);

/* ---- layout pins ------------------------------------------------------ */
FFGL_STATIC_ASSERT(sizeof(FFMixed) == 8, "FFMixed is 64 bits");
FFGL_STATIC_ASSERT(sizeof(FFGLViewportStruct) == 16, "viewport size");
FFGL_STATIC_ASSERT(offsetof(FFGLViewportStruct, x) == 0, "viewport.x");
FFGL_STATIC_ASSERT(offsetof(FFGLViewportStruct, y) == 4, "viewport.y");
FFGL_STATIC_ASSERT(offsetof(FFGLViewportStruct, width) == 8, "viewport.width");
FFGL_STATIC_ASSERT(offsetof(FFGLViewportStruct, height) == 12, "viewport.height");

FFGL_STATIC_ASSERT(sizeof(FFGLTextureStruct) == 20, "texture size");
FFGL_STATIC_ASSERT(offsetof(FFGLTextureStruct, Width) == 0, "texture.Width");
FFGL_STATIC_ASSERT(offsetof(FFGLTextureStruct, Height) == 4, "texture.Height");
FFGL_STATIC_ASSERT(offsetof(FFGLTextureStruct, HardwareWidth) == 8, "texture.HardwareWidth");
FFGL_STATIC_ASSERT(offsetof(FFGLTextureStruct, HardwareHeight) == 12, "texture.HardwareHeight");
FFGL_STATIC_ASSERT(offsetof(FFGLTextureStruct, Handle) == 16, "texture.Handle");

FFGL_STATIC_ASSERT(offsetof(ProcessOpenGLStruct, numInputTextures) == 0, "process.numInputTextures");
FFGL_STATIC_ASSERT(offsetof(ProcessOpenGLStruct, inputTextures) == 8, "process.inputTextures");
FFGL_STATIC_ASSERT(offsetof(ProcessOpenGLStruct, HostFBO) == 16, "process.HostFBO");
FFGL_STATIC_ASSERT(sizeof(ProcessOpenGLStruct) == 24, "process size");

FFGL_STATIC_ASSERT(sizeof(SetParameterStruct) == 16, "setparam size");
FFGL_STATIC_ASSERT(offsetof(SetParameterStruct, ParameterNumber) == 0, "setparam.index");
FFGL_STATIC_ASSERT(offsetof(SetParameterStruct, NewParameterValue) == 8, "setparam.value");

FFGL_STATIC_ASSERT(sizeof(ElementQueryStruct) == 8, "element query size");
FFGL_STATIC_ASSERT(offsetof(ElementQueryStruct, ParameterNumber) == 0, "element query.index");
FFGL_STATIC_ASSERT(offsetof(ElementQueryStruct, Position) == 4, "element query.position");

FFGL_STATIC_ASSERT(sizeof(SetElementValueStruct) == 12, "set element size");
FFGL_STATIC_ASSERT(offsetof(SetElementValueStruct, ParameterNumber) == 0, "set element.index");
FFGL_STATIC_ASSERT(offsetof(SetElementValueStruct, ElementNumber) == 4, "set element.element");
FFGL_STATIC_ASSERT(offsetof(SetElementValueStruct, NewParameterValue) == 8, "set element.value");

FFGL_STATIC_ASSERT(sizeof(BeatInfoStruct) == 8, "beat size");
FFGL_STATIC_ASSERT(offsetof(BeatInfoStruct, bpm) == 0, "beat.bpm");
FFGL_STATIC_ASSERT(offsetof(BeatInfoStruct, barPhase) == 4, "beat.barPhase");

FFGL_STATIC_ASSERT(sizeof(HostInfoStruct) == 16, "host info size");
FFGL_STATIC_ASSERT(offsetof(HostInfoStruct, name) == 0, "host info.name");
FFGL_STATIC_ASSERT(offsetof(HostInfoStruct, version) == 8, "host info.version");

FFGL_STATIC_ASSERT(sizeof(RangeQueryStruct) == 12, "range size");
FFGL_STATIC_ASSERT(offsetof(RangeQueryStruct, ParameterNumber) == 0, "range.index");
FFGL_STATIC_ASSERT(offsetof(RangeQueryStruct, min) == 4, "range.min");
FFGL_STATIC_ASSERT(offsetof(RangeQueryStruct, max) == 8, "range.max");

FFGL_STATIC_ASSERT(sizeof(ParamEventStruct) == 16, "event size");
FFGL_STATIC_ASSERT(offsetof(ParamEventStruct, ParameterNumber) == 0, "event.index");
FFGL_STATIC_ASSERT(offsetof(ParamEventStruct, eventFlags) == 8, "event.flags");

FFGL_STATIC_ASSERT(sizeof(ParamEventsQueryStruct) == 16, "events query size");
FFGL_STATIC_ASSERT(offsetof(ParamEventsQueryStruct, numEvents) == 0, "events query.count");
FFGL_STATIC_ASSERT(offsetof(ParamEventsQueryStruct, events) == 8, "events query.array");

FFGL_STATIC_ASSERT(offsetof(GroupQueryStruct, ParameterNumber) == 0, "group.index");
FFGL_STATIC_ASSERT(offsetof(GroupQueryStruct, buffer) == 8, "group.buffer");
FFGL_STATIC_ASSERT(offsetof(GroupQueryStruct, capacity) == 16, "group.capacity");
FFGL_STATIC_ASSERT(sizeof(GroupQueryStruct) == 24, "group size");

FFGL_STATIC_ASSERT(sizeof(GetThumbnailStruct) == 16, "thumbnail size");
FFGL_STATIC_ASSERT(offsetof(GetThumbnailStruct, width) == 0, "thumbnail.width");
FFGL_STATIC_ASSERT(offsetof(GetThumbnailStruct, height) == 4, "thumbnail.height");
FFGL_STATIC_ASSERT(offsetof(GetThumbnailStruct, pixels) == 8, "thumbnail.pixels");

FFGL_STATIC_ASSERT(sizeof(PluginInfoStruct) == 32, "info size");
FFGL_STATIC_ASSERT(offsetof(PluginInfoStruct, APIMajorVersion) == 0, "info.APIMajorVersion");
FFGL_STATIC_ASSERT(offsetof(PluginInfoStruct, APIMinorVersion) == 4, "info.APIMinorVersion");
FFGL_STATIC_ASSERT(offsetof(PluginInfoStruct, PluginUniqueID) == 8, "info.PluginUniqueID");
FFGL_STATIC_ASSERT(offsetof(PluginInfoStruct, PluginName) == 12, "info.PluginName");
FFGL_STATIC_ASSERT(offsetof(PluginInfoStruct, PluginType) == 28, "info.PluginType");

FFGL_STATIC_ASSERT(sizeof(PluginExtendedInfoStruct) == 40, "extended info size");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, PluginMajorVersion) == 0, "ext.major");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, PluginMinorVersion) == 4, "ext.minor");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, Description) == 8, "ext.Description");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, About) == 16, "ext.About");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, FreeFrameExtendedDataSize) == 24, "ext.size");
FFGL_STATIC_ASSERT(offsetof(PluginExtendedInfoStruct, FreeFrameExtendedDataBlock) == 32, "ext.block");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TESSIVAR_FFGLABI_H */
