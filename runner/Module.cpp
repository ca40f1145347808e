#include "runner/Module.h"

#include "runner/platform/Library.h"
#include "runner/platform/Paths.h"

#include <algorithm>
#include <filesystem>
#include <cctype>
#include <cstring>

namespace tessivar {
namespace {

// Bounds for what we copy out of a module: names live in fixed 16-byte
// fields; everything else is a zero-terminated text we never trust to end.
constexpr size_t kFieldLength = 16;
constexpr uint32_t kMaxElements = 4096;
constexpr uint32_t kMaxGroupBytes = 256;

// Copies a fixed-size character field up to its first zero byte.
std::string fixedField(const char* p, size_t n) { return std::string(p, strnlen(p, n)); }

// The four identifier bytes, with anything unprintable shown as \xNN.
std::string printableId(const char id[4]) {
    std::string out;
    for (size_t i = 0; i < 4 && id[i]; ++i) {
        const auto c = static_cast<unsigned char>(id[i]);
        if (std::isprint(c)) {
            out += char(c);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isFail(FFMixed m) { return m.Bits == FF_FAIL; }

}  // namespace

bool IsNullText(FFMixed answer) { return answer.Bits == 0 || answer.Bits == FF_FAIL; }

std::string TextAnswer(FFMixed answer, size_t maxLength, const std::string& fallback) {
    if (IsNullText(answer)) return fallback;
    const auto* p = static_cast<const char*>(answer.PointerValue);
    return std::string(p, strnlen(p, maxLength));
}

const char* TypeName(uint32_t t) {
    switch (t) {
        case FF_TYPE_BOOLEAN: return "boolean";
        case FF_TYPE_EVENT: return "event";
        case FF_TYPE_RED: return "red";
        case FF_TYPE_GREEN: return "green";
        case FF_TYPE_BLUE: return "blue";
        case FF_TYPE_STANDARD: return "standard";
        case FF_TYPE_OPTION: return "option";
        case FF_TYPE_BUFFER: return "buffer";
        case FF_TYPE_INTEGER: return "integer";
        case FF_TYPE_FILE: return "file";
        case FF_TYPE_TEXT: return "text";
        case FF_TYPE_HUE: return "hue";
        case FF_TYPE_SATURATION: return "saturation";
        case FF_TYPE_BRIGHTNESS: return "brightness";
        case FF_TYPE_ALPHA: return "alpha";
        default: return "unknown";
    }
}

const char* PluginTypeName(uint32_t t) {
    switch (t) {
        case FF_EFFECT: return "effect";
        case FF_SOURCE: return "source";
        case FF_MIXER: return "mixer";
        default: return "unknown";
    }
}

const ParamDesc* ModuleInfo::FindParam(const std::string& key) const {
    for (const auto& p : params)
        if (p.name == key) return &p;
    const std::string wanted = lower(key);
    const ParamDesc* found = nullptr;
    for (const auto& p : params) {
        if (lower(p.name) != wanted) continue;
        if (found) return nullptr;  // ambiguous without the exact case
        found = &p;
    }
    if (found) return found;
    // A name longer than the 16 characters hosts are shown: the parameter
    // whose name was cut to them, if only one was.
    if (key.size() > kFieldLength) {
        const std::string head = key.substr(0, kFieldLength);
        for (const auto& p : params) {
            if (p.name.size() != kFieldLength || p.name != head) continue;
            if (found) return nullptr;
            found = &p;
        }
        if (found) return found;
    }
    if (!key.empty() && key.size() < 10 && key.find_first_not_of("0123456789") == std::string::npos) {
        const auto index = uint32_t(std::stoul(key));
        for (const auto& p : params)
            if (p.index == index) return &p;
    }
    return nullptr;
}

// (Paths are UTF-8; u8path keeps them so where the system's paths are wide.)
std::string ModuleBinary(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path folder = fs::u8path(path);
    if (!folder.has_filename()) folder = folder.parent_path();  // "X.bundle/"
    if (folder.extension() != ".bundle" || KindOf(path) != PathKind::Folder) return path;
    return (folder / "Contents" / "MacOS" / folder.stem()).u8string();
}

std::unique_ptr<Module> Module::Load(const std::string& file, std::string& error) {
    if (KindOf(file) == PathKind::Missing) {
        error = "module not found: " + (file.empty() ? std::string("(empty path)") : file);
        return nullptr;
    }
    const std::string binary = ModuleBinary(file);
    if (KindOf(binary) != PathKind::File) {  // a folder, or a bundle without its code
        error = file + ": is a directory, not a module";
        return nullptr;
    }
    std::string why;
    void* library = nullptr;
    Crash crash;
    // Loading runs the module's static initialisers: its code already.
    const auto load = [&] { library = OpenLibrary(binary, why); };
    if (!Guarded("loading (its static initialisers)", load, crash)) {
        error = file + " " + crash.Describe();
        return nullptr;  // left loaded: unloading would run more of it
    }
    if (!library) {
        error = file + ": not a loadable shared library (" + why + ")";
        return nullptr;
    }
    auto entryPoint = reinterpret_cast<Entry>(LibrarySymbol(library, "plugMain"));
    if (!entryPoint) {
        CloseLibrary(library);
        error = file + ": no plugMain export, so not an FFGL module";
        return nullptr;
    }
    std::unique_ptr<Module> m(new Module());
    m->path = file;
    m->handle = library;
    m->entry = entryPoint;
    return m;
}

Module::~Module() {
    // Hosts say goodbye before unloading, so the module frees what its global
    // queries made. A module that crashed stays as it is, loaded: its static
    // destructors would run more of it.
    if (entry) Call(FF_DEINITIALISE, 0u);
    if (!crashed) {
        Crash ignored;
        const auto unload = [&] { CloseLibrary(handle); };
        if (!Guarded("unloading (its static destructors)", unload, ignored)) crashed = true;
    }
}

void* Module::Symbol(const char* name) const { return LibrarySymbol(handle, name); }

FFMixed Module::Call(uint32_t code, FFMixed input, FFInstanceID instance) const {
    FFMixed answer = ffMixedU32(FF_FAIL);
    if (crashed) return answer;
    const auto call = [&] { answer = entry(code, input, instance); };
    if (!Guarded(FunctionName(code), call, crash)) {
        crashed = true;
        answer = ffMixedU32(FF_FAIL);
    }
    return answer;
}

std::string Module::CrashLine() const { return crashed ? path + " " + crash.Describe() : std::string(); }

const char* FunctionName(uint32_t code) {
    static const char* const names[] = {"FF_GET_INFO",
                                        nullptr,
                                        "FF_DEINITIALISE",
                                        nullptr,
                                        "FF_GET_NUM_PARAMETERS",
                                        "FF_GET_PARAMETER_NAME",
                                        "FF_GET_PARAMETER_DEFAULT",
                                        "FF_GET_PARAMETER_DISPLAY",
                                        "FF_SET_PARAMETER",
                                        "FF_GET_PARAMETER",
                                        "FF_GET_PLUGIN_CAPS",
                                        nullptr,
                                        nullptr,
                                        "FF_GET_EXTENDED_INFO",
                                        nullptr,
                                        "FF_GET_PARAMETER_TYPE",
                                        "FF_GET_INPUT_STATUS",
                                        "FF_PROCESS_OPENGL",
                                        "FF_INSTANTIATE_GL",
                                        "FF_DEINSTANTIATE_GL",
                                        "FF_SET_TIME",
                                        "FF_CONNECT",
                                        "FF_DISCONNECT",
                                        "FF_RESIZE",
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        "FF_GET_NUM_PARAMETER_ELEMENTS",
                                        "FF_GET_PARAMETER_USAGE",
                                        "FF_GET_PLUGIN_SHORT_NAME",
                                        "FF_INITIALISE_V2",
                                        "FF_GET_PARAMETER_ELEMENT_NAME",
                                        "FF_GET_PARAMETER_ELEMENT_DEFAULT",
                                        "FF_SET_PARAMETER_ELEMENT_VALUE",
                                        "FF_SET_BEAT_INFO",
                                        "FF_SET_HOST_INFO",
                                        "FF_SET_SAMPLE_RATE",
                                        "FF_GET_RANGE",
                                        "FF_GET_THUMBNAIL",
                                        "FF_GET_NUM_FILE_PARAMETER_EXTENSIONS",
                                        "FF_GET_FILE_PARAMETER_EXTENSION",
                                        "FF_GET_PARAMETER_VISIBILITY",
                                        "FF_GET_PARAMETER_EVENTS",
                                        "FF_GET_NUM_ELEMENT_SEPARATORS",
                                        "FF_GET_SEPARATOR_ELEMENT_INDEX",
                                        "FF_ENABLE_PLUGIN_CAP",
                                        "FF_GET_PARAMETER_GROUP"};
    if (code < sizeof names / sizeof names[0] && names[code]) return names[code];
    return "an FFGL function of unknown code";
}

namespace {

// The information records, the short name, the capabilities, the thumbnail.
void describeIdentity(const Module& m, ModuleInfo& info) {
    const FFMixed infoAnswer = m.Call(FF_GET_INFO, 0u);
    if (!IsNullText(infoAnswer)) {
        info.hasInfo = true;
        PluginInfoStruct pi;
        std::memcpy(&pi, infoAnswer.PointerValue, sizeof pi);
        info.apiMajor = pi.APIMajorVersion;
        info.apiMinor = pi.APIMinorVersion;
        info.id = printableId(pi.PluginUniqueID);
        info.name = fixedField(pi.PluginName, kFieldLength);
        info.type = pi.PluginType;
    }
    const FFMixed extAnswer = m.Call(FF_GET_EXTENDED_INFO, 0u);
    if (!IsNullText(extAnswer)) {
        PluginExtendedInfoStruct ext;
        std::memcpy(&ext, extAnswer.PointerValue, sizeof ext);
        info.hasExtendedInfo = true;
        info.pluginMajor = ext.PluginMajorVersion;
        info.pluginMinor = ext.PluginMinorVersion;
        info.description = TextAnswer(ffMixedPtr(ext.Description));
        info.about = TextAnswer(ffMixedPtr(ext.About));
    }
    const FFMixed shortName = m.Call(FF_GET_PLUGIN_SHORT_NAME, 0u);
    info.hasShortName = !IsNullText(shortName);
    info.shortName = TextAnswer(shortName, kFieldLength);

    auto cap = [&](uint32_t code) { return m.Call(FF_GET_PLUGIN_CAPS, code); };
    const FFMixed minIn = cap(FF_CAP_MINIMUM_INPUT_FRAMES), maxIn = cap(FF_CAP_MAXIMUM_INPUT_FRAMES);
    info.minInputs = isFail(minIn) ? 0 : minIn.UIntValue;
    info.maxInputs = isFail(maxIn) ? 0 : maxIn.UIntValue;
    info.timeSupported = cap(FF_CAP_SET_TIME).Bits == FF_SUPPORTED;
    info.topLeftOrientation = cap(FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION).Bits == FF_SUPPORTED;

    GetThumbnailStruct thumb{0, 0, nullptr};
    info.hasThumbnail = m.Call(FF_GET_THUMBNAIL, &thumb).Bits == FF_SUCCESS;
    info.thumbnailWidth = thumb.width;
    info.thumbnailHeight = thumb.height;
}

// An option's elements, or a file parameter's extensions: at most kMaxElements.
uint32_t countOf(FFMixed answer) { return isFail(answer) ? 0 : std::min(answer.UIntValue, kMaxElements); }

ParamDesc describeParam(const Module& m, uint32_t i) {
    ParamDesc p;
    p.index = i;
    p.name = TextAnswer(m.Call(FF_GET_PARAMETER_NAME, i), kFieldLength);
    p.type = m.Call(FF_GET_PARAMETER_TYPE, i).UIntValue;
    const FFMixed usage = m.Call(FF_GET_PARAMETER_USAGE, i);
    p.usage = isFail(usage) ? 0 : usage.UIntValue;
    const FFMixed def = m.Call(FF_GET_PARAMETER_DEFAULT, i);
    if (p.IsText())
        p.defaultText = TextAnswer(def);
    else
        p.defaultValue = ffMixedToFloat(def);
    RangeQueryStruct range{i, 0.0f, 1.0f};
    if (m.Call(FF_GET_RANGE, &range).Bits == FF_SUCCESS) {
        p.rangeMin = range.min;
        p.rangeMax = range.max;
    }
    char group[kMaxGroupBytes + 1] = {};
    GroupQueryStruct gq{i, group, kMaxGroupBytes};
    if (m.Call(FF_GET_PARAMETER_GROUP, &gq).Bits == FF_SUCCESS) p.group = group;
    p.visible = m.Call(FF_GET_PARAMETER_VISIBILITY, i).Bits == 1;

    for (uint32_t e = 0, n = countOf(m.Call(FF_GET_NUM_PARAMETER_ELEMENTS, i)); e < n; ++e) {
        ElementQueryStruct q{i, e};
        ParamDesc::Element el;
        el.name = TextAnswer(m.Call(FF_GET_PARAMETER_ELEMENT_NAME, &q));
        el.value = ffMixedToFloat(m.Call(FF_GET_PARAMETER_ELEMENT_DEFAULT, &q));
        p.elements.push_back(el);
    }
    for (uint32_t e = 0, n = countOf(m.Call(FF_GET_NUM_FILE_PARAMETER_EXTENSIONS, i)); e < n; ++e) {
        ElementQueryStruct q{i, e};
        p.fileExtensions.push_back(TextAnswer(m.Call(FF_GET_FILE_PARAMETER_EXTENSION, &q)));
    }
    return p;
}

}  // namespace

ModuleInfo Module::Describe() const {
    ModuleInfo info;
    info.path = path;
    describeIdentity(*this, info);
    const FFMixed count = Call(FF_GET_NUM_PARAMETERS, 0u);
    const uint32_t n = isFail(count) ? 0 : count.UIntValue;
    for (uint32_t i = 0; i < n; ++i) info.params.push_back(describeParam(*this, i));
    return info;
}

// ---- Instance ---------------------------------------------------------------

Instance::~Instance() { Destroy(); }

bool Instance::Create(const Module& m, uint32_t width, uint32_t height, std::string& error) {
    Destroy();
    FFGLViewportStruct viewport{0, 0, width, height};
    const FFMixed answer = m.Call(FF_INSTANTIATE_GL, &viewport);
    if (m.Crashed()) {
        error = m.CrashLine();
        return false;
    }
    if (answer.Bits == FF_FAIL || answer.Bits == 0) {
        error = m.Path() + ": the module refused to make an instance (FF_INSTANTIATE_GL failed at " +
                std::to_string(width) + "x" + std::to_string(height) + ")";
        return false;
    }
    module = &m;
    id = answer.PointerValue;
    return true;
}

bool Instance::Destroy() {
    if (id && module->Crashed()) {
        // The module is called no more, so its instance is never removed: it
        // is kept as the module left it, reachable (a leak checker would
        // otherwise blame ffglrun for it).
        static auto* const abandoned = new std::vector<FFInstanceID>;
        abandoned->push_back(id);
        id = nullptr;
        return false;
    }
    const bool ok = !id || module->Call(FF_DEINSTANTIATE_GL, 0u, id).Bits == FF_SUCCESS;
    id = nullptr;
    return ok;
}

bool Instance::SetFloat(uint32_t index, float value) const {
    SetParameterStruct s{index, ffMixedFloat(value)};
    return module->Call(FF_SET_PARAMETER, &s, id).Bits == FF_SUCCESS;
}

bool Instance::SetText(uint32_t index, const std::string& text) const {
    SetParameterStruct s{index, ffMixedPtr(text.c_str())};
    return module->Call(FF_SET_PARAMETER, &s, id).Bits == FF_SUCCESS;
}

float Instance::GetFloat(uint32_t index) const { return ffMixedToFloat(module->Call(FF_GET_PARAMETER, index, id)); }

std::string Instance::GetText(uint32_t index) const { return TextAnswer(module->Call(FF_GET_PARAMETER, index, id)); }

std::string Instance::Display(uint32_t index) const {
    return TextAnswer(module->Call(FF_GET_PARAMETER_DISPLAY, index, id), 256);
}

bool Instance::SetTime(double seconds) const { return module->Call(FF_SET_TIME, &seconds, id).Bits == FF_SUCCESS; }

bool Instance::Process(const std::vector<FFGLTextureStruct>& inputs, uint32_t hostFbo) const {
    std::vector<FFGLTextureStruct> copies = inputs;  // the module may not write ours
    std::vector<FFGLTextureStruct*> pointers;
    for (auto& t : copies) pointers.push_back(&t);
    ProcessOpenGLStruct process{uint32_t(pointers.size()), pointers.empty() ? nullptr : pointers.data(), hostFbo};
    return module->Call(FF_PROCESS_OPENGL, &process, id).Bits == FF_SUCCESS;
}

uint32_t Instance::PendingEvents() const {
    ParamEventsQueryStruct q{0, nullptr};
    if (module->Call(FF_GET_PARAMETER_EVENTS, &q, id).Bits != FF_SUCCESS) return 0;
    return q.numEvents;
}

std::vector<ParamEvent> Instance::CollectEvents() const {
    std::vector<ParamEvent> out;
    const uint32_t pending = std::min(PendingEvents(), kMaxElements);
    if (pending == 0) return out;
    std::vector<ParamEventStruct> events(pending);
    ParamEventsQueryStruct q{pending, events.data()};
    if (module->Call(FF_GET_PARAMETER_EVENTS, &q, id).Bits != FF_SUCCESS) return out;
    for (uint32_t i = 0; i < std::min(q.numEvents, pending); ++i)
        out.push_back({events[i].ParameterNumber, events[i].eventFlags});
    return out;
}

}  // namespace tessivar
