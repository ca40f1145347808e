// FFGL.cpp -- plugMain: the one dispatch over the host's function codes, the
// prototype that answers global queries, and the instance life cycle.
//
// Compiled into every module (tessivar_entry), so each module keeps its own
// prototype. Nothing leaves this file as an exception: plugin code may throw
// (a failed allocation in a constructor, say), and the host then sees the
// code's failure answer instead of an unwinding through its own frames.
#include "host/FFGL.h"

#include "host/FFGLLog.h"
#include "host/FFGLPlugin.h"
#include "host/FFGLPluginInfo.h"
#include "host/FFGLThumbnail.h"

#include <cstdio>
#include <string>
#include <unordered_set>

// Checking instance identifiers costs a set lookup per call; debug builds pay
// it, release builds trust the host unless built with the macro set to 1.
#ifndef TESSIVAR_CHECK_INSTANCES
#ifdef NDEBUG
#define TESSIVAR_CHECK_INSTANCES 0
#else
#define TESSIVAR_CHECK_INSTANCES 1
#endif
#endif

// The entry point's view of the instance state it keeps.
struct CFFGLPluginEntryAccess {
    static bool& Connected(CFFGLPlugin& p) { return p.connected; }
    static void PointAtItself(CFFGLPlugin& p) { p.plugin = &p; }
};

namespace {

using Access = CFFGLPluginEntryAccess;

CFFGLPlugin* s_pPrototype = nullptr;

const FFMixed kFail = ffMixedU32(FF_FAIL);
const FFMixed kSuccess = ffMixedU32(FF_SUCCESS);
const FFMixed kNull = ffMixedPtr(nullptr);

// One new plugin object from the registered factory, or null. A factory that
// throws is a failed factory.
CFFGLPlugin* MakePlugin() noexcept {
    if (!g_CurrPluginInfo || !g_CurrPluginInfo->GetFactoryMethod()) return nullptr;
    CFFGLPlugin* made = nullptr;
    try {
        if (g_CurrPluginInfo->GetFactoryMethod()(&made) != FF_SUCCESS) return nullptr;
    } catch (...) {
        return nullptr;
    }
    return made;
}

#if TESSIVAR_CHECK_INSTANCES
// Every instance this module made and has not destroyed yet. A host may pass
// only these; anything else would be freed or foreign memory, so it is refused
// and logged instead of being touched. An identifier whose address a newer
// instance has taken again cannot be told apart from that instance.
std::unordered_set<const void*>& LiveInstances() {
    static std::unordered_set<const void*> live;
    return live;
}

void RememberInstance(const void* instance) { LiveInstances().insert(instance); }
void ForgetInstance(const void* instance) { LiveInstances().erase(instance); }

bool IsLiveInstance(uint32_t code, const void* instance) {
    if (!instance || LiveInstances().count(instance)) return true;
    char line[160];
    std::snprintf(line, sizeof line,
                  "plugMain: function code %u refused: instance %p is not a live instance of this module "
                  "(de-instantiated already, or never made here)\n",
                  code, instance);
    std::fputs(line, stderr);
    FFGLLog::LogToHost(line);
    return false;
}
#else
void RememberInstance(const void*) {}
void ForgetInstance(const void*) {}
bool IsLiveInstance(uint32_t, const void*) { return true; }
#endif

CFFGLPlugin* Prototype() noexcept {
    if (!s_pPrototype) s_pPrototype = MakePlugin();
    return s_pPrototype;
}

// Runs one step of plugin code whose failure must not stop the teardown.
template <typename Step>
void Tolerate(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

bool IsTextType(unsigned int type) { return type == FF_TYPE_TEXT || type == FF_TYPE_FILE; }

// What a code answers when it fails: null for the codes that answer a text or
// a record, 0 for the separator count, FF_FAIL for everything else.
FFMixed FailureAnswer(uint32_t code) {
    switch (code) {
        case FF_GET_INFO:
        case FF_GET_PARAMETER_NAME:
        case FF_GET_PARAMETER_DISPLAY:
        case FF_GET_EXTENDED_INFO:
        case FF_GET_PLUGIN_SHORT_NAME:
        case FF_GET_PARAMETER_ELEMENT_NAME:
        case FF_GET_FILE_PARAMETER_EXTENSION: return kNull;
        case FF_GET_NUM_ELEMENT_SEPARATORS: return ffMixedU32(0);
        default: return kFail;
    }
}

FFMixed Dispatch(uint32_t code, FFMixed input, CFFGLPlugin* instance) {
    // Records arrive through the pointer; a null one gets the failure answer.
    void* const record = input.PointerValue;
    const uint32_t value = static_cast<uint32_t>(input.Bits);  // 32-bit inputs sit in the low half

    switch (code) {
        // ---- global queries --------------------------------------------
        case FF_GET_INFO: return getInfo();
        case FF_DEINITIALISE: return deInitialise();
        case FF_GET_NUM_PARAMETERS: return getNumParameters();
        case FF_GET_PARAMETER_NAME: return getParameterName(value);
        case FF_GET_PARAMETER_DEFAULT: return getParameterDefault(value);
        case FF_GET_PLUGIN_CAPS: return getPluginCaps(value);
        case FF_GET_EXTENDED_INFO: return getExtendedInfo();
        case FF_GET_PARAMETER_TYPE: return getParameterType(value);
        case FF_INSTANTIATE_GL: return instantiateGL(static_cast<const FFGLViewportStruct*>(record));
        case FF_GET_NUM_PARAMETER_ELEMENTS: return getNumParameterElements(value);
        case FF_GET_PARAMETER_USAGE: return getParameterUsage(value);
        case FF_GET_PLUGIN_SHORT_NAME: return getPluginShortName();
        case FF_INITIALISE_V2: return initialise();
        case FF_GET_PARAMETER_ELEMENT_NAME: {
            if (!record) return kNull;
            const auto* q = static_cast<const ElementQueryStruct*>(record);
            return getParameterElementName(q->ParameterNumber, q->Position);
        }
        case FF_GET_PARAMETER_ELEMENT_DEFAULT: {
            if (!record) return kFail;
            const auto* q = static_cast<const ElementQueryStruct*>(record);
            return getParameterElementDefault(q->ParameterNumber, q->Position);
        }
        case FF_GET_RANGE:
            if (!record) return kFail;
            return getParamRange(*static_cast<RangeQueryStruct*>(record));
        case FF_GET_THUMBNAIL:
            if (!record) return kFail;
            return ffMixedU32(getThumbnail(*static_cast<GetThumbnailStruct*>(record)));
        case FF_GET_NUM_FILE_PARAMETER_EXTENSIONS: return getNumFileParameterExtensions(value);
        case FF_GET_FILE_PARAMETER_EXTENSION: {
            if (!record) return kNull;
            const auto* q = static_cast<const ElementQueryStruct*>(record);
            return getFileParameterExtension(q->ParameterNumber, q->Position);
        }
        case FF_GET_PARAMETER_VISIBILITY:
            if (instance) return ffMixedU32(instance->GetParamVisibility(value));
            return getDefaultParameterVisibility(value);
        case FF_GET_NUM_ELEMENT_SEPARATORS: return GetNumElementSeparators(value);
        case FF_GET_SEPARATOR_ELEMENT_INDEX: {
            if (!record) return kFail;
            const auto* q = static_cast<const ElementQueryStruct*>(record);
            return GetElementSeparatorElementIndex(q->ParameterNumber, q->Position);
        }
        case FF_GET_PARAMETER_GROUP: return getParamGroup(static_cast<GroupQueryStruct*>(record));

        // ---- per-instance requests -------------------------------------
        case FF_GET_PARAMETER_DISPLAY:
            // Like every per-instance code, a missing instance is a failure,
            // which hosts test for, rather than an empty text.
            if (!instance) return kFail;
            return ffMixedPtr(instance->GetParameterDisplay(value));
        case FF_SET_PARAMETER: {
            if (!instance || !record) return kFail;
            const auto* q = static_cast<const SetParameterStruct*>(record);
            if (IsTextType(static_cast<uint32_t>(getParameterType(q->ParameterNumber).Bits)))
                return ffMixedU32(instance->SetTextParameter(
                    q->ParameterNumber, static_cast<const char*>(q->NewParameterValue.PointerValue)));
            return ffMixedU32(instance->SetFloatParameter(q->ParameterNumber, ffMixedToFloat(q->NewParameterValue)));
        }
        case FF_GET_PARAMETER:
            if (!instance) return kFail;
            if (IsTextType(static_cast<uint32_t>(getParameterType(value).Bits)))
                return ffMixedPtr(instance->GetTextParameter(value));
            return ffMixedFloat(instance->GetFloatParameter(value));
        case FF_GET_INPUT_STATUS:
            if (!instance) return kFail;
            return ffMixedU32(instance->GetInputStatus(value));
        case FF_PROCESS_OPENGL: return processGL(static_cast<ProcessOpenGLStruct*>(record), instance);
        case FF_DEINSTANTIATE_GL: return deInstantiateGL(instance);
        case FF_SET_TIME:
            if (!instance || !record) return kFail;
            return ffMixedU32(instance->SetTime(*static_cast<const double*>(record)));
        case FF_CONNECT: {
            if (!instance) return kFail;
            const FFResult result = instance->Connect();
            if (result == FF_SUCCESS) Access::Connected(*instance) = true;
            return ffMixedU32(result);
        }
        case FF_DISCONNECT: {
            if (!instance) return kFail;
            const FFResult result = instance->Disconnect();
            if (result == FF_SUCCESS) Access::Connected(*instance) = false;
            return ffMixedU32(result);
        }
        case FF_RESIZE:
            if (!instance || !record) return kFail;
            return ffMixedU32(instance->Resize(static_cast<const FFGLViewportStruct*>(record)));
        case FF_SET_PARAMETER_ELEMENT_VALUE: {
            if (!instance || !record) return kFail;
            const auto* q = static_cast<const SetElementValueStruct*>(record);
            return ffMixedU32(
                instance->SetParamElementValue(q->ParameterNumber, q->ElementNumber, q->NewParameterValue));
        }
        case FF_SET_BEAT_INFO: {
            if (!instance || !record) return kFail;
            const auto* q = static_cast<const BeatInfoStruct*>(record);
            instance->SetBeatInfo(q->bpm, q->barPhase);
            return kSuccess;
        }
        case FF_SET_HOST_INFO: {
            if (!instance || !record) return kFail;
            const auto* q = static_cast<const HostInfoStruct*>(record);
            instance->SetHostInfo(q->name, q->version);
            return kSuccess;
        }
        case FF_SET_SAMPLE_RATE:
            if (!instance) return kFail;
            instance->SetSampleRate(value);
            return kSuccess;
        case FF_GET_PARAMETER_EVENTS: {
            if (!instance || !record) return kFail;
            auto* q = static_cast<ParamEventsQueryStruct*>(record);
            // A null array asks how many parameters have events, and clears nothing.
            q->numEvents = q->events ? instance->ConsumeParamEvents(q->events, q->numEvents)
                                     : instance->GetNumPendingParamEvents();
            return kSuccess;
        }
        case FF_ENABLE_PLUGIN_CAP: {
            // Only top-left texture orientation can be switched on.
            if (value != FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION || !instance) return kFail;
            CFFGLPlugin* prototype = Prototype();
            if (!prototype || !prototype->IsTopLeftTextureOrientationSupported()) return kFail;
            instance->HostEnabledTopLeftTextures();
            return kSuccess;
        }
        default: return kFail;  // unknown, retired (1, 3, 11, 12, 14, 24-30) and above 50
    }
}

}  // namespace

// ---- exported global operations ------------------------------------------

FFMixed getInfo() { return g_CurrPluginInfo ? ffMixedPtr(g_CurrPluginInfo->GetPluginInfo()) : kNull; }

FFMixed getExtendedInfo() { return g_CurrPluginInfo ? ffMixedPtr(g_CurrPluginInfo->GetPluginExtendedInfo()) : kNull; }

FFMixed initialise() {
    if (!g_CurrPluginInfo) return kFail;
    return Prototype() ? kSuccess : kFail;
}

FFMixed deInitialise() {
    delete s_pPrototype;
    s_pPrototype = nullptr;
    return kSuccess;
}

FFMixed instantiateGL(const FFGLViewportStruct* viewport) {
    if (!g_CurrPluginInfo || !viewport) return kFail;
    CFFGLPlugin* prototype = Prototype();
    if (!prototype) return kFail;
    CFFGLPlugin* instance = MakePlugin();
    if (!instance) return kFail;
    Access::PointAtItself(*instance);

    // Every registered default goes through the instance's own setters, so a
    // new instance starts exactly where the host's parameter list says.
    bool defaultsTaken = true;
    try {
        const unsigned int count = prototype->GetNumParams();
        for (unsigned int i = 0; i < count && defaultsTaken; ++i) {
            const FFMixed def = prototype->GetParamDefault(i);
            const FFResult result = IsTextType(prototype->GetParamType(i))
                                        ? instance->SetTextParameter(i, static_cast<const char*>(def.PointerValue))
                                        : instance->SetFloatParameter(i, ffMixedToFloat(def));
            defaultsTaken = result != FF_FAIL;
        }
    } catch (...) {
        defaultsTaken = false;
    }
    if (!defaultsTaken) {
        delete instance;
        return kFail;
    }

    FFResult init = FF_FAIL;
    Tolerate([&] { init = instance->InitGL(viewport); });
    if (init != FF_SUCCESS) {
        Tolerate([&] { instance->DeInitGL(); });
        delete instance;
        return kFail;
    }
    try {
        RememberInstance(instance);
    } catch (...) {  // no room to remember it: the host must not get it
        Tolerate([&] { instance->DeInitGL(); });
        delete instance;
        return kFail;
    }
    return ffMixedPtr(instance);
}

FFMixed deInstantiateGL(void* instanceID) {
    auto* instance = static_cast<CFFGLPlugin*>(instanceID);
    if (!instance) return kFail;
    if (Access::Connected(*instance)) {
        Tolerate([&] { instance->Disconnect(); });
        Access::Connected(*instance) = false;
    }
    Tolerate([&] { instance->DeInitGL(); });
    ForgetInstance(instance);
    delete instance;
    return kSuccess;
}

FFMixed processGL(ProcessOpenGLStruct* process, void* instanceID) {
    auto* instance = static_cast<CFFGLPlugin*>(instanceID);
    if (!instance || !process) return kFail;
    try {
        // The first frame connects an instance the host never connected; the
        // answer is not examined, and it is not asked again.
        if (!Access::Connected(*instance)) {
            instance->Connect();
            Access::Connected(*instance) = true;
        }
        return ffMixedU32(instance->ProcessOpenGL(process));
    } catch (...) {
        return kFail;
    }
}

FFMixed getNumParameters() {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetNumParams()) : kFail;
}

FFMixed getParameterName(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedPtr(p->GetParamName(index)) : kNull;
}

FFMixed getParameterDefault(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? p->GetParamDefault(index) : kFail;
}

FFMixed getPluginCaps(unsigned int capability) {
    CFFGLPlugin* p = Prototype();
    if (!p) return kFail;
    // Input counts that read as zero or negative when signed answer 0.
    auto count = [](unsigned int n) { return ffMixedU32(static_cast<int32_t>(n) > 0 ? n : 0u); };
    switch (capability) {
        case FF_CAP_SET_TIME: return ffMixedU32(p->IsTimeSupported() ? 1u : 0u);
        case FF_CAP_MINIMUM_INPUT_FRAMES: return count(p->GetMinInputs());
        case FF_CAP_MAXIMUM_INPUT_FRAMES: return count(p->GetMaxInputs());
        case FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION:
            return ffMixedU32(p->IsTopLeftTextureOrientationSupported() ? 1u : 0u);
        default: return ffMixedU32(FF_UNSUPPORTED);
    }
}

FFMixed getParameterType(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetParamType(index)) : kFail;
}

FFMixed getNumParameterElements(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetNumParamElements(index)) : kFail;
}

FFMixed getParameterUsage(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetParamUsage(index)) : kFail;
}

FFMixed getPluginShortName() {
    CFFGLPlugin* p = Prototype();
    if (!p) return kNull;
    try {
        return ffMixedPtr(p->GetShortName());
    } catch (...) {
        return kNull;
    }
}

FFMixed getParameterElementName(unsigned int index, unsigned int element) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedPtr(p->GetParamElementName(index, element)) : kNull;
}

FFMixed getParameterElementDefault(unsigned int index, unsigned int element) {
    CFFGLPlugin* p = Prototype();
    return p ? p->GetParamElementDefault(index, element) : kFail;
}

FFMixed getParamRange(RangeQueryStruct& range) {
    CFFGLPlugin* p = Prototype();
    if (!p) return kFail;
    const CFFGLPluginManager::RangeStruct r = p->GetParamRange(range.ParameterNumber);
    range.min = r.min;
    range.max = r.max;
    return kSuccess;
}

FFMixed getNumFileParameterExtensions(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetNumFileParamExtensions(index)) : kFail;
}

FFMixed getFileParameterExtension(unsigned int index, unsigned int position) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedPtr(p->GetFileParamExtension(index, position)) : kNull;
}

FFMixed getDefaultParameterVisibility(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetParamVisibility(index)) : kFail;
}

FFMixed GetNumElementSeparators(unsigned int index) {
    CFFGLPlugin* p = Prototype();
    return ffMixedU32(p ? p->GetNumElementSeparators(index) : 0u);
}

FFMixed GetElementSeparatorElementIndex(unsigned int index, unsigned int position) {
    CFFGLPlugin* p = Prototype();
    return p ? ffMixedU32(p->GetElementSeparatorElementIndex(index, position)) : kFail;
}

FFMixed getParamGroup(GroupQueryStruct* query) {
    if (!query || query->capacity == 0) return kFail;
    CFFGLPlugin* p = Prototype();
    if (!p) return kFail;
    // The host gets exactly min(length, capacity) bytes and no terminator; the
    // rest of its buffer is left as it was.
    const CFFGLPluginManager::ParamInfo* info = p->FindParamInfo(query->ParameterNumber);
    if (info && !info->group.empty() && query->buffer) {
        const size_t n = info->group.size() < query->capacity ? info->group.size() : query->capacity;
        memcpy(query->buffer, info->group.data(), n);
    }
    return kSuccess;
}

bool InitGLExts() { return true; }

void ValidateContextState() {}

// ---- the host's entry points ---------------------------------------------

extern "C" FFGL_EXPORT FFMixed plugMain(uint32_t functionCode, FFMixed inputValue, FFInstanceID instanceID) {
    try {
        if (!IsLiveInstance(functionCode, instanceID)) return FailureAnswer(functionCode);
        return Dispatch(functionCode, inputValue, static_cast<CFFGLPlugin*>(instanceID));
    } catch (...) {
        return FailureAnswer(functionCode);
    }
}

extern "C" FFGL_EXPORT void SetLogCallback(FFLogCallback callback) { FFGLLog::SetLogCallback(callback); }
