#include "runner/preview/Session.h"

#include "gl/GLIncludes.h"
#include "runner/commands/CommandLine.h"
#include "runner/preview/Requests.h"

#include <algorithm>

namespace tessivar::preview {
namespace {

using cli::Failure;
using nlohmann::json;

constexpr auto kWatchEvery = std::chrono::milliseconds(250);
constexpr auto kFpsWindow = std::chrono::seconds(1);
constexpr unsigned kDebugSeverityNotification = 0x826B;  // GL_DEBUG_SEVERITY_NOTIFICATION

// The module's log (SetLogCallback) has no context argument: one hub per process.
Hub* g_logHub = nullptr;
void hostLog(const char* message) {
    if (g_logHub && message) g_logHub->Log("host", message);
}

void connectHostLog(const Module& module) {
    using SetLog = void (*)(FFLogCallback);
    if (auto set = reinterpret_cast<SetLog>(module.Symbol("SetLogCallback"))) set(&hostLog);
}

}  // namespace

Session::Session(const cli::PreviewArgs& a, Hub& h) : args(a), hub(h) { g_logHub = &hub; }

Session::~Session() {
    if (host) host->Plugin().Destroy();
    host.reset();
    audio.reset();
    build.reset();
    g_logHub = nullptr;
}

void Session::Open() {
    const cli::Size size = cli::ParseSizeArg("--size", args.size);
    if (!(args.fps > 0) || args.fps > 1000) throw cli::UsageFailure("--fps: must be above 0 and at most 1000");
    std::string error;
    build = ModuleBuild::Load(args.module, work.Path(), error);
    if (!build) throw Failure(error);
    cli::ResolveSettings(build->Info(), args.settings);  // checked now; applied in Start
    width = size.width;
    height = size.height;
    feed.Open(args.inputs, args.patterns, width, height, args.fps);
    const std::string audioPath = !args.audio.empty() ? args.audio : feed.HasClip() ? feed.ClipPath() : "";
    // Opened whether or not this build has FFT parameters: a later one may.
    if (!audioPath.empty()) {
        spectrum = AudioSpectrum::Open(audioPath, error);
        // A clip without audio leaves the spectra silent; --audio must work.
        if (!spectrum && !args.audio.empty()) throw Failure(error);
    }
    watch = std::make_unique<FileWatch>(ModuleBinary(args.module));  // the file a build tool rewrites
}

void Session::Start(HeadlessGL& gl, FrameEncoder& enc) {
    encoder = &enc;
    gl.SetDebugSink([this](unsigned, unsigned severity, const std::string& message) {
        if (severity != kDebugSeverityNotification) hub.Log("gl", message);
    });
    std::unique_ptr<FrameHost> first;
    std::string error;
    if (!MakeHost(*build, first, error)) throw Failure(error);
    cli::ApplySettings(first->Plugin(), cli::ResolveSettings(build->Info(), args.settings));
    Install(std::move(build), std::move(first));
}

bool Session::MakeHost(ModuleBuild& next, std::unique_ptr<FrameHost>& made, std::string& error) {
    connectHostLog(next.Library());
    made = std::make_unique<FrameHost>();
    return made->Create(next.Library(), next.Info(), feed.Pictures(), width, height, error);
}

void Session::CarryValues(const ModuleBuild& next, FrameHost& made) const {
    const ModuleInfo& old = build->Info();
    for (const ParamDesc& p : next.Info().params) {
        if (p.type == FF_TYPE_BUFFER) continue;
        // The same index first, then the same name anywhere: a build that
        // inserts a parameter keeps the others' values.
        const ParamDesc* was = p.index < old.params.size() && old.params[p.index].name == p.name
                                   ? &old.params[p.index]
                                   : old.FindParam(p.name);
        if (!was || was->type != p.type || was->name != p.name) continue;
        if (p.IsText())
            made.Plugin().SetText(p.index, values[was->index].text);
        else
            made.Plugin().SetFloat(p.index, values[was->index].number);
    }
}

void Session::Install(std::unique_ptr<ModuleBuild> next, std::unique_ptr<FrameHost> made) {
    if (host) {
        const GLStateWatch state;
        host->Plugin().Destroy();
        LogStateChange("FF_DEINSTANTIATE_GL", state);
    }
    host = std::move(made);
    audio.reset();
    build = std::move(next);  // the old library goes only after its instance
    if (spectrum) {
        audio = std::make_unique<AudioFeed>(build->Info(), *spectrum);
        audio->Start(build->Library(), host->Plugin());
    }
    values.assign(build->Info().params.size(), Value{});
    for (uint32_t i = 0; i < values.size(); ++i) ReadValue(i);
    ++loads;
    loadError.clear();
    crashLine.clear();
    stateProblems.clear();
    hub.PublishModule(std::make_shared<const ModuleInfo>(build->Info()));
    dirty = true;
}

void Session::Reload() {
    std::string error;
    auto next = ModuleBuild::Load(args.module, work.Path(), error);
    std::unique_ptr<FrameHost> made;
    const bool ready = next && MakeHost(*next, made, error);
    // A crash in the new build's first calls: the line that names them.
    if (next && !next->CrashLine().empty()) error = next->CrashLine();
    if (ready && next->CrashLine().empty()) {
        CarryValues(*next, *made);
        Install(std::move(next), std::move(made));
        hub.Log("module", "loaded the new build of " + args.module + " (load " + std::to_string(loads) + ")");
        return;
    }
    // A failed build leaves the old instance and its library as they were;
    // the half-made host goes before its library.
    made.reset();
    next.reset();
    if (build) connectHostLog(build->Library());
    loadError = error;
    hub.Log("module", "the new build did not load, the previous one keeps running: " + loadError);
}

void Session::Apply(const Command& c) {
    applied = std::max(applied, c.seq);
    switch (c.kind) {
        case Command::Kind::SetValue:
        case Command::Kind::SetText: {
            uint64_t current = 0;
            hub.Module(current);
            if (c.build != current || c.index >= values.size()) return;  // checked against an older build
            const GLStateWatch state;
            const bool ok = c.kind == Command::Kind::SetText ? host->Plugin().SetText(c.index, c.text)
                                                             : host->Plugin().SetFloat(c.index, c.value);
            LogStateChange("FF_SET_PARAMETER", state);
            if (!ok) hub.Log("module", "FF_SET_PARAMETER " + std::to_string(c.index) + " was refused");
            ReadValue(c.index);
            break;
        }
        case Command::Kind::Play:
            if (atEnd) RewindInput();  // playing again from a clip's end starts it over
            playing = true;
            break;
        case Command::Kind::Pause: playing = false; break;
        case Command::Kind::Step:
            playing = false;
            AdvanceInput();
            break;
        case Command::Kind::Loop: loop = c.on; break;
    }
    dirty = true;
}

bool Session::AdvanceInput() {
    bool rewound = false;
    std::string error;
    switch (feed.Advance(loop, rewound, error)) {
        case InputFeed::Step::Moved:
            if (host && feed.HasClip()) host->UpdateInput(feed.ClipSlot(), feed.Pictures()[feed.ClipSlot()]);
            if (rewound && spectrum && !spectrum->Seek(0, error)) hub.Log("module", error);
            dirty = true;
            return true;
        case InputFeed::Step::AtEnd:
            playing = false;
            atEnd = true;
            return false;
        case InputFeed::Step::Failed:
            hub.Log("module", error);
            playing = false;
            return false;
    }
    return false;
}

void Session::RewindInput() {
    std::string error;
    atEnd = false;
    if (!feed.Rewind(error) || (spectrum && !spectrum->Seek(0, error))) hub.Log("module", error);
    if (feed.HasClip()) host->UpdateInput(feed.ClipSlot(), feed.Pictures()[feed.ClipSlot()]);
}

void Session::LogStateChange(const std::string& what, const GLStateWatch& state) {
    const std::string changed = state.Changed();
    if (changed.empty() || !stateProblems.insert(what + changed).second) return;
    hub.Log("state", "after " + what + ": " + changed);
}

void Session::ReadValue(uint32_t i) {
    const ParamDesc& p = build->Info().params[i];
    if (p.type == FF_TYPE_BUFFER) return;
    Value& v = values[i];
    if (p.IsText())
        v.text = host->Plugin().GetText(i);
    else
        v.number = host->Plugin().GetFloat(i);
    v.display = host->Plugin().Display(i);
}

void Session::NoticeCrash() {
    if (!build || !crashLine.empty()) return;
    crashLine = build->CrashLine();
    if (crashLine.empty()) return;
    hub.Log("module", crashLine + "; the last frame stays until the next build");
    dirty = true;  // published, and no more frames
}

void Session::Render() {
    if (!crashLine.empty()) {  // the module is called no more
        dirty = false;
        return;
    }
    const auto start = Clock::now();
    std::string error;
    if (audio && !audio->Frame(build->Library(), host->Plugin(), feed.Time(), error)) hub.Log("module", error);
    host->PrepareTarget();
    if (build->Info().timeSupported) host->Plugin().SetTime(feed.Time());
    const GLStateWatch state;
    if (!host->Plugin().Process(host->InputDescs(), host->Target().Framebuffer()) && !host->Plugin().Crashed())
        hub.Log("module", "FF_PROCESS_OPENGL failed");  // (a crash is told by NoticeCrash)
    LogStateChange("FF_PROCESS_OPENGL", state);
    glFinish();
    const auto rendered = Clock::now();
    for (const ParamEvent& e : host->Plugin().CollectEvents())
        if (e.index < values.size()) ReadValue(e.index);

    recent.push_back(rendered);
    while (recent.size() > 2 && recent.back() - recent.front() > kFpsWindow) recent.pop_front();
    EncodedFrame meta;
    meta.id = ++frameId;
    meta.applied = applied;
    meta.time = feed.Time();
    meta.renderMs = std::chrono::duration<double, std::milli>(rendered - start).count();
    const double span = std::chrono::duration<double>(recent.back() - recent.front()).count();
    meta.renderFps = span > 0 ? double(recent.size() - 1) / span : 0.0;
    encoder->Submit(host->ReadOutput(), meta);
    dirty = false;
}

void Session::Publish() {
    const ModuleInfo& info = build->Info();
    json params = ParamsToJson(info);
    for (size_t i = 0; i < params.size(); ++i) {
        params[i]["value"] = values[i].number;
        params[i]["text"] = values[i].text;
        params[i]["display"] = values[i].display;
    }
    json session = {
        {"module",
         {{"path", args.module},
          {"name", info.name},
          {"id", info.id},
          {"type", PluginTypeName(info.type)},
          {"loads", loads},
          {"error", loadError},
          {"crash", crashLine}}},
        {"size", {width, height}},
        {"params", std::move(params)},
        {"transport",
         {{"source", feed.HasClip()            ? "clip"
                     : feed.Pictures().empty() ? "none"
                                               : "still"},
          {"playing", playing},
          {"loop", loop},
          {"fps", feed.FrameRate()},
          {"duration", feed.Duration()},
          {"clip", feed.ClipPath()}}},
    };
    hub.PublishSession(std::move(session));
}

void Session::Run(bool (*stop)()) {
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / feed.FrameRate()));
    auto due = Clock::now();
    auto nextLook = Clock::now() + kWatchEvery;
    while (!stop() && !hub.Stopped()) {
        for (const Command& c : hub.Take()) Apply(c);
        NoticeCrash();
        auto now = Clock::now();
        if (now >= nextLook) {
            nextLook = now + kWatchEvery;
            if (watch->Settled()) Reload();
            NoticeCrash();
        }
        if (playing && now >= due) {
            // Late frames are not made up for: the clock restarts from now.
            due = std::max(due + period, now);
            if (frameId > 0) AdvanceInput();
        }
        if (dirty) {
            Render();
            NoticeCrash();
            Publish();
        }
        hub.WaitForCommands(playing ? std::min(due, nextLook) : nextLook);
    }
}

}  // namespace tessivar::preview
