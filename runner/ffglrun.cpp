// ffglrun -- run any FFGL module without a display.
//
//   ffglrun info   MODULE [--json]
//   ffglrun render MODULE [--input FILE.png|CLIP | --pattern NAME]... [--size WxH]
//                         [--out FILE.png | --out frame-%04d.png | --out FILE.mov|.mkv|.webm|.mp4]
//                         [--set NAME=VALUE]... [--frames N] [--fps F] [--start T] [--audio FILE]
//                         [--events] [--raw-in WxH] [--raw-out]
//                         [--expect GOLDEN.png [--tolerance N] [--update-expected]]
//   ffglrun bench  MODULE [--size WxH] [--frames N] [--set NAME=VALUE]... [--pattern NAME] [--json]
//   ffglrun check  MODULE [--json]
//   ffglrun soak   MODULE [--cycles N] [--json]
//   ffglrun --version
//
// Every failure ends the run with a non-zero exit status and one line on
// standard error that names the file or argument at fault. Output files are
// written whole or not at all.
#include "runner/AudioFeed.h"
#include "runner/Bench.h"
#include "runner/Check.h"
#include "runner/FrameHost.h"
#include "runner/Golden.h"
#include "runner/HeadlessGL.h"
#include "runner/ImageIO.h"
#include "runner/InfoFormat.h"
#include "runner/Media.h"
#include "runner/Module.h"
#include "runner/ParamSetting.h"
#include "runner/Patterns.h"
#include "runner/Reports.h"
#include "runner/Soak.h"

#include "gl/GLIncludes.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#ifndef STDIN_FILENO  // MSVC's C runtime has the descriptors but not their names
#define STDIN_FILENO 0
#define STDOUT_FILENO 1
#define STDERR_FILENO 2
#endif
#else
#include <unistd.h>
#endif
#include <vector>

// The process's one GL context (see makeContext). Outside the anonymous
// namespace so the compiler keeps the pointer that keeps it reachable.
tessivar::HeadlessGL* g_context = nullptr;

namespace {

using namespace tessivar;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A failure that ends the run: one line, no stack of messages.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct UsageFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Size {
    uint32_t width = 0, height = 0;
    bool Set() const { return width != 0; }
};

Size parseSizeArg(const std::string& option, const std::string& text) {
    Size s;
    if (!text.empty() && !ParseSize(text, s.width, s.height))
        throw UsageFailure(option + " " + text + ": expected WIDTHxHEIGHT, each 1 to 16384 (e.g. 1920x1080)");
    return s;
}

std::unique_ptr<Module> loadModule(const std::string& path) {
    std::string error;
    auto module = Module::Load(path, error);
    if (!module) throw Failure(error);
    return module;
}

ModuleInfo describe(const Module& module) {
    ModuleInfo info = module.Describe();
    if (!info.hasInfo) throw Failure(module.Path() + ": answers no information record (FF_GET_INFO), so no plugin is registered");
    return info;
}

// The context stays until the process ends. Tearing it down unloads Mesa's
// driver, which leaves its own never-freed state behind as leaks in a
// sanitizer build; the process exit releases it all the same.
HeadlessGL& makeContext() {
    std::string error;
    auto gl = HeadlessGL::Create(error);
    if (!gl) throw Failure("no OpenGL 4.1 context: " + error);
    g_context = gl.release();
    return *g_context;
}
// Reports the module's GL errors as they happen, a few at most.
void reportDebugErrors(HeadlessGL& gl) {
    gl.SetDebugSink([count = 0](unsigned type, unsigned, const std::string& message) mutable {
        if (type != HeadlessGL::kDebugTypeError || ++count > 5) return;
        std::string line = message;
        while (!line.empty() && line.back() == '\n') line.pop_back();
        std::fprintf(stderr, "ffglrun: warning: GL error: %s\n", line.c_str());
    });
}

std::vector<ParamSetting> resolveSettings(const ModuleInfo& info, const std::vector<std::string>& assignments) {
    std::vector<ParamSetting> settings;
    for (const auto& a : assignments) {
        ParamSetting s;
        std::string error;
        if (!ParseSetting(info, a, s, error)) throw UsageFailure(error);
        settings.push_back(s);
    }
    return settings;
}

void applySettings(const Instance& instance, const std::vector<ParamSetting>& settings) {
    for (const auto& s : settings) {
        std::string error;
        if (!ApplySetting(instance, s, error)) throw Failure(error);
    }
}

// An output name, possibly with one %d (or %0Nd) for the frame number.
class OutputName {
public:
    explicit OutputName(std::string pattern, const std::string& option = "--out") : text(std::move(pattern)) {
        const size_t pct = text.find('%');
        if (pct == std::string::npos) return;
        size_t i = pct + 1;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= text.size() || text[i] != 'd' || i - pct > 4 || text.find('%', i) != std::string::npos)
            throw UsageFailure(option + " " + text + ": only one %d (or %04d) is understood in a file name");
        prefix = text.substr(0, pct);
        digits = i - pct - 1 ? std::stoi(text.substr(pct + 1, i - pct - 1)) : 0;
        suffix = text.substr(i + 1);
        sequence = true;
    }
    bool Sequence() const { return sequence; }
    std::string For(int frame) const {
        if (!sequence) return text;
        std::string n = std::to_string(frame);
        if (int(n.size()) < digits) n.insert(0, size_t(digits) - n.size(), '0');
        return prefix + n + suffix;
    }
    // Fails early when the folder cannot take the file, before any rendering.
    void CheckWritable() const {
        const std::string path = For(0);
        const size_t slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        if (::access(dir.c_str(), F_OK) != 0) throw Failure("cannot write " + path + ": folder " + dir + " does not exist");
        if (::access(dir.c_str(), W_OK) != 0) throw Failure("cannot write " + path + ": folder " + dir + " is not writable");
    }

private:
    std::string text, prefix, suffix;
    int digits = 0;
    bool sequence = false;
};

// Windows' isatty also answers yes for the NUL device; only a console is a
// terminal there.
bool isTerminal(int fd) {
#ifdef _WIN32
    DWORD mode = 0;
    return ::isatty(fd) && GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode);
#else
    return ::isatty(fd) == 1;
#endif
}

// Progress on standard error, only for a person watching a terminal.
class Progress {
public:
    explicit Progress(int expected) : total(expected), enabled(isTerminal(STDERR_FILENO)), start(Clock::now()) {}
    void Frame(int done) {
        if (!enabled) return;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double fps = seconds > 0 ? done / seconds : 0;
        std::fprintf(stderr, "\r");
        if (total > 0) {
            const int filled = std::min(20, 20 * done / total);
            std::fprintf(stderr, "[%s%s] ", std::string(size_t(filled), '#').c_str(),
                         std::string(size_t(20 - filled), '.').c_str());
        }
        std::fprintf(stderr, "frame %d", done);
        if (total > 0) std::fprintf(stderr, "/%d", total);
        std::fprintf(stderr, "  %.1f fps", fps);
        if (total > 0 && fps > 0) std::fprintf(stderr, "  %.0f s left", (total - done) / fps);
        std::fprintf(stderr, "   ");
        shown = true;
    }
    ~Progress() {
        if (shown) std::fprintf(stderr, "\n");
    }

private:
    using Clock = std::chrono::steady_clock;
    int total;
    bool enabled;
    bool shown = false;
    Clock::time_point start;
};

// The frames of --raw-out get standard output to themselves: anything else
// written there (a module's own printf, say) goes to standard error instead
// of corrupting the stream.
std::FILE* takeStandardOutput() {
    std::fflush(stdout);
    const int framesFd = ::dup(STDOUT_FILENO);
    std::FILE* frames = framesFd >= 0 ? ::fdopen(framesFd, "wb") : nullptr;
    if (!frames || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) throw Failure("--raw-out: cannot take over standard output");
    return frames;
}

// JSON goes to the real standard output, taken before the module is loaded:
// a module that prints (on load or every frame) would otherwise break it.
class JsonOut {
public:
    explicit JsonOut(bool wanted) : to(wanted ? takeStandardOutput() : nullptr) {}
    bool Wanted() const { return to != nullptr; }
    void Write(const nlohmann::json& j) const {
        const std::string text = j.dump(2) + "\n";
        std::fwrite(text.data(), 1, text.size(), to);
        std::fflush(to);
    }

private:
    std::FILE* to;
};

// ---- info -------------------------------------------------------------------

struct InfoArgs {
    std::string module;
    bool json = false;
};

int runInfo(const InfoArgs& a) {
    const JsonOut json(a.json);
    auto module = loadModule(a.module);
    const ModuleInfo info = describe(*module);
    if (json.Wanted())
        json.Write(InfoToJson(info));
    else
        std::cout << InfoToText(info);
    return 0;
}

// ---- render -----------------------------------------------------------------

struct RenderArgs {
    std::string module;
    std::vector<std::string> inputs, patterns, settings;
    std::string size, out, rawIn, audio;
    int frames = 1;
    bool framesGiven = false;
    double fps = 30.0;
    double start = 0.0;
    bool events = false;
    bool rawOut = false;
    std::string expect;
    int tolerance = kDefaultTolerance;
    bool updateExpected = false;
};

// One video clip among the inputs: its frames replace the input's picture
// frame by frame, and their times become the host time.
struct ClipInput {
    std::string path;
    std::unique_ptr<ClipReader> reader;
    size_t slot = 0;
    double time = 0;  // of the frame in the slot
};

// Inputs from PNG files and a clip first, then patterns, in the order given.
std::vector<Image> loadInputs(const RenderArgs& a, Size& size, ClipInput& clip) {
    std::vector<Image> images;
    for (const auto& path : a.inputs) {
        Image img;
        std::string error;
        if (!IsPngName(path)) {
            if (clip.reader) throw UsageFailure("--input " + path + ": one video clip at a time (" + clip.path + " is one)");
            clip.path = path;
            clip.reader = ClipReader::Open(path, error);
            if (!clip.reader || (a.start > 0 && !clip.reader->Seek(a.start, error)) ||
                !clip.reader->Next(img, clip.time, error))
                throw Failure(error.empty() ? path + ": no frame to read" : error);
            clip.slot = images.size();
        } else if (!ReadPng(path, img, error)) {
            throw Failure(error);
        }
        if (!size.Set()) size = {img.width, img.height};
        images.push_back(std::move(img));
    }
    if (!size.Set()) size = {1280, 720};
    for (const auto& name : a.patterns) {
        Image img;
        std::string error;
        if (!MakePattern(name, size.width, size.height, img, error)) throw UsageFailure("--pattern " + name + ": " + error);
        images.push_back(std::move(img));
    }
    return images;
}

void printEvents(std::FILE* to, int frame, const Instance& instance, const ModuleInfo& info) {
    for (const ParamEvent& e : instance.CollectEvents()) {
        const ParamDesc* p = e.index < info.params.size() ? &info.params[e.index] : nullptr;
        const std::string name = p ? p->name : "#" + std::to_string(e.index);
        const std::string value = p && p->IsText() ? "\"" + instance.GetText(e.index) + "\""
                                                   : std::to_string(instance.GetFloat(e.index));
        std::fprintf(to, "frame %d: event %s (%u) flags 0x%llx -> %s\n", frame, name.c_str(), e.index,
                     static_cast<unsigned long long>(e.flags), value.c_str());
    }
    std::fflush(to);
}

// The frames of a video --out, with the audio the run was given.
std::unique_ptr<ClipWriter> openClipOut(const RenderArgs& a, const Size& size, double fps, const std::string& audio) {
    std::string error;
    auto writer = ClipWriter::Open(a.out, size.width, size.height, fps, {audio, a.start}, error);
    if (!writer) throw Failure(error);
    if (!writer->KeepsAlpha())
        std::fprintf(stderr, "ffglrun: note: %s keeps no alpha; frames are composited over black (%s)\n",
                     a.out.c_str(), writer->Encoder().c_str());
    return writer;
}

int runRender(const RenderArgs& a) {
    const bool rawIn = !a.rawIn.empty();
    if (rawIn && (!a.inputs.empty() || !a.patterns.empty()))
        throw UsageFailure("--raw-in: takes the input from standard input, so --input and --pattern cannot be given too");
    if (a.out.empty() && !a.rawOut && !a.events && a.expect.empty())
        throw UsageFailure("render: nothing to write; give --out FILE.png, --raw-out, --events or --expect");
    if (a.updateExpected && a.expect.empty()) throw UsageFailure("--update-expected: needs --expect GOLDEN.png");
    if (a.tolerance < 0 || a.tolerance > 255) throw UsageFailure("--tolerance: must be 0 to 255");
    if (a.frames < 1) throw UsageFailure("--frames " + std::to_string(a.frames) + ": must be 1 or more");
    if (!(a.fps > 0)) throw UsageFailure("--fps: must be above 0");
    if (!(a.start >= 0)) throw UsageFailure("--start: must be 0 or more seconds");
    const bool clipOut = !a.out.empty() && !IsPngName(a.out);
    if (clipOut) {
        const auto& known = ClipExtensions();
        if (std::find(known.begin(), known.end(), ExtensionOf(a.out)) == known.end())
            throw Failure(a.out + ": unknown output extension; ffglrun writes .png, .mov, .mkv, .webm or .mp4");
        if (a.out.find('%') != std::string::npos)
            throw UsageFailure("--out " + a.out + ": a video is one file; %d numbers PNG files");
    }
    if (a.rawOut && isTerminal(STDOUT_FILENO))
        throw UsageFailure("--raw-out: standard output is a terminal; pipe it into a program or a file");
    if (rawIn && isTerminal(STDIN_FILENO))
        throw UsageFailure("--raw-in: standard input is a terminal; pipe RGBA frames into it");
    Size size = parseSizeArg("--size", a.size);
    const Size rawSize = parseSizeArg("--raw-in", a.rawIn);
    std::unique_ptr<OutputName> out;
    if (!a.out.empty()) {
        out = std::make_unique<OutputName>(a.out);
        out->CheckWritable();
    }
    std::unique_ptr<OutputName> expect;
    if (!a.expect.empty()) {
        expect = std::make_unique<OutputName>(a.expect, "--expect");
        if (expect->Sequence() && out && !out->Sequence())
            throw UsageFailure("--expect " + a.expect + ": one golden per frame needs one output per frame (a %d in --out)");
        if (a.updateExpected) expect->CheckWritable();
    }
    // A frame's diff picture goes beside its output, or beside its golden
    // when there is no output file.
    auto diffPath = [&](int frame) { return DiffPathFor(out ? out->For(frame) : expect->For(frame)); };
    GoldenCheck golden(a.tolerance, a.updateExpected);

    auto module = loadModule(a.module);
    const ModuleInfo info = describe(*module);
    const std::vector<ParamSetting> settings = resolveSettings(info, a.settings);
    std::vector<Image> inputs;
    ClipInput clip;
    if (rawIn) {
        inputs.emplace_back(rawSize.width, rawSize.height);
        if (!size.Set()) size = rawSize;
    } else {
        Size inputSize = size;
        inputs = loadInputs(a, inputSize, clip);
        if (!size.Set()) size = inputSize;
    }
    const double fps = clip.reader && clip.reader->FrameRate() > 0 ? clip.reader->FrameRate() : a.fps;
    // The audio for FFT parameters and the output: --audio, else the clip's.
    const std::string audioPath = !a.audio.empty() ? a.audio : clip.reader && clip.reader->HasAudio() ? clip.path : "";
    std::unique_ptr<AudioSpectrum> spectrum;
    const bool wantsAudio = std::any_of(info.params.begin(), info.params.end(), IsFftParam);
    if (!audioPath.empty() && (wantsAudio || !a.audio.empty())) {
        std::string error;
        spectrum = AudioSpectrum::Open(audioPath, error);
        if (!spectrum || (a.start > 0 && !spectrum->Seek(a.start, error))) throw Failure(error);
    }
    std::unique_ptr<ClipWriter> clipWriter = clipOut ? openClipOut(a, size, fps, audioPath) : nullptr;

    HeadlessGL& gl = makeContext();
    reportDebugErrors(gl);
    std::FILE* eventsTo = a.rawOut ? stderr : stdout;
    std::FILE* frames = a.rawOut ? takeStandardOutput() : nullptr;
#ifdef SIGPIPE  // (Windows has none: a closed pipe is a write error there already)
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe becomes a write error we can report
#endif

    // With --raw-in the first frame must be read before the instance sees it.
    int framesRead = 0;
    auto readFrame = [&](Image& frame) {
        size_t got = 0;
        switch (ReadRawFrame(stdin, frame, got)) {
            case RawRead::Frame: ++framesRead; return true;
            case RawRead::End: return false;
            case RawRead::Short:
                throw Failure("standard input ended inside frame " + std::to_string(framesRead + 1) + " (" +
                              std::to_string(got) + " of " + std::to_string(frame.rgba.size()) + " bytes); " +
                              std::to_string(framesRead) + " whole frame(s) read and rendered");
        }
        return false;
    };
    if (rawIn && !readFrame(inputs[0])) throw Failure("standard input: no frame to read (expected " + a.rawIn + " RGBA)");

    FrameHost host;
    std::string error;
    if (!host.Create(*module, info, inputs, size.width, size.height, error)) throw Failure(error);
    applySettings(host.Plugin(), settings);
    std::unique_ptr<AudioFeed> audioFeed;
    if (spectrum) {
        audioFeed = std::make_unique<AudioFeed>(info, *spectrum);
        audioFeed->Start(*module, host.Plugin());
    }

    const int total = (rawIn || clip.reader) && !a.framesGiven ? 0 : a.frames;
    int expected = total;
    if (clip.reader && total == 0) expected = int(std::max(0.0, clip.reader->Duration() - a.start) * fps + 0.5);
    Progress progress(expected);
    Image last;
    int rendered = 0;
    for (int frame = 0; total == 0 || frame < total; ++frame) {
        if (rawIn && frame > 0) {
            if (!readFrame(inputs[0])) break;
            host.UpdateInput(0, inputs[0]);
        }
        if (clip.reader && frame > 0) {
            if (!clip.reader->Next(inputs[clip.slot], clip.time, error)) {
                if (!error.empty()) throw Failure(error);
                break;
            }
            host.UpdateInput(clip.slot, inputs[clip.slot]);
        }
        const double time = clip.reader ? clip.time : a.start + frame / fps;
        if (audioFeed && !audioFeed->Frame(*module, host.Plugin(), time, error)) throw Failure(error);
        if (!host.RenderFrame(time, error)) throw Failure(error);
        if (a.events) printEvents(eventsTo, frame + 1, host.Plugin(), info);
        const bool lastFrame = frame + 1 == total;
        if (a.rawOut || clipWriter || (out && (out->Sequence() || lastFrame)) ||
            (expect && (expect->Sequence() || lastFrame)))
            last = host.ReadOutput();
        if (frames && !WriteRawFrame(frames, last))
            throw Failure("standard output closed after " + std::to_string(frame) + " frame(s)");
        if (clipWriter && !clipWriter->Write(last, time - a.start, error)) throw Failure(error);
        if (out && !clipWriter && out->Sequence() && !WritePng(out->For(frame + 1), last, error)) throw Failure(error);
        if (expect && expect->Sequence() &&
            !golden.Frame(frame + 1, last, expect->For(frame + 1), diffPath(frame + 1), error))
            throw Failure(error);
        progress.Frame(++rendered);
    }
    if (clipWriter && !clipWriter->Finish(error)) throw Failure(error);
    // An open-ended stream writes its last frame once the stream is over.
    const bool pngOut = out && !clipWriter && !out->Sequence();
    // A stream or clip that ended before --frames did leaves its last frame unread too.
    if (rendered != total && (pngOut || (expect && !expect->Sequence()))) last = host.ReadOutput();
    if (pngOut && !WritePng(out->For(0), last, error)) throw Failure(error);
    if (expect && !expect->Sequence() && !golden.Frame(rendered, last, expect->For(0), diffPath(0), error))
        throw Failure(error);
    host.Plugin().Destroy();
    if (expect && !golden.Finish(error)) throw Failure(error);
    if (a.updateExpected) std::fprintf(eventsTo, "wrote the golden picture(s) %s\n", a.expect.c_str());
    return 0;
}

// ---- bench ------------------------------------------------------------------

struct BenchArgs {
    std::string module, size = "1920x1080", pattern = "grid";
    std::vector<std::string> settings;
    int frames = 60;
    int warmup = 5;
    bool json = false;
};

int runBench(const BenchArgs& a) {
    const Size size = parseSizeArg("--size", a.size);
    if (a.frames < 1) throw UsageFailure("--frames " + std::to_string(a.frames) + ": must be 1 or more");
    if (a.warmup < 0) throw UsageFailure("--warmup: must be 0 or more");
    const JsonOut json(a.json);
    auto module = loadModule(a.module);
    const ModuleInfo info = describe(*module);
    const std::vector<ParamSetting> settings = resolveSettings(info, a.settings);
    Image picture;
    std::string error;
    if (!MakePattern(a.pattern, size.width, size.height, picture, error)) throw UsageFailure("--pattern " + a.pattern + ": " + error);
    const size_t inputCount = std::max<size_t>(info.minInputs, info.type == FF_SOURCE ? 0 : std::min<uint32_t>(1, info.maxInputs));
    const std::vector<Image> inputs(inputCount, picture);

    HeadlessGL& gl = makeContext();
    reportDebugErrors(gl);
    FrameHost host;
    if (!host.Create(*module, info, inputs, size.width, size.height, error)) throw Failure(error);
    applySettings(host.Plugin(), settings);
    InputTexture floorInput;
    FloorShader floor;
    if (!floorInput.Create(picture) || !floor.Create(error)) throw Failure(error.empty() ? "cannot set up the floor" : error);
    int frame = 0;
    bool ok = false;
    const auto [plugin, base] = TimeInterleaved([&] { return host.RenderFrame(frame++ / 60.0, error); },
                                                [&] {
                                                    host.PrepareTarget();
                                                    floor.Draw(floorInput.Desc());
                                                    return true;
                                                },
                                                size_t(a.frames), size_t(a.warmup), ok);
    if (!ok) throw Failure(error);
    host.Plugin().Destroy();

    BenchResult result;
    result.module = a.module;
    result.name = info.name;
    result.renderer = gl.Renderer();
    result.width = size.width;
    result.height = size.height;
    result.frames = size_t(a.frames);
    result.warmup = size_t(a.warmup);
    result.plugin = plugin;
    result.floor = base;
    if (json.Wanted())
        json.Write(BenchToJson(result));
    else
        std::cout << BenchToText(result);
    return 0;
}

// ---- check ------------------------------------------------------------------

int runCheck(const std::string& path, bool wantJson) {
    const JsonOut json(wantJson);
    const std::vector<CheckResult> rows = CheckModule(path, makeContext());
    if (json.Wanted())
        json.Write(CheckToJson(path, rows));
    else
        std::cout << CheckToText(rows);
    std::cout.flush();
    const auto failed = std::count_if(rows.begin(), rows.end(), [](const CheckResult& r) { return !r.passed; });
    if (failed) {
        std::fprintf(stderr, "ffglrun: %s fails %zu of %zu checks\n", path.c_str(), size_t(failed), rows.size());
        return kExitFailure;
    }
    return 0;
}

// ---- soak -------------------------------------------------------------------

struct SoakArgs {
    std::string module;
    int cycles = 1000;
    bool json = false;
};

int runSoak(const SoakArgs& a) {
    if (a.cycles < 1) throw UsageFailure("--cycles " + std::to_string(a.cycles) + ": must be 1 or more");
    const JsonOut json(a.json);
    auto module = loadModule(a.module);
    const ModuleInfo info = describe(*module);
    makeContext();
    SoakReport report;
    std::string error;
    // Progress for a person watching a terminal: a long soak takes minutes.
    SoakProgress progress;
    if (isTerminal(STDERR_FILENO))
        progress = [](const std::string& phase, uint32_t cycle) {
            std::fprintf(stderr, "\r%s: cycle %u   ", phase.c_str(), cycle);
        };
    const bool ran = RunSoak(*module, info, uint32_t(a.cycles), report, error, progress);
    if (progress) std::fprintf(stderr, "\r%40s\r", "");
    if (!ran) throw Failure(error);
    if (json.Wanted())
        json.Write(SoakToJson(report));
    else
        std::cout << SoakToText(report);
    std::cout.flush();
    if (!report.Passed()) {
        std::fprintf(stderr, "ffglrun: %s fails the soak: %s\n", a.module.c_str(), report.Problems().c_str());
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Raw frames travel through the standard streams byte for byte; the C
    // runtime would turn every 0x0A into 0x0D 0x0A (and stop reading at 0x1A).
    // Messages keep the same line ends as on other systems.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    CLI::App app{"ffglrun: load an FFGL module and run it without a display"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "ffglrun " TESSIVAR_VERSION);
    // Windows builds would read "/path" as an option; paths start that way
    // under Wine too. (Subcommands take the setting from here.)
    app.allow_windows_style_options(false);

    InfoArgs info;
    auto* infoCmd = app.add_subcommand("info", "Show identity, capabilities and parameters");
    infoCmd->add_option("module", info.module, "Path of the module (.so)")->required();
    infoCmd->add_flag("--json", info.json, "Stable JSON for scripts");

    RenderArgs render;
    auto* renderCmd = app.add_subcommand("render", "Render frames through the module");
    renderCmd->add_option("module", render.module, "Path of the module (.so)")->required();
    renderCmd->add_option("--input", render.inputs, "Input PNG or video clip (one); once per input")
        ->allow_extra_args(false);
    std::string patternHelp = "Generated input:";
    for (const auto& n : PatternNames()) patternHelp += " " + n;
    renderCmd->add_option("--pattern", render.patterns, patternHelp)->allow_extra_args(false);
    renderCmd->add_option("--size", render.size, "Output size WxH (default: the first input's size)");
    renderCmd->add_option("--out", render.out,
                          "Output PNG (a %d or %04d writes one file per frame) or video: .mov, .mkv, .webm, .mp4");
    renderCmd->add_option("--set", render.settings, "NAME=VALUE by display name or index; on/off, option names, texts")
        ->allow_extra_args(false);
    auto* framesOpt = renderCmd->add_option("--frames", render.frames, "Number of frames (default 1; with --raw-in or a clip: all)");
    renderCmd->add_option("--fps", render.fps, "Frames per second for the host time (default 30; a clip's own)");
    renderCmd->add_option("--start", render.start, "Start this many seconds into the clip and the audio");
    renderCmd->add_option("--audio", render.audio, "Audio for FFT parameters and the video out (default: the clip's)");
    renderCmd->add_flag("--events", render.events, "Print parameter events and new values after each frame");
    renderCmd->add_option("--raw-in", render.rawIn, "Read RGBA frames of WxH from standard input");
    renderCmd->add_flag("--raw-out", render.rawOut, "Write RGBA frames to standard output");
    renderCmd->add_option("--expect", render.expect,
                          "Golden PNG the last frame must match; a %d compares every frame with its own");
    renderCmd->add_option("--tolerance", render.tolerance,
                          "Largest channel difference (0-255) that still matches (default " +
                              std::to_string(kDefaultTolerance) + ")");
    renderCmd->add_flag("--update-expected", render.updateExpected, "Write the frames as the goldens instead");

    BenchArgs bench;
    auto* benchCmd = app.add_subcommand("bench", "Time frames against a trivial full-screen shader");
    benchCmd->add_option("module", bench.module, "Path of the module (.so)")->required();
    benchCmd->add_option("--size", bench.size, "Frame size WxH (default 1920x1080)");
    benchCmd->add_option("--frames", bench.frames, "Timed frames (default 60)");
    benchCmd->add_option("--warmup", bench.warmup, "Untimed frames first (default 5)");
    benchCmd->add_option("--pattern", bench.pattern, "Input pattern (default grid: opaque over the whole frame, so every pixel is sampled)");
    benchCmd->add_option("--set", bench.settings, "NAME=VALUE, as for render")->allow_extra_args(false);
    benchCmd->add_flag("--json", bench.json, "One JSON object for scripts");

    std::string checkPath;
    bool checkJson = false;
    auto* checkCmd = app.add_subcommand("check", "Check the module against the host interface contract");
    checkCmd->add_option("module", checkPath, "Path of the module (.so)")->required();
    checkCmd->add_flag("--json", checkJson, "One JSON object for scripts");

    SoakArgs soak;
    auto* soakCmd = app.add_subcommand("soak", "Thousands of lifecycles; fails when GL objects or heap accumulate");
    soakCmd->add_option("module", soak.module, "Path of the module (.so)")->required();
    soakCmd->add_option("--cycles", soak.cycles, "Measured cycles per phase, after warm-up (default 1000)");
    soakCmd->add_flag("--json", soak.json, "One JSON object for scripts");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help
        std::fprintf(stderr, "ffglrun: %s (see ffglrun --help)\n", e.what());
        return kExitUsage;
    }
    render.framesGiven = framesOpt->count() > 0;

    try {
        if (*infoCmd) return runInfo(info);
        if (*renderCmd) return runRender(render);
        if (*benchCmd) return runBench(bench);
        if (*checkCmd) return runCheck(checkPath, checkJson);
        if (*soakCmd) return runSoak(soak);
    } catch (const UsageFailure& e) {
        std::fprintf(stderr, "ffglrun: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ffglrun: %s\n", e.what());
        return kExitFailure;
    }
    return kExitUsage;
}
