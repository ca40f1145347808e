#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Reports.h"
#include "runner/commands/Soak.h"

#include <iostream>

namespace tessivar::cli {

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
    if (isTerminal(kStderrFd))
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

}  // namespace tessivar::cli
