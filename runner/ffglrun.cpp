// ffglrun -- run any FFGL module without a display.
//
//   ffglrun info   MODULE [--json]
//   ffglrun render MODULE [--input FILE.png|CLIP | --pattern NAME]... [--size WxH]
//                         [--out FILE.png | --out frame-%04d.png | --out FILE.mov|.mkv|.webm|.mp4]
//                         [--set NAME=VALUE]... [--frames N] [--fps F] [--start T] [--audio FILE|none]
//                         [--events] [--raw-in WxH] [--raw-out]
//                         [--expect GOLDEN.png [--tolerance N] [--update-expected]]
//                         [--convert auto|gl|cpu] [--stats FILE.json]
//   ffglrun bench  MODULE [--size WxH] [--frames N] [--set NAME=VALUE]... [--pattern NAME] [--json]
//   ffglrun check  MODULE [--json]
//   ffglrun soak   MODULE [--cycles N] [--json]
//   ffglrun preview MODULE [--input FILE.png|CLIP | --pattern NAME]... [--audio FILE] [--size WxH]
//                         [--set NAME=VALUE]... [--fps F] [--port N] [--listen ADDRESS]
//   ffglrun --version
//
// Every failure ends the run with a non-zero exit status and one line on
// standard error that names the file or argument at fault. Output files are
// written whole or not at all. This file parses the command line; the
// commands themselves live in runner/commands/.
#include "runner/Patterns.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/platform/Paths.h"
#include "runner/platform/Interrupt.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

using namespace tessivar;
using namespace tessivar::cli;

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
    renderCmd->add_option("--audio", render.audio,
                          "Audio for FFT parameters and the video out (default: the clip's; none: no audio)");
    renderCmd->add_flag("--events", render.events, "Print parameter events and new values after each frame");
    renderCmd->add_option("--raw-in", render.rawIn, "Read RGBA frames of WxH from standard input");
    renderCmd->add_flag("--raw-out", render.rawOut, "Write RGBA frames to standard output");
    renderCmd->add_option("--expect", render.expect,
                          "Golden PNG the last frame must match; a %d compares every frame with its own");
    renderCmd->add_option("--tolerance", render.tolerance,
                          "Largest channel difference (0-255) that still matches (default " +
                              std::to_string(kDefaultTolerance) + ")");
    renderCmd->add_flag("--update-expected", render.updateExpected, "Write the frames as the goldens instead");
    renderCmd->add_option("--convert", render.convert,
                          "Who converts a clip's pixels: auto (by renderer), gl (GL passes) or cpu (swscale)");
    renderCmd->add_option("--stats", render.stats,
                          "Write the run's timing (CPU ms a frame per stage, the conversions used) as JSON here");

    BenchArgs bench;
    auto* benchCmd = app.add_subcommand("bench", "Time frames against a trivial full-screen shader");
    benchCmd->add_option("module", bench.module, "Path of the module (.so)")->required();
    benchCmd->add_option("--size", bench.size, "Frame size WxH (default 1920x1080)");
    benchCmd->add_option("--frames", bench.frames, "Timed frames (default 60)");
    benchCmd->add_option("--warmup", bench.warmup, "Untimed frames first (default 5)");
    benchCmd->add_option("--pattern", bench.pattern, "Input pattern (default grid: opaque over the whole frame, so every pixel is sampled)");
    benchCmd->add_option("--set", bench.settings, "NAME=VALUE, as for render")->allow_extra_args(false);
    benchCmd->add_flag("--json", bench.json, "One JSON object for scripts");

    CheckArgs check;
    auto* checkCmd = app.add_subcommand("check", "Check the module against the host interface contract");
    checkCmd->add_option("module", check.module, "Path of the module (.so)")->required();
    checkCmd->add_flag("--json", check.json, "One JSON object for scripts");

    SoakArgs soak;
    auto* soakCmd = app.add_subcommand("soak", "Thousands of lifecycles; fails when GL objects or heap accumulate");
    soakCmd->add_option("module", soak.module, "Path of the module (.so)")->required();
    soakCmd->add_option("--cycles", soak.cycles, "Measured cycles per phase, after warm-up (default 1000)");
    soakCmd->add_flag("--json", soak.json, "One JSON object for scripts");

    PreviewArgs preview;
    auto* previewCmd = app.add_subcommand("preview", "Show the module live in a web browser, with a control per parameter");
    previewCmd->add_option("module", preview.module, "Path of the module (.so); reloaded when it changes")->required();
    previewCmd->add_option("--input", preview.inputs, "Input PNG or video clip (one); once per input")
        ->allow_extra_args(false);
    previewCmd->add_option("--pattern", preview.patterns, patternHelp)->allow_extra_args(false);
    previewCmd->add_option("--audio", preview.audio, "Audio for FFT parameters (default: the clip's)");
    previewCmd->add_option("--size", preview.size, "Render size WxH (default: the first input's size)");
    previewCmd->add_option("--set", preview.settings, "NAME=VALUE to start with, as for render")->allow_extra_args(false);
    previewCmd->add_option("--fps", preview.fps, "Frames per second without a clip (default 30)");
    previewCmd->add_option("--port", preview.port, "Port to listen on (default: any free port)")
        ->check(CLI::Range(0, 65535));
    previewCmd->add_option("--listen", preview.listen,
                           "Address to listen on (default 127.0.0.1: this machine only; 0.0.0.0: every interface)");

    // (UTF-8 on every system: Windows' argv would be in the ANSI code page.)
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<const char*> argumentPointers;
    for (const auto& a : arguments) argumentPointers.push_back(a.c_str());
    try {
        app.parse(int(argumentPointers.size()), argumentPointers.data());
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
        if (*checkCmd) return runCheck(check);
        if (*soakCmd) return runSoak(soak);
        if (*previewCmd) return runPreview(preview);
    } catch (const UsageFailure& e) {
        std::fprintf(stderr, "ffglrun: %s\n", e.what());
        return kExitUsage;
    } catch (const InterruptedRun& e) {
        std::fprintf(stderr, "ffglrun: %s\n", e.what());
        return kExitInterrupted;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "ffglrun: out of memory (the frames, at their size and depth, do not fit)\n");
        return kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ffglrun: %s\n", e.what());
        return kExitFailure;
    }
    return kExitUsage;
}
