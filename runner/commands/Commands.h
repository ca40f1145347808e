// Commands.h -- ffglrun's commands. Each registers its subcommand and options
// with the command line and answers the run to call when it is named; a run
// returns the exit status or throws a cli::Failure / cli::UsageFailure
// carrying the one line to print. ffglrun.cpp asks each command for itself,
// parses, and runs the one named.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tessivar::cli {

struct Command {
    CLI::App* subcommand = nullptr;  // true once the command line names it
    std::function<int()> run;        // after parsing
};

Command AddInfoCommand(CLI::App& app);
Command AddRenderCommand(CLI::App& app);
Command AddBenchCommand(CLI::App& app);
Command AddCheckCommand(CLI::App& app);
Command AddSoakCommand(CLI::App& app);
Command AddPreviewCommand(CLI::App& app);

// The preview's arguments, which its session keeps.
struct PreviewArgs {
    std::string module;
    std::vector<std::string> inputs, patterns, settings;
    std::string audio, size, listen = "127.0.0.1";
    int port = 0;  // any free port
    double fps = 30.0;
};
// Lives in runner/preview/ (PreviewNone.cpp where the build has no server).
int RunPreview(const PreviewArgs& a);

}  // namespace tessivar::cli
