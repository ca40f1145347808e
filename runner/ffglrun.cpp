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
// written whole or not at all. This file parses the command line; each
// command, with the options it registers, lives in runner/commands/.
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/platform/Interrupt.h"
#include "runner/platform/Paths.h"

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

namespace {

// Runs the command, turning its failure into one line and an exit status.
int runReported(const Command& command) {
    try {
        return command.run();
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
    const Command commands[] = {AddInfoCommand(app),  AddRenderCommand(app), AddBenchCommand(app),
                                AddCheckCommand(app), AddSoakCommand(app),   AddPreviewCommand(app)};

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
    for (const Command& command : commands)
        if (*command.subcommand) return runReported(command);
    return kExitUsage;
}
