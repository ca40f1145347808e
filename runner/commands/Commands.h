// Commands.h -- ffglrun's commands, each a function of its parsed arguments
// that returns the exit status or throws a cli::Failure / cli::UsageFailure
// carrying the one line to print. ffglrun.cpp parses; these run.
#pragma once

#include "runner/commands/Golden.h"

#include <string>
#include <vector>

namespace tessivar::cli {

struct InfoArgs {
    std::string module;
    bool json = false;
};
int runInfo(const InfoArgs& a);

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
    std::string convert = "auto";  // who converts a clip's pixels: auto, gl, cpu
    std::string stats;             // where the clip pipeline's breakdown goes (JSON)
};
int runRender(const RenderArgs& a);

struct BenchArgs {
    std::string module, size = "1920x1080", pattern = "grid";
    std::vector<std::string> settings;
    int frames = 60;
    int warmup = 5;
    bool json = false;
};
int runBench(const BenchArgs& a);

struct CheckArgs {
    std::string module;
    bool json = false;
};
int runCheck(const CheckArgs& a);

struct SoakArgs {
    std::string module;
    int cycles = 1000;
    bool json = false;
};
int runSoak(const SoakArgs& a);

// Lives in runner/preview/ (PreviewNone.cpp where the build has no server).
struct PreviewArgs {
    std::string module;
    std::vector<std::string> inputs, patterns, settings;
    std::string audio, size, listen = "127.0.0.1";
    int port = 0;  // any free port
    double fps = 30.0;
};
int runPreview(const PreviewArgs& a);

}  // namespace tessivar::cli
