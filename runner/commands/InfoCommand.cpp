#include "runner/InfoFormat.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"

#include <iostream>
#include <memory>

namespace tessivar::cli {
namespace {

struct InfoArgs {
    std::string module;
    bool json = false;
};

int runInfo(const InfoArgs& a) {
    const JsonOut json(a.json);
    auto module = LoadModule(a.module);
    const ModuleInfo info = DescribeModule(*module);
    if (json.Wanted())
        json.Write(InfoToJson(info));
    else
        std::cout << InfoToText(info);
    return 0;
}

}  // namespace

Command AddInfoCommand(CLI::App& app) {
    auto a = std::make_shared<InfoArgs>();
    CLI::App* c = AddSubcommand(app, "info", "Show identity, capabilities and parameters", a->module);
    c->add_flag("--json", a->json, "Stable JSON for scripts");
    return {c, [a] { return runInfo(*a); }};
}

}  // namespace tessivar::cli
