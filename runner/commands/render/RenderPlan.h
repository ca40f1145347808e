// RenderPlan -- ffglrun render's arguments, parsed and checked once into the
// types the run works with: sizes, the conversion mode, the output by kind,
// the golden check, and how long the run lasts.
//
//     RenderArgs args;                   // as the command line filled them
//     const RenderPlan plan = RenderPlan::Parse(args);   // throws one line
//
// Parse answers flags that contradict each other or are out of range as
// usage failures, and an output it cannot write (an unknown extension) as a
// failure; it touches no file. What the run then does with the files comes
// after: the folders, the inputs an output would overwrite.
#pragma once

#include "runner/commands/CommandLine.h"
#include "runner/commands/render/Golden.h"
#include "runner/media/gpu/ClipConversions.h"

#include <optional>
#include <string>
#include <vector>

namespace tessivar::cli {

// Frames a stage may run ahead of the next: enough to smooth out uneven
// frames, few enough that 4K pictures stay a small part of the memory.
constexpr size_t kQueueDepth = 2;

// The command line's words, as CLI11 fills them.
struct RenderArgs {
    std::string module;
    std::vector<std::string> inputs, patterns, settings;
    std::string size, out, rawIn, audio;
    std::optional<int> frames;  // unset: as long as the inputs last
    double fps = 30.0;
    double start = 0.0;
    bool events = false;
    bool rawOut = false;
    std::string expect;
    int tolerance = kDefaultTolerance;
    bool updateExpected = false;
    std::string convert = "auto";  // who converts a clip's pixels: auto, gl, cpu
    std::string stats;             // where the clip pipeline's breakdown goes (JSON)
};

// How long a run lasts: a number of frames, or until its stream or clip
// ends (a raw stream, a clip without --frames), which is not known ahead.
class RunLength {
public:
    static RunLength Frames(int count) { return RunLength(false, count); }
    // `guess`: the frames the clip should hold, for the progress bar; 0 unknown.
    static RunLength UntilStreamEnds(int guess) { return RunLength(true, guess); }

    bool UntilEnd() const { return untilEnd; }
    // Whether `rendered` frames complete the run.
    bool Done(int rendered) const { return !untilEnd && rendered >= count; }
    // The frames expected, for progress; 0 when unknown.
    int Expected() const { return count; }

private:
    RunLength(bool open, int n) : untilEnd(open), count(n) {}
    bool untilEnd;
    int count;
};

// What --out writes.
enum class OutputKind {
    None,
    LastPicture,      // FILE.png: the last frame, once the run is over
    PictureSequence,  // frame-%04d.png: one file a frame
    Clip,             // .mov, .mkv, .webm, .mp4
};

struct RenderPlan {
    std::string module;
    std::vector<std::string> inputs, patterns, settings;
    Size size;                  // unset: the first input's
    std::optional<Size> rawIn;  // RGBA frames of this size on standard input
    std::optional<int> frames;  // --frames, when given
    double fps = 30, start = 0;
    std::string audio;     // --audio FILE; empty: the clip's own
    bool noAudio = false;  // --audio none
    bool events = false, rawOut = false;
    OutputKind outKind = OutputKind::None;
    std::optional<OutputName> out;
    std::optional<OutputName> expect;
    int tolerance = kDefaultTolerance;
    bool updateExpected = false;
    gpu::ConvertMode convert = gpu::ConvertMode::Auto;
    std::optional<OutputName> stats;

    static RenderPlan Parse(const RenderArgs& args);

    // The files the run reads: an output may replace none of them.
    std::vector<std::string> Reads() const;
    // Fails when an output's folder cannot take it, or an output would
    // replace a file the run reads; before any module is loaded.
    void CheckOutputs() const;
};

}  // namespace tessivar::cli
