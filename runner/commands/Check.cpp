#include "runner/commands/Check.h"

#include "gl/GLIncludes.h"
#include "runner/GLFrame.h"
#include "runner/Module.h"
#include "runner/Patterns.h"
#include "runner/UniformNames.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

namespace tessivar {
namespace {

// Indices of the rows below, in table order.
enum RowIndex : size_t {
    kExports,
    kInfo,
    kExtended,
    kThumbnail,
    kNullInstance,
    kParameters,
    kDefaults,
    kLifecycle,
    kState,
    kDebug,
    kEvents,
    kRowCount
};
const char* const kRows[] = {
    "exports",
    "information record",
    "extended information",
    "thumbnail answer",
    "null-instance answers",
    "parameter enumeration",
    "parameters accept their defaults",
    "instantiate, process, de-instantiate",
    "GL state restored after each call",
    "no KHR_debug errors",
    "parameter events delivered and cleared",
};
constexpr uint32_t kWidth = 160, kHeight = 90;
constexpr uint32_t kMaxParams = 1024;

// Collects problems for one row; the row passes when there are none.
class Row {
public:
    void Problem(const std::string& p) { problems.push_back(p); }
    bool Ok() const { return problems.empty(); }
    std::string Detail(const std::string& whenOk = "") const {
        if (problems.empty()) return whenOk;
        std::string out;
        const size_t shown = std::min<size_t>(problems.size(), 3);
        for (size_t i = 0; i < shown; ++i) out += (i ? "; " : "") + problems[i];
        if (problems.size() > shown) out += "; and " + std::to_string(problems.size() - shown) + " more";
        return out;
    }

private:
    std::vector<std::string> problems;
};

// The module crashed: this process calls it no more (Module.h).
struct ModuleCrashed {};

// Rows into the report and to the caller, in table order, from `first` on.
class Reporter {
public:
    Reporter(size_t firstRow, const std::function<void(const CheckResult&)>& sink, CheckReport& out)
        : first(firstRow), onRow(sink), report(out) {}

    // Row `index` done; every row before it must be done already.
    void Add(size_t index, bool passed, const std::string& detail) {
        next = index + 1;
        if (index < first) return;
        report.rows.push_back({kRows[index], passed, detail});
        if (onRow) onRow(report.rows.back());
    }
    // Rows still to be reported, up to but not including `index`.
    size_t Next() const { return next; }
    // The row a crash in row `index`'s calls is told in: the first this
    // process reports, if the crash came sooner.
    size_t CrashRow(size_t index) const { return std::max(index, first); }
    // The module crashed in a call of row `index`: that row fails naming it.
    [[noreturn]] void Crashed(size_t index, const std::string& detail) {
        Add(CrashRow(index), false, detail);
        report.crashed = true;
        throw ModuleCrashed{};
    }

private:
    size_t first, next = 0;
    const std::function<void(const CheckResult&)>& onRow;
    CheckReport& report;
};

// "crashed in FF_PROCESS_OPENGL (frame 1): SIGSEGV (...)": the watched call's
// own words when they name the call that crashed.
std::string crashDetail(const Module& m, const std::string& what = "") {
    const Crash& c = *m.Crashed();
    const std::string call = what.rfind(c.call, 0) == 0 ? what : c.call;
    return "crashed in " + call + ": " + c.signal + (c.what.empty() ? "" : " (" + c.what + ")");
}

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

bool printable(unsigned char c) { return std::isprint(c) != 0; }

void checkInfoRecord(const Module& m, Row& row) {
    const FFMixed answer = m.Call(FF_GET_INFO, 0u);
    if (IsNullText(answer)) {
        row.Problem("FF_GET_INFO answered no record");
        return;
    }
    unsigned char raw[sizeof(PluginInfoStruct)];
    std::memcpy(raw, answer.PointerValue, sizeof raw);
    PluginInfoStruct info;
    std::memcpy(&info, raw, sizeof info);
    if (info.APIMajorVersion < 2)
        row.Problem("API version " + std::to_string(info.APIMajorVersion) + "." + std::to_string(info.APIMinorVersion) +
                    ", need 2 or later");
    const unsigned char* id = raw + offsetof(PluginInfoStruct, PluginUniqueID);
    if (id[0] == 0) row.Problem("empty identifier");
    for (int i = 0; i < 4 && id[i]; ++i)
        if (!printable(id[i])) row.Problem("identifier byte " + std::to_string(i) + " is " + hex(id[i]));
    const unsigned char* name = raw + offsetof(PluginInfoStruct, PluginName);
    if (name[0] == 0) row.Problem("empty name");
    bool ended = false;
    for (int i = 0; i < 16; ++i) {
        if (ended && name[i] != 0) {
            row.Problem("name field has byte " + hex(name[i]) + " after its terminator (at " + std::to_string(i) + ")");
            break;
        }
        if (name[i] == 0)
            ended = true;
        else if (!printable(name[i]))
            row.Problem("name byte " + std::to_string(i) + " is " + hex(name[i]));
    }
    if (info.PluginType > FF_MIXER) row.Problem("plugin type " + std::to_string(info.PluginType) + " is unknown");
}

void checkExtendedInfo(const Module& m, Row& row, std::string& summary) {
    const FFMixed answer = m.Call(FF_GET_EXTENDED_INFO, 0u);
    if (IsNullText(answer)) {
        row.Problem("FF_GET_EXTENDED_INFO answered no record");
        return;
    }
    PluginExtendedInfoStruct ext;
    std::memcpy(&ext, answer.PointerValue, sizeof ext);
    for (const char* text : {ext.Description, ext.About})
        if (text && strnlen(text, 65536) == 65536) row.Problem("a text without terminator in its first 64 KiB");
    if ((ext.FreeFrameExtendedDataSize == 0) != (ext.FreeFrameExtendedDataBlock == nullptr))
        row.Problem("extended data size " + std::to_string(ext.FreeFrameExtendedDataSize) + " with a " +
                    (ext.FreeFrameExtendedDataBlock ? "non-null" : "null") + " block");
    summary = "version " + std::to_string(ext.PluginMajorVersion) + "." + std::to_string(ext.PluginMinorVersion);
}

void checkThumbnail(const Module& m, Row& row, std::string& summary) {
    GetThumbnailStruct size{7, 7, nullptr};
    const uint64_t answer = m.Call(FF_GET_THUMBNAIL, &size).Bits;
    if (answer == FF_FAIL) {
        if (size.width || size.height)
            row.Problem("failed but reported " + std::to_string(size.width) + "x" + std::to_string(size.height));
        summary = "none";
        return;
    }
    if (answer != FF_SUCCESS) {
        row.Problem("answered " + hex(answer));
        return;
    }
    if (size.width == 0 || size.height == 0 || uint64_t(size.width) * size.height > (1u << 28)) {
        row.Problem("implausible size " + std::to_string(size.width) + "x" + std::to_string(size.height));
        return;
    }
    std::vector<uint32_t> pixels(size_t(size.width) * size.height);
    GetThumbnailStruct full{0, 0, pixels.data()};
    if (m.Call(FF_GET_THUMBNAIL, &full).Bits != FF_SUCCESS || full.width != size.width || full.height != size.height)
        row.Problem("a second query with a buffer did not repeat the first");
    summary = std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Per-instance codes must refuse a null instance; each gets a valid record
// so a module that reads its input first still cannot crash.
void checkNullInstance(const Module& m, uint32_t paramCount, Row& row) {
    SetParameterStruct setParam{0, ffMixedFloat(0.0f)};
    ProcessOpenGLStruct process{0, nullptr, 0};
    double time = 0.0;
    FFGLViewportStruct viewport{0, 0, kWidth, kHeight};
    SetElementValueStruct element{0, 0, 0.0f};
    BeatInfoStruct beat{120.0f, 0.0f};
    HostInfoStruct host{"ffglrun", "1"};
    ParamEventsQueryStruct events{0, nullptr};
    const struct {
        uint32_t code;
        FFMixed input;
    } calls[] = {
        {FF_GET_PARAMETER_DISPLAY, ffMixedU32(0)},
        {FF_SET_PARAMETER, ffMixedPtr(&setParam)},
        {FF_GET_PARAMETER, ffMixedU32(0)},
        {FF_GET_INPUT_STATUS, ffMixedU32(0)},
        {FF_PROCESS_OPENGL, ffMixedPtr(&process)},
        {FF_DEINSTANTIATE_GL, ffMixedU32(0)},
        {FF_SET_TIME, ffMixedPtr(&time)},
        {FF_CONNECT, ffMixedU32(0)},
        {FF_DISCONNECT, ffMixedU32(0)},
        {FF_RESIZE, ffMixedPtr(&viewport)},
        {FF_SET_PARAMETER_ELEMENT_VALUE, ffMixedPtr(&element)},
        {FF_SET_BEAT_INFO, ffMixedPtr(&beat)},
        {FF_SET_HOST_INFO, ffMixedPtr(&host)},
        {FF_SET_SAMPLE_RATE, ffMixedU32(44100)},
        {FF_GET_PARAMETER_EVENTS, ffMixedPtr(&events)},
        {FF_ENABLE_PLUGIN_CAP, ffMixedU32(FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION)},
        {51, ffMixedU32(0)},
        {0xFFFFFFFFu, ffMixedU32(0)},
    };
    for (const auto& c : calls) {
        const uint64_t answer = m.Call(c.code, c.input, nullptr).Bits;
        // A text answer may refuse with a null pointer instead.
        const bool refused = answer == FF_FAIL || (c.code == FF_GET_PARAMETER_DISPLAY && answer == 0);
        if (!refused) row.Problem("code " + std::to_string(c.code) + " answered " + hex(answer));
    }
    // The first index past the end is unregistered.
    if (!IsNullText(m.Call(FF_GET_PARAMETER_NAME, paramCount)))
        row.Problem("unregistered parameter " + std::to_string(paramCount) + " has a name");
    if (m.Call(FF_GET_PARAMETER_TYPE, paramCount).Bits != FF_FAIL)
        row.Problem("unregistered parameter " + std::to_string(paramCount) + " has a type");
}

bool knownType(uint32_t t) {
    return t <= FF_TYPE_BLUE || (t >= FF_TYPE_STANDARD && t <= FF_TYPE_FILE) || t == FF_TYPE_TEXT ||
           (t >= FF_TYPE_HUE && t <= FF_TYPE_ALPHA);
}

void checkParameters(const Module& m, const ModuleInfo& info, Row& row) {
    std::set<std::string> names;
    for (const ParamDesc& p : info.params) {
        const std::string who = "parameter " + std::to_string(p.index);
        if (IsNullText(m.Call(FF_GET_PARAMETER_NAME, p.index)) || p.name.empty())
            row.Problem(who + " has no name");
        else if (!names.insert(p.name).second)
            row.Problem(who + " repeats the name '" + p.name + "'");
        if (!knownType(p.type)) {
            row.Problem(who + " has type " + hex(p.type));
            continue;
        }
        if (m.Call(FF_GET_NUM_PARAMETER_ELEMENTS, p.index).Bits == FF_FAIL) row.Problem(who + " has no element count");
        if (p.IsText()) {
            if (IsNullText(m.Call(FF_GET_PARAMETER_DEFAULT, p.index))) row.Problem(who + " has no default text");
            continue;
        }
        if (p.type == FF_TYPE_BUFFER) continue;
        if (!std::isfinite(p.defaultValue)) {
            row.Problem(who + " has a default that is not a number");
            continue;
        }
        if (p.type == FF_TYPE_OPTION) {
            bool matches = false;
            for (const auto& e : p.elements) matches = matches || e.value == p.defaultValue;
            if (p.elements.empty())
                row.Problem(who + " is an option without options");
            else if (!matches)
                row.Problem(who + " defaults to " + std::to_string(p.defaultValue) + ", which is none of its options");
            continue;
        }
        if (!(p.rangeMin <= p.rangeMax))
            row.Problem(who + " has an inverted range");
        else if (p.defaultValue < p.rangeMin || p.defaultValue > p.rangeMax)
            row.Problem(who + " ('" + p.name + "') defaults to " + std::to_string(p.defaultValue) + ", outside " +
                        std::to_string(p.rangeMin) + ".." + std::to_string(p.rangeMax));
    }
}

// Everything that needs an instance, under a GL state and error watch.
class GLSession {
public:
    GLSession(const Module& m, const ModuleInfo& i, HeadlessGL& context, Reporter& reporter, std::string& hintOut)
        : module(m), info(i), gl(context), out(reporter), hint(hintOut) {}

    // Rows kDefaults to kEvents, each reported as soon as it and those before
    // it are done (the state and debug rows watch every call, so they and the
    // events row after them come at the end).
    void Run() {
        gl.SetDebugSink([this](unsigned type, unsigned, const std::string& message) {
            if (type != HeadlessGL::kDebugTypeError) return;
            if (debugErrors++ == 0) firstDebugError = message;
        });
        struct Unsink {
            HeadlessGL& gl;
            ~Unsink() { gl.SetDebugSink(nullptr); }
        } unsink{gl};
        MakeInputs();
        RunInstances();
        ReportUpTo(kRowCount);
    }

private:
    static constexpr int kFrames = 3;

    Row& RowAt(size_t index) {
        switch (index) {
            case kDefaults: return defaults;
            case kLifecycle: return lifecycle;
            case kState: return state;
            case kDebug: return debug;
            default: return events;
        }
    }

    // Reports this session's rows before `index` not yet reported.
    void ReportUpTo(size_t index) {
        if (debugErrors && !debugCounted) {
            debug.Problem(std::to_string(debugErrors) + " KHR_debug error(s), first: " + firstDebugError);
            debugCounted = true;
        }
        for (size_t r = std::max<size_t>(out.Next(), kDefaults); r < index; ++r) {
            const std::string summary = r == kLifecycle ? lifecycleSummary : r == kEvents ? eventsSummary : "";
            out.Add(r, RowAt(r).Ok(), RowAt(r).Detail(summary));
        }
    }

    // A call of row `index`, under the GL state and error watch. A crash in
    // it fails that row (what the crash left of the GL state is no fault of
    // the module's contract) and ends the session.
    void Watch(size_t index, const std::string& what, const std::function<void()>& call) {
        const GLStateWatch watch;
        call();
        if (module.Crashed()) {
            ReportUpTo(out.CrashRow(index));
            out.Crashed(index, crashDetail(module, what));
        }
        if (const std::string changed = watch.Changed(); !changed.empty())
            state.Problem("after " + what + ": " + changed);
        if (const unsigned n = watch.Errors()) debug.Problem(std::to_string(n) + " glGetError error(s) after " + what);
    }

    // The inputs an effect or mixer asks for, and the host's target.
    void MakeInputs() {
        inputCount = info.minInputs;
        if (inputCount == 0 && info.type != FF_SOURCE && info.maxInputs > 0) inputCount = 1;
        textures.resize(inputCount);
        std::string error;
        for (uint32_t i = 0; i < inputCount; ++i) {
            Image picture;
            MakePattern(i == 0 ? "alpha-bars" : "checker", kWidth, kHeight, picture, error);
            textures[i].Create(picture);
            descs.push_back(textures[i].Desc());
        }
        target.Create(kWidth, kHeight);
    }

    // The state a host hands a plugin before a call: its target bound and
    // cleared, nothing else bound; blending as a compositing host sets it.
    void Prepare(bool blend) {
        glUseProgram(0);
        glBindVertexArray(0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, 0);
        target.Bind();
        target.Clear();
        if (blend) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            glDisable(GL_BLEND);
        }
    }

    void RunInstances() {
        Prepare(false);
        Instance first, second;
        std::string error;
        bool made = false;
        Watch(kLifecycle, "FF_INSTANTIATE_GL", [&] { made = first.Create(module, kWidth, kHeight, error); });
        if (!made) {
            lifecycle.Problem(error);
            defaults.Problem("not run: no instance");
            events.Problem("not run: no instance");
            hint = UniformNameHint(info);
            return;
        }
        SetDefaults(first);
        ReportUpTo(kLifecycle);
        RenderFrames(first);
        CheckEvents(first);
        // A second instance beside the first: shared state must not mix them up.
        Prepare(false);
        Watch(kLifecycle, "FF_INSTANTIATE_GL (second instance)",
              [&] { made = second.Create(module, kWidth, kHeight, error); });
        if (!made) {
            lifecycle.Problem("second instance: " + error);
        } else {
            bool ok = false;
            Watch(kLifecycle, "FF_PROCESS_OPENGL (second instance)",
                  [&] { ok = second.Process(descs, target.Framebuffer()); });
            if (!ok) lifecycle.Problem("FF_PROCESS_OPENGL failed on the second instance");
        }
        Watch(kLifecycle, "FF_DEINSTANTIATE_GL", [&] { first.Destroy(); });
        Watch(kLifecycle, "FF_DEINSTANTIATE_GL (second instance)", [&] { second.Destroy(); });
        lifecycleSummary = std::to_string(kFrames) + " frames at " + std::to_string(kWidth) + "x" +
                           std::to_string(kHeight) + ", " + std::to_string(inputCount) + " input(s), two instances";
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    void SetDefaults(const Instance& instance) {
        Watch(kDefaults, "FF_SET_PARAMETER", [&] {
            for (const ParamDesc& p : info.params) {
                if (p.type == FF_TYPE_BUFFER) continue;
                const bool ok =
                    p.IsText() ? instance.SetText(p.index, p.defaultText) : instance.SetFloat(p.index, p.defaultValue);
                if (!ok) defaults.Problem("'" + p.name + "' refused its default");
            }
        });
    }

    // Frames with the time set before each; blending on for the last.
    void RenderFrames(const Instance& instance) {
        for (int f = 0; f < kFrames; ++f) {
            Prepare(f == kFrames - 1);
            const std::string frame = " (frame " + std::to_string(f + 1) + (f == kFrames - 1 ? ", blending on)" : ")");
            Watch(kLifecycle, "FF_SET_TIME" + frame, [&] { instance.SetTime(f / 60.0); });
            bool ok = false;
            Watch(kLifecycle, "FF_PROCESS_OPENGL" + frame, [&] { ok = instance.Process(descs, target.Framebuffer()); });
            if (!ok) lifecycle.Problem("FF_PROCESS_OPENGL failed" + frame);
        }
        glDisable(GL_BLEND);
    }

    void CheckEvents(const Instance& instance) {
        uint32_t pending = 0, left = 0;
        std::vector<ParamEvent> delivered;
        Watch(kEvents, "FF_GET_PARAMETER_EVENTS", [&] {
            pending = instance.PendingEvents();
            delivered = instance.CollectEvents();
            left = instance.PendingEvents();
        });
        if (delivered.size() != pending)
            events.Problem(std::to_string(pending) + " pending but " + std::to_string(delivered.size()) + " delivered");
        for (const ParamEvent& e : delivered) {
            if (e.index >= info.params.size()) events.Problem("event for unknown parameter " + std::to_string(e.index));
            if (e.flags == 0) events.Problem("event with no flags for parameter " + std::to_string(e.index));
        }
        if (left != 0) events.Problem(std::to_string(left) + " still pending after delivery");
        eventsSummary = std::to_string(delivered.size()) + " delivered";
    }

    const Module& module;
    const ModuleInfo& info;
    HeadlessGL& gl;
    Reporter& out;
    std::string& hint;
    Row defaults, lifecycle, state, debug, events;
    std::string lifecycleSummary, eventsSummary;
    bool debugCounted = false;
    uint32_t inputCount = 0;
    std::vector<InputTexture> textures;
    std::vector<FFGLTextureStruct> descs;
    RenderTarget target;
    unsigned debugErrors = 0;
    std::string firstDebugError;
};

}  // namespace

const std::vector<std::string>& CheckRowNames() {
    static const std::vector<std::string> names(std::begin(kRows), std::end(kRows));
    return names;
}

CheckReport CheckModule(const std::string& path, HeadlessGL& gl, size_t firstRow,
                        const std::function<void(const CheckResult&)>& onRow) {
    static_assert(std::size(kRows) == kRowCount, "a name for every row");
    CheckReport report;
    Reporter out(firstRow, onRow, report);
    std::string error;
    auto module = Module::Load(path, error);
    if (!module) {  // (a crash while loading too: it would crash in any process)
        out.Add(kExports, false, error);
        while (out.Next() < kRowCount) out.Add(out.Next(), false, "not run: the module did not load");
        return report;
    }
    // A crash in a call of row `index` ends the check here.
    auto crashed = [&](size_t index) {
        if (module->Crashed()) out.Crashed(index, crashDetail(*module));
    };
    try {
        out.Add(
            kExports, module->Symbol("SetLogCallback") != nullptr,
            module->Symbol("SetLogCallback") ? "plugMain, SetLogCallback" : "plugMain found, SetLogCallback missing");

        Row infoRow, extRow, thumbRow, nullRow, paramRow;
        checkInfoRecord(*module, infoRow);
        crashed(kInfo);
        const ModuleInfo info = module->Describe();
        crashed(kInfo);
        report.id = info.id;
        report.name = info.name;
        out.Add(kInfo, infoRow.Ok(),
                infoRow.Detail("'" + info.name + "' (" + info.id + "), API " + std::to_string(info.apiMajor) + "." +
                               std::to_string(info.apiMinor) + ", " + PluginTypeName(info.type)));
        std::string extSummary, thumbSummary;
        checkExtendedInfo(*module, extRow, extSummary);
        crashed(kExtended);
        out.Add(kExtended, extRow.Ok(), extRow.Detail(extSummary));
        checkThumbnail(*module, thumbRow, thumbSummary);
        crashed(kThumbnail);
        out.Add(kThumbnail, thumbRow.Ok(), thumbRow.Detail(thumbSummary));

        const uint64_t count = module->Call(FF_GET_NUM_PARAMETERS, 0u).Bits;
        crashed(kNullInstance);
        checkNullInstance(*module, count == FF_FAIL ? 0 : uint32_t(count), nullRow);
        crashed(kNullInstance);
        out.Add(kNullInstance, nullRow.Ok(), nullRow.Detail("all refused"));
        if (count == FF_FAIL)
            paramRow.Problem("FF_GET_NUM_PARAMETERS failed");
        else if (count > kMaxParams)
            paramRow.Problem(std::to_string(count) + " parameters is implausible");
        else
            checkParameters(*module, info, paramRow);
        crashed(kParameters);
        out.Add(kParameters, paramRow.Ok(), paramRow.Detail(std::to_string(info.params.size()) + " parameters"));

        GLSession session(*module, info, gl, out, report.hint);
        session.Run();
    } catch (const ModuleCrashed&) {
        // Reported; the rows after it are for a fresh process.
    }
    return report;
}

}  // namespace tessivar
