#include "runner/commands/Check.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"
#include "runner/commands/Reports.h"

#include <algorithm>
#include <iostream>
#include <memory>

namespace tessivar::cli {
namespace {

struct CheckArgs {
    std::string module;
    bool json = false;
};

int runCheck(const CheckArgs& a) {
    const JsonOut json(a.json);
    const std::vector<CheckResult> rows = CheckModule(a.module, makeContext());
    if (json.Wanted())
        json.Write(CheckToJson(a.module, rows));
    else
        std::cout << CheckToText(rows);
    std::cout.flush();
    const auto failed = std::count_if(rows.begin(), rows.end(), [](const CheckResult& r) { return !r.passed; });
    if (failed) {
        std::fprintf(stderr, "ffglrun: %s fails %zu of %zu checks\n", a.module.c_str(), size_t(failed), rows.size());
        return kExitFailure;
    }
    return 0;
}

}  // namespace

Command addCheckCommand(CLI::App& app) {
    auto a = std::make_shared<CheckArgs>();
    CLI::App* c = addSubcommand(app, "check", "Check the module against the host interface contract", a->module);
    c->add_flag("--json", a->json, "One JSON object for scripts");
    return {c, [a] { return runCheck(*a); }};
}

}  // namespace tessivar::cli
