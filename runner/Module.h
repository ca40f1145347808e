// Module -- one FFGL module loaded the way any host loads it.
//
// The runner links no plugin code. It opens the module with dlopen, finds
// `plugMain` with dlsym and talks to it through the codes and records of
// host/FFGLABI.h only.
//
//     std::string why;
//     auto module = tessivar::Module::Load("build/default/effect/Tessivar.so", why);
//     if (!module) { fprintf(stderr, "%s\n", why.c_str()); return 1; }
//     tessivar::ModuleInfo info = module->Describe();   // identity, caps, parameters
//
//     tessivar::Instance inst;                            // needs a current GL context
//     if (!inst.Create(*module, 1920, 1080, why)) ...
//     inst.SetTime(0.0);
//     inst.Process(inputs, hostFbo);
//     for (auto& e : inst.CollectEvents()) ...
//
// Every text the module hands out is copied at once: it is only borrowed
// until the next call into the module.
#pragma once

#include "host/FFGLABI.h"
#include "runner/platform/CrashGuard.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessivar {

// One parameter as the module describes it to a host.
struct ParamDesc {
    struct Element {
        std::string name;
        float value = 0.0f;
    };
    uint32_t index = 0;
    std::string name;         // display name, at most 16 characters
    uint32_t type = 0;        // FF_TYPE_*
    uint32_t usage = 0;       // FF_USAGE_*
    float defaultValue = 0;   // numeric types
    std::string defaultText;  // text and file types
    float rangeMin = 0.0f;
    float rangeMax = 1.0f;
    std::string group;
    bool visible = true;
    std::vector<Element> elements;
    std::vector<std::string> fileExtensions;

    bool IsText() const { return type == FF_TYPE_TEXT || type == FF_TYPE_FILE; }
};

// Everything a host learns about a module without instantiating it.
struct ModuleInfo {
    std::string path;
    bool hasInfo = false;  // FF_GET_INFO answered a record
    uint32_t apiMajor = 0, apiMinor = 0;
    std::string id;     // four characters (printable or \xNN escaped)
    std::string name;   // up to 16 characters
    uint32_t type = 0;  // FF_EFFECT / FF_SOURCE / FF_MIXER
    bool hasExtendedInfo = false;
    uint32_t pluginMajor = 0, pluginMinor = 0;
    std::string description, about;
    bool hasShortName = false;
    std::string shortName;
    uint32_t minInputs = 0, maxInputs = 0;
    bool timeSupported = false;
    bool topLeftOrientation = false;
    bool hasThumbnail = false;
    uint32_t thumbnailWidth = 0, thumbnailHeight = 0;
    std::vector<ParamDesc> params;

    // Finds a parameter by its display name (exact, then ignoring case), by
    // the longer name a 16-character display name was cut from, or by its
    // decimal index. Null when there is no such parameter, or more than one.
    const ParamDesc* FindParam(const std::string& nameOrIndex) const;
};

const char* TypeName(uint32_t ffType);            // "boolean", "standard", ... or "type N"
const char* PluginTypeName(uint32_t pluginType);  // "effect", "source", "mixer" or "unknown"

// The file a module path loads, and a watcher watches for a new build: a
// macOS bundle (a folder X.bundle, which is what hosts are handed there)
// keeps its code in X.bundle/Contents/MacOS/X; any other path, a folder
// that is not a bundle included, stands for itself.
std::string ModuleBinary(const std::string& path);

class Module {
public:
    // Opens the module. On failure answers null and writes one line naming
    // the file and what is wrong with it.
    static std::unique_ptr<Module> Load(const std::string& file, std::string& error);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::string& Path() const { return path; }
    void* Symbol(const char* name) const;

    // The raw entry point. Host thread, one call at a time. Each call is
    // guarded (CrashGuard.h): once one has crashed, the module is never
    // called again (every call answers FF_FAIL) nor unloaded, since its state
    // is whatever the crash left.
    FFMixed Call(uint32_t code, FFMixed input, FFInstanceID instance = nullptr) const;
    FFMixed Call(uint32_t code, uint32_t input, FFInstanceID instance = nullptr) const {
        return Call(code, ffMixedU32(input), instance);
    }
    FFMixed Call(uint32_t code, const void* record, FFInstanceID instance = nullptr) const {
        return Call(code, ffMixedPtr(record), instance);
    }

    // Reads identity, capabilities and every parameter. Needs no GL context.
    ModuleInfo Describe() const;

    // The call that crashed, or null.
    const Crash* Crashed() const { return crashed ? &crash : nullptr; }
    // One line for the user: "X.so crashed in FF_PROCESS_OPENGL: SIGSEGV
    // (invalid memory access at 0x0)".
    std::string CrashLine() const;

private:
    Module() = default;
    std::string path;
    void* handle = nullptr;
    using Entry = FFMixed (*)(uint32_t, FFMixed, FFInstanceID);
    Entry entry = nullptr;
    mutable bool crashed = false;
    mutable Crash crash;
};

// The name of an FFGL function code ("FF_PROCESS_OPENGL"); static text.
const char* FunctionName(uint32_t code);

// A text answer of the module, copied; null pointers (and the FF_FAIL value
// some modules answer in place of a text pointer) give `fallback`.
std::string TextAnswer(FFMixed answer, size_t maxLength = 4096, const std::string& fallback = "");
bool IsNullText(FFMixed answer);

// One parameter event as collected from an instance.
struct ParamEvent {
    uint32_t index = 0;
    uint64_t flags = 0;
};

// An instance of a module, alive between Create and destruction. All calls
// need the GL context that was current at Create.
class Instance {
public:
    Instance() = default;
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool Create(const Module& module, uint32_t width, uint32_t height, std::string& error);
    // Whether the module crashed (in a call through this instance or another),
    // and the line that says where.
    bool Crashed() const { return module && module->Crashed(); }
    std::string CrashLine() const { return module ? module->CrashLine() : std::string(); }
    // False when the module refused FF_DEINSTANTIATE_GL; the instance is gone either way.
    bool Destroy();
    bool Valid() const { return id != nullptr; }
    FFInstanceID Id() const { return id; }

    bool SetFloat(uint32_t index, float value) const;
    bool SetText(uint32_t index, const std::string& text) const;
    float GetFloat(uint32_t index) const;
    std::string GetText(uint32_t index) const;
    std::string Display(uint32_t index) const;
    bool SetTime(double seconds) const;
    bool Process(const std::vector<FFGLTextureStruct>& inputs, uint32_t hostFbo) const;
    // Number of parameters with pending events, without collecting them.
    uint32_t PendingEvents() const;
    std::vector<ParamEvent> CollectEvents() const;

private:
    const Module* module = nullptr;
    FFInstanceID id = nullptr;
};

}  // namespace tessivar
