#include "runner/commands/render/RenderPlan.h"

#include "runner/media/Media.h"

namespace tessivar::cli {
namespace {

// Flags that contradict each other or are out of range.
void checkFlags(const RenderArgs& a) {
    const bool rawIn = !a.rawIn.empty();
    if (rawIn && (!a.inputs.empty() || !a.patterns.empty()))
        throw UsageFailure(
            "--raw-in: takes the input from standard input, so --input and --pattern cannot be given too");
    if (a.out.empty() && !a.rawOut && !a.events && a.expect.empty())
        throw UsageFailure("render: nothing to write; give --out FILE.png, --raw-out, --events or --expect");
    if (a.updateExpected && a.expect.empty()) throw UsageFailure("--update-expected: needs --expect GOLDEN.png");
    if (a.tolerance < 0 || a.tolerance > 255) throw UsageFailure("--tolerance: must be 0 to 255");
    if (a.frames && *a.frames < 1) throw UsageFailure("--frames " + std::to_string(*a.frames) + ": must be 1 or more");
    if (!(a.fps > 0)) throw UsageFailure("--fps: must be above 0");
    if (!(a.start >= 0)) throw UsageFailure("--start: must be 0 or more seconds");
}

OutputKind outputKind(const std::string& out) {
    if (out.empty()) return OutputKind::None;
    if (IsPngName(out))
        return out.find('%') != std::string::npos ? OutputKind::PictureSequence : OutputKind::LastPicture;
    if (!ClipRecipeFor(out)) throw Failure(UnknownOutputExtension(out));
    if (out.find('%') != std::string::npos)
        throw UsageFailure("--out " + out + ": a video is one file; %d numbers PNG files");
    return OutputKind::Clip;
}

// Standard streams that would take raw frames from or to a person.
void checkStreams(const RenderArgs& a) {
    if (a.rawOut && IsTerminal(kStdoutFd))
        throw UsageFailure("--raw-out: standard output is a terminal; pipe it into a program or a file");
    if (!a.rawIn.empty() && IsTerminal(kStdinFd))
        throw UsageFailure("--raw-in: standard input is a terminal; pipe RGBA frames into it");
}

}  // namespace

RenderPlan RenderPlan::Parse(const RenderArgs& a) {
    checkFlags(a);
    RenderPlan p;
    p.outKind = outputKind(a.out);
    checkStreams(a);
    if (!gpu::ParseConvertMode(a.convert, p.convert))
        throw UsageFailure("--convert " + a.convert + ": must be auto, gl or cpu");
    p.size = ParseSizeArg("--size", a.size);
    if (!a.rawIn.empty()) p.rawIn = ParseSizeArg("--raw-in", a.rawIn);
    if (!a.out.empty()) p.out.emplace(a.out);
    if (!a.expect.empty()) {
        p.expect.emplace(a.expect, "--expect");
        if (p.expect->Sequence() && p.out && !p.out->Sequence())
            throw UsageFailure("--expect " + a.expect +
                               ": one golden per frame needs one output per frame (a %d in --out)");
    }
    if (!a.stats.empty()) {
        p.stats.emplace(a.stats, "--stats");
        if (p.stats->Sequence()) throw UsageFailure("--stats " + a.stats + ": one file; %d numbers frames");
    }
    p.module = a.module;
    p.inputs = a.inputs;
    p.patterns = a.patterns;
    p.settings = a.settings;
    p.frames = a.frames;
    p.fps = a.fps;
    p.start = a.start;
    p.noAudio = a.audio == "none";
    p.audio = p.noAudio ? "" : a.audio;
    p.events = a.events;
    p.rawOut = a.rawOut;
    p.tolerance = a.tolerance;
    p.updateExpected = a.updateExpected;
    return p;
}

std::vector<std::string> RenderPlan::Reads() const {
    std::vector<std::string> reads = inputs;
    reads.push_back(module);
    if (!audio.empty()) reads.push_back(audio);
    if (expect && !updateExpected) reads.push_back(expect->Text());
    return reads;
}

void RenderPlan::CheckOutputs() const {
    const std::vector<std::string> reads = Reads();
    if (out) {
        out->CheckWritable();
        out->RefuseInputs(reads);
    }
    if (expect && updateExpected) {
        expect->CheckWritable();
        expect->RefuseInputs(reads);
    }
    if (stats) {
        // Nor may the breakdown replace what the run writes.
        std::vector<std::string> taken = reads;
        if (out) taken.push_back(out->Text());
        if (expect) taken.push_back(expect->Text());
        stats->CheckWritable();
        stats->RefuseInputs(taken);
    }
}

}  // namespace tessivar::cli
