#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"
#include "runner/commands/Reports.h"
#include "runner/commands/Soak.h"

#include <iostream>
#include <memory>

namespace tessivar::cli {
namespace {

struct SoakArgs {
    std::string module;
    int cycles = 1000;
    bool json = false;
};

int runSoak(const SoakArgs& a) {
    if (a.cycles < 1) throw UsageFailure("--cycles " + std::to_string(a.cycles) + ": must be 1 or more");
    const JsonOut json(a.json);
    auto module = LoadModule(a.module);
    const ModuleInfo info = DescribeModule(*module);
    MakeContext();
    SoakReport report;
    std::string error;
    // Progress for a person watching a terminal: a long soak takes minutes.
    SoakProgress progress;
    if (IsTerminal(kStderrFd))
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
    if (module->Crashed()) {  // what followed the crash says nothing more
        std::fprintf(stderr, "ffglrun: %s\n", module->CrashLine().c_str());
        return kExitFailure;
    }
    if (!report.Passed()) {
        std::fprintf(stderr, "ffglrun: %s fails the soak: %s\n", a.module.c_str(), report.Problems().c_str());
        return kExitFailure;
    }
    return 0;
}

}  // namespace

Command AddSoakCommand(CLI::App& app) {
    auto a = std::make_shared<SoakArgs>();
    CLI::App* c =
        AddSubcommand(app, "soak", "Thousands of lifecycles; fails when GL objects or heap accumulate", a->module);
    c->add_option("--cycles", a->cycles, "Measured cycles per phase, after warm-up (default 1000)");
    c->add_flag("--json", a->json, "One JSON object for scripts");
    return {c, [a] { return runSoak(*a); }};
}

}  // namespace tessivar::cli
