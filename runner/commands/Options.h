// Options -- what ffglrun's subcommands register alike: the module argument,
// --set and --pattern. Each command registers its own options beside its run
// (runner/commands/*Command.cpp); ffglrun.cpp only asks each for them.
#pragma once

#include "runner/Patterns.h"
#include "runner/commands/Commands.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tessivar::cli {

// The subcommand `name`, whose first argument is the module's path.
inline CLI::App* AddSubcommand(CLI::App& app, const std::string& name, const std::string& description,
                               std::string& module, const std::string& moduleHelp = "Path of the module (.so)") {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("module", module, moduleHelp)->required();
    return command;
}

// A repeatable option: once per value, never swallowing the next argument.
inline CLI::Option* AddRepeated(CLI::App* command, const std::string& name, std::vector<std::string>& values,
                                const std::string& help) {
    return command->add_option(name, values, help)->allow_extra_args(false);
}

inline CLI::Option* AddPatterns(CLI::App* command, std::vector<std::string>& patterns) {
    std::string help = "Generated input:";
    for (const auto& n : PatternNames()) help += " " + n;
    return AddRepeated(command, "--pattern", patterns, help);
}

}  // namespace tessivar::cli
