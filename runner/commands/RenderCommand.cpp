// ffglrun render: frames from PNGs, patterns, a clip or a raw stream, through
// the module, into PNGs, a clip, a raw stream or a comparison with goldens.
//
// A run goes in steps, each failing with one line before the next begins:
// the arguments are checked, the outputs' folders are checked, the module is
// loaded and the inputs and audio opened, then the GL context is made and the
// frames rendered; only then is anything long-running started.
//
// A clip is decoded and a video encoded on threads of their own while the
// GL thread renders, joined by small queues that keep the frames in order;
// a failure or an interruption anywhere ends all three before anything is
// finished, so a stopped run leaves nothing half-written.
#include "runner/FrameHost.h"
#include "runner/ImageIO.h"
#include "runner/Patterns.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Golden.h"
#include "runner/commands/StageStats.h"
#include "runner/media/AudioFeed.h"
#include "runner/media/Media.h"
#include "runner/media/Pipeline.h"
#include "runner/media/gpu/ClipConversions.h"
#include "runner/platform/Interrupt.h"
#include "runner/platform/Paths.h"
#include "runner/platform/ThreadCpu.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>

namespace tessivar::cli {
namespace {

// One video clip among the inputs: its frames replace the input's picture
// frame by frame, and their times become the host time and the output's.
struct ClipInput {
    std::string path;
    std::unique_ptr<ClipReader> reader;
    size_t slot = 0;
    VideoFrame frame;  // the one in the slot
    double Time() const { return frame.Seconds(reader->Format()); }
    double ReaderConvertSeconds() const { return reader ? reader->ConvertSeconds() : 0.0; }
};

// A decoded frame, or why the clip could not go on: the failure waits its
// turn in the queue, so frames past --frames never fail a run.
struct Decoded {
    VideoFrame frame;
    std::string error;
};

// A rendered frame on its way to the encoder: RGBA, or the encoder's own
// pixels when a GL pass packed them.
struct Outgoing {
    VideoFrame frame;
    gpu::PlanarPicture planes;
    bool packed = false;
};

// Frames a stage may run ahead of the next: enough to smooth out uneven
// frames, few enough that 4K pictures stay a small part of the memory.
constexpr size_t kQueueDepth = 2;

// Flags that contradict each other or are out of range: usage failures.
void checkRenderArgs(const RenderArgs& a) {
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
    if (!a.out.empty() && !IsPngName(a.out)) {
        const auto& known = ClipExtensions();
        if (std::find(known.begin(), known.end(), ExtensionOf(a.out)) == known.end())
            throw Failure(a.out + ": unknown output extension; ffglrun writes .png, .mov, .mkv, .webm or .mp4");
        if (a.out.find('%') != std::string::npos)
            throw UsageFailure("--out " + a.out + ": a video is one file; %d numbers PNG files");
    }
    if (a.rawOut && isTerminal(kStdoutFd))
        throw UsageFailure("--raw-out: standard output is a terminal; pipe it into a program or a file");
    if (rawIn && isTerminal(kStdinFd))
        throw UsageFailure("--raw-in: standard input is a terminal; pipe RGBA frames into it");
    gpu::ConvertMode mode;
    if (!gpu::ParseConvertMode(a.convert, mode))
        throw UsageFailure("--convert " + a.convert + ": must be auto, gl or cpu");
}

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
                !clip.reader->Next(clip.frame, error)) {
                // A file where nothing decodes is a failure, however damaged.
                const std::string damage = clip.reader ? clip.reader->DamageReport() : "";
                throw Failure(!error.empty() ? error
                              : damage.empty() ? path + ": no frame to read"
                                               : path + ": no frame decodes; " + damage.substr(path.size() + 2));
            }
            clip.slot = images.size();
            img = clip.frame.picture;
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

// One render run, from checked arguments to the last file written.
class RenderRun {
public:
    explicit RenderRun(const RenderArgs& args) : a(args), golden(args.tolerance, args.updateExpected) {}

    int Run() {
        CatchInterrupts();
        checkRenderArgs(a);
        OpenOutputNames();
        OpenModuleAndInputs();
        OpenAudio();
        OpenClipOut();
        StartHost();
        StartConversions();
        RenderFrames();
        Finish();
        return 0;
    }

private:
    // Output and golden names, and their folders, checked before any work.
    void OpenOutputNames() {
        size = parseSizeArg("--size", a.size);
        rawSize = parseSizeArg("--raw-in", a.rawIn);
        if (!a.out.empty()) {
            out = std::make_unique<OutputName>(a.out);
            out->CheckWritable();
        }
        if (!a.expect.empty()) {
            expect = std::make_unique<OutputName>(a.expect, "--expect");
            if (expect->Sequence() && out && !out->Sequence())
                throw UsageFailure("--expect " + a.expect +
                                   ": one golden per frame needs one output per frame (a %d in --out)");
            if (a.updateExpected) expect->CheckWritable();
        }
        RefuseInputsAsOutputs();
    }

    // An output may not replace a file the run reads: the clip, a picture,
    // the audio, the module, a golden.
    void RefuseInputsAsOutputs() const {
        std::vector<std::string> reads = a.inputs;
        reads.push_back(a.module);
        if (!a.audio.empty() && a.audio != "none") reads.push_back(a.audio);
        if (out) {
            if (expect && !a.updateExpected) reads.push_back(a.expect);
            out->RefuseInputs(reads);
        }
        if (expect && a.updateExpected) expect->RefuseInputs(reads);
        if (!a.stats.empty()) {
            if (!a.out.empty()) reads.push_back(a.out);
            if (!a.expect.empty()) reads.push_back(a.expect);
            OutputName statsName(a.stats, "--stats");
            if (statsName.Sequence()) throw UsageFailure("--stats " + a.stats + ": one file; %d numbers frames");
            statsName.CheckWritable();
            statsName.RefuseInputs(reads);
        }
    }

    void OpenModuleAndInputs() {
        module = loadModule(a.module);
        info = describe(*module);
        settings = resolveSettings(info, a.settings);
        if (!a.rawIn.empty()) {
            inputs.emplace_back(rawSize.width, rawSize.height);
            if (!size.Set()) size = rawSize;
        } else {
            Size inputSize = size;
            NameThisThread(kDecodeThread);  // the decoder's threads take its name
            inputs = loadInputs(a, inputSize, clip);
            if (!size.Set()) size = inputSize;
        }
        fps = clip.reader && clip.reader->Format().frameRate.Known() ? clip.reader->Format().frameRate.Value() : a.fps;
    }

    // The audio for FFT parameters and the output: --audio, else the clip's;
    // none with --audio none.
    void OpenAudio() {
        if (a.audio == "none") return;
        audioPath = !a.audio.empty() ? a.audio : clip.reader && clip.reader->HasAudio() ? clip.path : "";
        const bool wantsAudio = std::any_of(info.params.begin(), info.params.end(), IsFftParam);
        if (audioPath.empty() || (!wantsAudio && a.audio.empty())) return;
        std::string error;
        spectrum = AudioSpectrum::Open(audioPath, error);
        if (!spectrum || (a.start > 0 && !spectrum->Seek(a.start, error))) throw Failure(error);
    }

    // The frames of a video --out, with the audio the run was given. A clip
    // passes on what it is (times, shape, colour, depth); frames the run
    // makes itself are RGB at --fps.
    void OpenClipOut() {
        if (a.out.empty() || IsPngName(a.out)) return;
        VideoFormat format = MadeFormat(size.width, size.height, fps);
        if (clip.reader) {
            const VideoFormat& in = clip.reader->Format();
            format.timeBase = in.timeBase;
            format.frameRate = in.frameRate;
            format.colour = in.colour;
            format.bits = in.bits;
            if (in.width == size.width && in.height == size.height) format.sampleAspect = in.sampleAspect;
            startPts = llround(a.start * in.timeBase.den / in.timeBase.num);
        }
        std::string error;
        NameThisThread(kEncodeThread);  // the encoder's threads take its name
        clipWriter = ClipWriter::Open(a.out, format, {audioPath, a.start}, error);
        if (!clipWriter) throw Failure(error);
        for (const auto& note : clipWriter->Notes()) std::fprintf(stderr, "ffglrun: note: %s\n", note.c_str());
    }

    // The context, the standard streams, the instance with its settings and
    // audio; with --raw-in the first frame is read before the instance sees it.
    void StartHost() {
        NameThisThread(kMainThread);  // and the renderer's, the GL thread's
        HeadlessGL& gl = makeContext();
        reportDebugErrors(gl);
        renderer = gl.Renderer();
        golden.SetRenderer(renderer);
        eventsTo = a.rawOut ? stderr : stdout;
        frames = a.rawOut ? takeStandardOutput() : nullptr;
#ifdef SIGPIPE  // (Windows has none: a closed pipe is a write error there already)
        std::signal(SIGPIPE, SIG_IGN);  // a closed pipe becomes a write error we can report
#endif
        if (!a.rawIn.empty() && !ReadRaw(inputs[0]))
            throw Failure("standard input: no frame to read (expected " + a.rawIn + " RGBA)");
        std::string error;
        if (!host.Create(*module, info, inputs, size.width, size.height, error)) throw Failure(error);
        applySettings(host.Plugin(), settings);
        if (spectrum) {
            audioFeed = std::make_unique<AudioFeed>(info, *spectrum);
            audioFeed->Start(*module, host.Plugin());
        }
    }

    // Who converts the clip's pixels, now that the renderer is known.
    void StartConversions() {
        gpu::ConvertMode mode = gpu::ConvertMode::Auto;
        gpu::ParseConvertMode(a.convert, mode);
        std::string error;
        if (!conversions.Start(mode, renderer, clip.reader.get(), clipWriter.get(), int(size.width),
                               int(size.height), error))
            throw Failure(error);
    }

    bool ReadRaw(Image& frame) {
        size_t got = 0;
        const RawRead read = ReadRawFrame(stdin, frame, got);
        if (read != RawRead::Frame && Interrupted()) Interrupt();  // the read was cut short by it
        switch (read) {
            case RawRead::Frame: ++rawFramesRead; return true;
            case RawRead::End: return false;
            case RawRead::Short:
                throw Failure("standard input ended inside frame " + std::to_string(rawFramesRead + 1) + " (" +
                              std::to_string(got) + " of " + std::to_string(frame.rgba.size()) + " bytes); " +
                              std::to_string(rawFramesRead) + " whole frame(s) read and rendered");
        }
        return false;
    }

    // The next frame of a stream or clip into its input; false at its end.
    bool AdvanceInputs() {
        std::string error;
        if (!a.rawIn.empty()) {
            if (!ReadRaw(inputs[0])) return false;
            host.UpdateInput(0, inputs[0]);
        }
        if (decoded) {
            Decoded next;
            if (!decoded->Pop(next)) return false;
            if (!next.error.empty()) throw Failure(next.error);
            std::swap(clip.frame, next.frame);
            decodedSpares.Give(std::move(next.frame));  // its buffers, for a later frame
            if (!clip.frame.planar)
                host.UpdateInput(clip.slot, clip.frame.picture);
            else if (!conversions.Upload(clip.frame, host.InputTextureName(clip.slot), error))
                throw Failure(clip.path + ": " + error);
        }
        return true;
    }

    // The decoding stage: the clip's frames after the first, then its end.
    void Decode() {
        NameThisThread(kDecodeThread);
        // The first frame was read and converted on the GL thread: only what
        // is converted here comes out of this thread's time.
        const double convertedBefore = clip.ReaderConvertSeconds();
        for (;;) {
            Decoded next;
            next.frame = decodedSpares.Take();
            const bool more = clip.reader->Next(next.frame, next.error);
            if (!more && next.error.empty()) break;
            decoded->Push(std::move(next));
            if (!more) break;
        }
        decoded->Close();
        decodeThreadSeconds = ThreadCpuSeconds();
        decodeConvertSeconds = clip.ReaderConvertSeconds() - convertedBefore;
    }

    // The encoding stage: every rendered frame, in order. The file is
    // finished on the GL thread once every stage has ended well.
    void Encode() {
        NameThisThread(kEncodeThread);
        Outgoing next;
        std::string error;
        while (encoding->Pop(next)) {
            const bool ok =
                next.packed ? clipWriter->WritePlanes(next.planes, error) : clipWriter->Write(next.frame, error);
            if (!ok) throw Failure(error);
            if (next.packed) conversions.GiveBack(std::move(next.planes));
        }
        encodeThreadSeconds = ThreadCpuSeconds();
    }

    // A frame's diff picture goes beside its output, or beside its golden
    // when there is no output file.
    std::string DiffPath(int frame) const { return DiffPathFor(out ? out->For(frame) : expect->For(frame)); }

    void RenderFrames() {
        // A stream or clip runs to its end unless --frames limits it; --audio
        // alone lasts as long as the audio.
        total = (!a.rawIn.empty() || clip.reader) && !a.framesGiven ? 0 : a.frames;
        if (!a.framesGiven && !clip.reader && a.rawIn.empty() && spectrum && !a.audio.empty())
            total = std::max(1, int(std::ceil((spectrum->Duration() - a.start) * fps - 1e-6)));
        int expected = total;
        if (clip.reader && total == 0) expected = int(std::max(0.0, clip.reader->Duration() - a.start) * fps + 0.5);
        const double cpuStarted = ThreadCpuSeconds();
        wallStarted = std::chrono::steady_clock::now();
        Pipeline pipeline;
        Attached attached(*this, pipeline);
        if (clip.reader) {
            decoded = &pipeline.MakeQueue<Decoded>(kQueueDepth);
            pipeline.Start([this] { Decode(); });
        }
        if (clipWriter) {
            encoding = &pipeline.MakeQueue<Outgoing>(kQueueDepth);
            pipeline.Start([this] { Encode(); });
        }
        pipeline.Run([this, expected] { Render(expected); });
        try {
            pipeline.Finish();
        } catch (const Stopped&) {
            attached.Detach();
            Interrupt();
        }
        stats.decode += decodeThreadSeconds - decodeConvertSeconds;
        stats.convertIn += clip.ReaderConvertSeconds() + conversions.InSeconds();
        stats.render += ThreadCpuSeconds() - cpuStarted - conversions.InSeconds() - conversions.OutSeconds();
        stats.convertOut += conversions.OutSeconds() + (clipWriter ? clipWriter->ConvertSeconds() : 0.0);
        stats.encode += encodeThreadSeconds - (clipWriter ? clipWriter->ConvertSeconds() : 0.0);
    }

    // The stages' pipeline and queues, known to the run while they last.
    struct Attached {
        RenderRun& run;
        Attached(RenderRun& r, Pipeline& p) : run(r) { run.running = &p; }
        ~Attached() { Detach(); }
        void Detach() {
            run.running = nullptr;
            run.decoded = nullptr;
            run.encoding = nullptr;
        }
    };

    // The GL stage: every frame rendered and handed on, in order.
    void Render(int expected) {
        Progress progress(expected);
        std::string error;
        for (int frame = 0; total == 0 || frame < total; ++frame) {
            if (Interrupted()) Interrupt();
            if (frame > 0 && !AdvanceInputs()) break;
            const double time = clip.reader ? clip.Time() : a.start + frame / fps;
            if (audioFeed && !audioFeed->Frame(*module, host.Plugin(), time, error)) throw Failure(error);
            if (!host.RenderFrame(time, error)) throw Failure(error);
            if (a.events) printEvents(eventsTo, frame + 1, host.Plugin(), info);
            WriteFrame(frame);
            progress.Frame(++rendered);
        }
        if (decoded) decoded->Cancel();  // the frames it read past --frames go unused
        if (conversions.PacksOutput() && !conversions.Drain(SendPacked(), error)) throw Failure(a.out + ": " + error);
        if (encoding) encoding->Close();
    }

    // Everything that takes every frame; the last frame alone is kept in
    // `last` for the outputs that take only it.
    // A clip's frames keep their times from --start; frames the run makes
    // are numbered.
    void WriteFrame(int frame) {
        const bool lastFrame = frame + 1 == total;
        const bool packed = conversions.PacksOutput();
        if (a.rawOut || (clipWriter && !packed) || (out && !clipWriter && (out->Sequence() || lastFrame)) ||
            (expect && (expect->Sequence() || lastFrame)))
            last.picture = host.ReadOutput();
        last.pts = clip.reader ? std::max<int64_t>(0, clip.frame.pts - startPts) : frame;
        std::string error;
        if (frames && !WriteRawFrame(frames, To8Bits(last.picture)))
            throw Failure("standard output closed after " + std::to_string(frame) + " frame(s)");
        // The last frame stays for a golden to check; otherwise it moves on.
        if (encoding && packed) {
            if (!conversions.Pack(host.Target().Texture(), last.pts, SendPacked(), error))
                throw Failure(a.out + ": " + error);
        } else if (encoding) {
            Outgoing next;
            next.frame = expect ? last : std::move(last);
            encoding->Push(std::move(next));
        }
        if (out && !clipWriter && out->Sequence()) {
            if (!WritePng(out->For(frame + 1), last.picture, error)) throw Failure(error);
            written.push_back(out->For(frame + 1));
        }
        if (expect && expect->Sequence() &&
            !golden.Frame(frame + 1, To8Bits(last.picture), expect->For(frame + 1), DiffPath(frame + 1), error))
            throw Failure(error);
    }

    // Packed frames go to the encoder as they come back from the GL.
    gpu::ClipConversions::Send SendPacked() {
        return [this](gpu::PlanarPicture&& planes) {
            Outgoing next;
            next.planes = std::move(planes);
            next.packed = true;
            encoding->Push(std::move(next));
        };
    }

    // Ends the run at a frame boundary: the video's temporary file and the
    // frames written so far go, so no partial output stays behind. Within
    // the pipeline the stages are ended first (the encoder may be writing);
    // RenderFrames comes back here once they all have.
    [[noreturn]] void Interrupt() {
        if (running) {
            running->Stop();
            throw Cancelled{};
        }
        clipWriter.reset();
        for (const auto& path : written) RemoveNamedFile(path);
        const std::string what = out ? "; " + a.out + " not written" : "";
        throw InterruptedRun(std::string("interrupted by ") + InterruptName() + " after " + std::to_string(rendered) +
                             " frame(s)" + what);
    }

    void Finish() {
        std::string error;
        const double finishing = ThreadCpuSeconds();
        if (clipWriter && !clipWriter->Finish(error)) throw Failure(error);
        stats.encode += ThreadCpuSeconds() - finishing;  // the encoder's last frames
        WriteStats();
        if (clip.reader && !clip.reader->DamageReport().empty())
            std::fprintf(stderr, "ffglrun: note: %s\n", clip.reader->DamageReport().c_str());
        // An open-ended stream writes its last frame once the stream is over.
        const bool pngOut = out && !clipWriter && !out->Sequence();
        // A stream or clip that ended before --frames did leaves its last frame unread too.
        if (rendered != total && (pngOut || (expect && !expect->Sequence()))) last.picture = host.ReadOutput();
        if (pngOut && !WritePng(out->For(0), last.picture, error)) throw Failure(error);
        if (expect && !expect->Sequence() &&
            !golden.Frame(rendered, To8Bits(last.picture), expect->For(0), DiffPath(0), error))
            throw Failure(error);
        host.Plugin().Destroy();
        if (expect && !golden.Finish(error)) throw Failure(error);
        // (A failure says the rule in its one line.)
        if (!golden.Note().empty()) std::fprintf(stderr, "ffglrun: note: %s\n", golden.Note().c_str());
        if (a.updateExpected) std::fprintf(eventsTo, "wrote the golden picture(s) %s\n", a.expect.c_str());
    }

    // The breakdown for --stats, while the libraries' threads still live.
    void WriteStats() {
        if (a.stats.empty()) return;
        stats.AddWorkers(ThreadsByName());
        if (clip.reader) stats.convertInPath = conversions.InPath();
        if (clipWriter) stats.convertOutPath = conversions.OutPath();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStarted).count();
        std::string error;
        if (!stats.Write(a.stats, rendered, wall, error)) throw Failure(error);
    }

    const RenderArgs& a;
    Size size, rawSize;
    std::unique_ptr<OutputName> out, expect;
    GoldenCheck golden;
    std::unique_ptr<Module> module;
    ModuleInfo info;
    std::vector<ParamSetting> settings;
    std::vector<Image> inputs;
    ClipInput clip;
    double fps = 30;
    std::string audioPath;
    std::unique_ptr<AudioSpectrum> spectrum;
    std::unique_ptr<ClipWriter> clipWriter;
    std::FILE* eventsTo = stdout;
    std::FILE* frames = nullptr;
    int rawFramesRead = 0;
    FrameHost host;
    std::unique_ptr<AudioFeed> audioFeed;
    int total = 0, rendered = 0;
    std::vector<std::string> written;  // PNG frames of this run
    int64_t startPts = 0;              // --start in the clip's time base
    VideoFrame last;
    Pipeline* running = nullptr;  // while the frames render
    BoundedQueue<Decoded>* decoded = nullptr;
    BoundedQueue<Outgoing>* encoding = nullptr;
    std::string renderer;
    gpu::ClipConversions conversions;
    Recycler<VideoFrame> decodedSpares{kQueueDepth + 2};  // the decoder's frames, back from the GL thread
    StageStats stats;
    double decodeThreadSeconds = 0, encodeThreadSeconds = 0;  // as their threads ended
    double decodeConvertSeconds = 0;  // of the decoding thread's time, converting
    std::chrono::steady_clock::time_point wallStarted;
};

}  // namespace

int runRender(const RenderArgs& a) {
    return RenderRun(a).Run();
}

}  // namespace tessivar::cli
