// ffglrun render: frames from PNGs, patterns, a clip or a raw stream, through
// the module, into PNGs, a clip, a raw stream or a comparison with goldens.
//
// A run goes in steps, each failing with one line before the next begins:
// the arguments are parsed (RenderPlan), the outputs' folders are checked,
// the module is loaded and the inputs and audio opened, then the GL context
// is made, the outputs chosen (FrameSinks) and the frames rendered; only
// then is anything long-running started.
//
// A clip is decoded and a video encoded on threads of their own while the
// GL thread renders, joined by small queues that keep the frames in order.
// A failure anywhere, or an interruption (noticed between frames, thrown as
// an Interruption like any failure), ends every stage; the outputs are then
// abandoned, so a stopped run leaves nothing half-written.
#include "runner/UniformNames.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"
#include "runner/commands/render/FrameSinks.h"
#include "runner/commands/render/RenderInputs.h"
#include "runner/commands/render/RenderPlan.h"
#include "runner/commands/render/StageStats.h"
#include "runner/media/AudioFeed.h"
#include "runner/platform/Interrupt.h"
#include "runner/platform/ThreadCpu.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>

namespace tessivar::cli {
namespace {

void printEvents(std::FILE* to, int frame, const Instance& instance, const ModuleInfo& info) {
    for (const ParamEvent& e : instance.CollectEvents()) {
        const ParamDesc* p = e.index < info.params.size() ? &info.params[e.index] : nullptr;
        const std::string name = p ? p->name : "#" + std::to_string(e.index);
        const std::string value =
            p && p->IsText() ? "\"" + instance.GetText(e.index) + "\"" : std::to_string(instance.GetFloat(e.index));
        std::fprintf(to, "frame %d: event %s (%u) flags 0x%llx -> %s\n", frame, name.c_str(), e.index,
                     static_cast<unsigned long long>(e.flags), value.c_str());
    }
    std::fflush(to);
}

// One render run, from parsed arguments to the last file written.
class RenderRun {
public:
    explicit RenderRun(const RenderArgs& args) : plan(RenderPlan::Parse(args)) {}

    int Run() {
        CatchInterrupts();
        plan.CheckOutputs();
        OpenModuleAndInputs();
        OpenAudio();
        try {
            StartHost();
            RenderFrames();
            FinishOutputs();
        } catch (const Interruption&) {
            Abandon();
            const std::string what = plan.out ? "; " + plan.out->Text() + " not written" : "";
            throw InterruptedRun(std::string("interrupted by ") + InterruptName() + " after " +
                                 std::to_string(rendered) + " frame(s)" + what);
        } catch (...) {
            Abandon();
            throw;
        }
        return 0;
    }

private:
    void OpenModuleAndInputs() {
        module = LoadModule(plan.module);
        info = DescribeModule(*module);
        settings = ResolveSettings(info, plan.settings);
        size = plan.size;
        inputs.Open(plan, size);
    }

    // The audio for FFT parameters and the output: --audio, else the clip's;
    // none with --audio none.
    void OpenAudio() {
        if (plan.noAudio) return;
        const ClipReader* clip = inputs.Clip();
        audioPath = !plan.audio.empty() ? plan.audio : clip && clip->HasAudio() ? inputs.ClipPath() : "";
        const bool wantsAudio = std::any_of(info.params.begin(), info.params.end(), IsFftParam);
        if (audioPath.empty() || (!wantsAudio && plan.audio.empty())) return;
        std::string error;
        spectrum = AudioSpectrum::Open(audioPath, error);
        if (!spectrum || (plan.start > 0 && !spectrum->Seek(plan.start, error))) throw Failure(error);
    }

    // The context, the outputs, the instance with its settings and audio,
    // and who converts a clip's pixels, now that the renderer is known.
    void StartHost() {
        NameThisThread(kMainThread);  // and the renderer's, the GL thread's
        HeadlessGL& gl = MakeContext();
        ReportDebugErrors(gl);
        ChooseSinks(gl.Renderer());
#ifdef SIGPIPE                          // (Windows has none: a closed pipe is a write error there already)
        std::signal(SIGPIPE, SIG_IGN);  // a closed pipe becomes a write error we can report
#endif
        inputs.ReadFirstRaw();
        std::string error;
        if (!host.Create(*module, info, inputs.Pictures(), size.width, size.height, error)) {
            // A name that cannot be a uniform is a likely reason, if the
            // module was made with the kit: one more line saying so.
            const std::string hint = module->Crashed() ? "" : UniformNameHint(info);
            throw Failure(hint.empty() ? error : error + "\nffglrun: " + hint);
        }
        ApplySettings(host.Plugin(), settings);
        if (spectrum) {
            audioFeed = std::make_unique<AudioFeed>(info, *spectrum);
            audioFeed->Start(*module, host.Plugin());
        }
        if (!conversions.Start(plan.convert, gl.Renderer(), inputs.Clip(), clipWriter, int(size.width),
                               int(size.height), error))
            throw Failure(error);
    }

    // Every output the plan names, once. Standard output is taken for raw
    // frames before the instance is made, so a module's own printing goes
    // to standard error. The golden check comes last: it finishes after
    // every file is written, which a mismatch leaves for inspection.
    void ChooseSinks(const std::string& renderer) {
        if (plan.rawOut) {
            sinks.push_back(RawPipeSink(TakeStandardOutput()));
            eventsTo = stderr;
        }
        switch (plan.outKind) {
            case OutputKind::None: break;
            case OutputKind::LastPicture: sinks.push_back(LastPictureSink(plan.out->Text())); break;
            case OutputKind::PictureSequence: sinks.push_back(PictureSequenceSink(*plan.out)); break;
            case OutputKind::Clip: sinks.push_back(ClipOut()); break;
        }
        if (plan.expect) sinks.push_back(GoldenSink(plan, renderer, eventsTo));
    }

    // A video --out with the audio the run was given. A clip passes on what
    // it is (times, shape, colour, depth); frames the run makes itself are
    // RGB at --fps.
    std::unique_ptr<FrameSink> ClipOut() {
        VideoFormat format = MadeFormat(size.width, size.height, inputs.FrameRate());
        if (const ClipReader* clip = inputs.Clip()) {
            const VideoFormat& in = clip->Format();
            format.timeBase = in.timeBase;
            format.frameRate = in.frameRate;
            format.colour = in.colour;
            format.bits = in.bits;
            if (in.width == size.width && in.height == size.height) format.sampleAspect = in.sampleAspect;
        }
        std::string error;
        NameThisThread(kEncodeThread);  // the encoder's threads take its name
        auto writer = ClipWriter::Open(plan.out->Text(), format, {audioPath, plan.start}, error);
        NameThisThread(kMainThread);
        if (!writer) throw Failure(error);
        for (const auto& note : writer->Notes()) std::fprintf(stderr, "ffglrun: note: %s\n", note.c_str());
        clipWriter = writer.get();
        return std::make_unique<ClipSink>(plan.out->Text(), std::move(writer), conversions, stats);
    }

    // A stream or clip runs to its end unless --frames limits it; --audio
    // alone lasts as long as the audio.
    RunLength ChooseLength() const {
        const double fps = inputs.FrameRate();
        if (plan.frames) return RunLength::Frames(*plan.frames);
        if (const ClipReader* clip = inputs.Clip())
            return RunLength::UntilStreamEnds(int(std::max(0.0, clip->Duration() - plan.start) * fps + 0.5));
        if (plan.rawIn) return RunLength::UntilStreamEnds(0);
        if (spectrum && !plan.audio.empty())
            return RunLength::Frames(std::max(1, int(std::ceil((spectrum->Duration() - plan.start) * fps - 1e-6))));
        return RunLength::Frames(1);
    }

    void RenderFrames() {
        const RunLength length = ChooseLength();
        const double cpuStarted = ThreadCpuSeconds();
        wallStarted = std::chrono::steady_clock::now();
        Pipeline pipeline;
        inputs.Start(pipeline);
        for (auto& sink : sinks) sink->Start(pipeline);
        pipeline.Run([&] { Render(length); });
        pipeline.Finish();
        inputs.AddStats(stats);
        stats.convertIn += conversions.InSeconds();
        stats.render += ThreadCpuSeconds() - cpuStarted - conversions.InSeconds() - conversions.OutSeconds();
        stats.convertOut += conversions.OutSeconds();
        inputs.NoteDamage();
    }

    // The GL stage: every frame rendered and handed to every output, in order.
    void Render(const RunLength& length) {
        Progress progress(length.Expected());
        std::string error;
        for (int index = 0; !length.Done(index); ++index) {
            if (Interrupted()) throw Interruption{};
            if (index > 0 && !inputs.Advance(host, conversions)) break;
            const double time = inputs.Time(index);
            if (audioFeed && !audioFeed->Frame(*module, host.Plugin(), time, error)) throw Failure(error);
            if (!host.RenderFrame(time, error)) throw Failure(error);
            if (plan.events) printEvents(eventsTo, index + 1, host.Plugin(), info);
            last.emplace(host, index + 1, inputs.Pts(index));
            for (auto& sink : sinks) sink->Take(*last);
            progress.Frame(++rendered);
        }
        inputs.StopReading();
        for (auto& sink : sinks) sink->EndOfFrames();
    }

    void FinishOutputs() {
        host.Plugin().Destroy();
        for (auto& sink : sinks) sink->Finish(*last);
        WriteStats();
    }

    void Abandon() {
        for (auto& sink : sinks) sink->Abandon();
    }

    // The breakdown for --stats, while the libraries' threads still live.
    void WriteStats() {
        if (!plan.stats) return;
        stats.AddWorkers(ThreadsByName());
        if (inputs.Clip()) stats.convertInPath = conversions.InPath();
        if (clipWriter) stats.convertOutPath = conversions.OutPath();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStarted).count();
        std::string error;
        if (!stats.Write(plan.stats->Text(), rendered, wall, error)) throw Failure(error);
    }

    const RenderPlan plan;
    std::unique_ptr<Module> module;
    ModuleInfo info;
    std::vector<ParamSetting> settings;
    Size size;
    RenderInputs inputs;
    std::string audioPath;
    std::unique_ptr<AudioSpectrum> spectrum;
    std::unique_ptr<AudioFeed> audioFeed;
    FrameHost host;
    gpu::ClipConversions conversions;
    Sinks sinks;
    ClipWriter* clipWriter = nullptr;  // the clip sink's, for the conversions
    std::FILE* eventsTo = stdout;      // standard error when standard output carries frames
    std::optional<RenderedFrame> last;
    int rendered = 0;
    StageStats stats;
    std::chrono::steady_clock::time_point wallStarted;
};

}  // namespace

Command AddRenderCommand(CLI::App& app) {
    auto a = std::make_shared<RenderArgs>();
    CLI::App* c = AddSubcommand(app, "render", "Render frames through the module", a->module);
    AddRepeated(c, "--input", a->inputs, "Input PNG or video clip (one); once per input");
    AddPatterns(c, a->patterns);
    c->add_option("--size", a->size, "Output size WxH (default: the first input's size)");
    c->add_option("--out", a->out,
                  "Output PNG (a %d or %04d writes one file per frame) or video: " + ClipExtensionList());
    AddRepeated(c, "--set", a->settings, "NAME=VALUE by display name or index; on/off, option names, texts");
    c->add_option_function<int>(
        "--frames", [a](const int& n) { a->frames = n; }, "Number of frames (default 1; with --raw-in or a clip: all)");
    c->add_option("--fps", a->fps, "Frames per second for the host time (default 30; a clip's own)");
    c->add_option("--start", a->start, "Start this many seconds into the clip and the audio");
    c->add_option("--audio", a->audio,
                  "Audio for FFT parameters and the video out (default: the clip's; none: no audio)");
    c->add_flag("--events", a->events, "Print parameter events and new values after each frame");
    c->add_option("--raw-in", a->rawIn, "Read RGBA frames of WxH from standard input");
    c->add_flag("--raw-out", a->rawOut, "Write RGBA frames to standard output");
    c->add_option("--expect", a->expect,
                  "Golden PNG the last frame must match; a %d compares every frame with its own");
    c->add_option(
        "--tolerance", a->tolerance,
        "Largest channel difference (0-255) that still matches (default " + std::to_string(kDefaultTolerance) + ")");
    c->add_flag("--update-expected", a->updateExpected, "Write the frames as the goldens instead");
    c->add_option("--convert", a->convert,
                  "Who converts a clip's pixels: auto (by renderer), gl (GL passes) or cpu (swscale)");
    c->add_option("--stats", a->stats,
                  "Write the run's timing (CPU ms a frame per stage, the conversions used) as JSON here");
    return {c, [a] { return RenderRun(*a).Run(); }};
}

}  // namespace tessivar::cli
