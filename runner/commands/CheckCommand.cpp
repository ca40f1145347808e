#include "runner/Module.h"
#include "runner/commands/Check.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"
#include "runner/commands/Reports.h"
#include "runner/platform/ChildProcess.h"
#include "runner/platform/Paths.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

namespace tessivar::cli {
namespace {

namespace fs = std::filesystem;

// What a host on this system takes for a module in its plugin folder.
#if defined(_WIN32)
const char* const kModuleExtension = ".dll";
#elif defined(__APPLE__)
const char* const kModuleExtension = ".bundle";
#else
const char* const kModuleExtension = ".so";
#endif

// A child's report of one row, or of its end, on a line of its own.
const char* const kRowLine = "row";
const char* const kCrashedLine = "crashed";
// Exit status of a child whose module crashed (the rows after it are left).
constexpr int kExitCrashed = 3;

struct CheckArgs {
    std::vector<std::string> modules;
    bool json = false;
    int fromRow = -1;  // a child's: report rows from this one on, as lines
};

// The modules named: files (and bundles) as given, folders by their modules,
// as a host scanning its plugin folder finds them.
std::vector<std::string> modulesNamed(const std::vector<std::string>& paths) {
    std::vector<std::string> modules;
    for (const auto& path : paths) {
        if (KindOf(path) != PathKind::Folder || ModuleBinary(path) != path) {
            modules.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fs::u8path(path), ec))
            if (entry.path().extension() == kModuleExtension) found.push_back(entry.path().u8string());
        if (ec) throw Failure(path + ": cannot read the folder (" + ec.message() + ")");
        if (found.empty()) throw Failure(path + ": no " + kModuleExtension + " module in the folder");
        std::sort(found.begin(), found.end());
        modules.insert(modules.end(), found.begin(), found.end());
    }
    return modules;
}

// A row's detail as the last field of its line: a tab or a line end in it
// would split the row.
std::string rowField(std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// The child's side: rows from `fromRow` on, as "row\tINDEX\tpass|FAIL\tDETAIL"
// lines, then "crashed" when the module crashed.
int runRowsForParent(const std::string& module, int fromRow) {
    size_t index = size_t(fromRow);
    const CheckReport report = CheckModule(module, MakeContext(), index, [&](const CheckResult& r) {
        std::cout << kRowLine << '\t' << index++ << '\t' << (r.passed ? "pass" : "FAIL") << '\t' << rowField(r.detail)
                  << std::endl;
    });
    if (report.crashed) std::cout << kCrashedLine << std::endl;
    return report.crashed ? kExitCrashed : 0;
}

// The rows from `next` on, each process after a crash a fresh one, until every
// row is told. A child that dies without telling the row it was in fails it.
void continueInChildren(const std::string& module, size_t next, CheckReport& report,
                        const std::function<void(const CheckResult&)>& onRow) {
    const auto& names = CheckRowNames();
    while (next < names.size()) {
        bool crashed = false;
        ChildEnd end;
        std::string error;
        const bool ran = RunSelf(
            {"check", module, "--from-row", std::to_string(next)},
            [&](const std::string& line) {
                const size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
                if (line == kCrashedLine) crashed = true;
                if (line.compare(0, a, kRowLine) != 0 || c == std::string::npos) return;
                // (The module's own chatter on standard output is no row.)
                if (line.substr(a + 1, b - a - 1) != std::to_string(next)) return;
                const size_t index = next;
                report.rows.push_back({names[index], line.compare(b + 1, c - b - 1, "pass") == 0, line.substr(c + 1)});
                onRow(report.rows.back());
                ++next;
            },
            end, error);
        if (!ran) {
            report.rows.push_back({names[next], false, "not run: " + error});
            onRow(report.rows.back());
            ++next;
        } else if (!crashed && next < names.size() && !(end.exited && end.code == 0)) {
            report.rows.push_back({names[next], false, "the check's process for this row ended with " + end.how});
            onRow(report.rows.back());
            ++next;
        } else if (!crashed) {
            break;
        }
    }
}

// One module: its table as the rows come (or its JSON), then its hint.
CheckReport checkOne(const std::string& module, bool json) {
    const auto print = [&](const CheckResult& r) {
        if (json) return;
        std::cout << CheckRowText(r);
        std::cout.flush();
    };
    if (!json) std::cout << CheckHeadingText() << std::flush;
    CheckReport report = CheckModule(module, MakeContext(), 0, print);
    if (report.crashed) continueInChildren(module, report.rows.size(), report, print);
    if (!json) std::cout << CheckSummaryText(report.rows) << std::flush;
    return report;
}

size_t failedRows(const CheckReport& r) {
    return size_t(std::count_if(r.rows.begin(), r.rows.end(), [](const CheckResult& c) { return !c.passed; }));
}

int runCheck(const CheckArgs& a) {
    if (a.fromRow >= 0) return runRowsForParent(a.modules.at(0), a.fromRow);
    const JsonOut json(a.json);
    const std::vector<std::string> modules = modulesNamed(a.modules);
    std::vector<CheckReport> reports;
    for (const auto& module : modules) {
        if (modules.size() > 1 && !json.Wanted()) std::cout << (reports.empty() ? "" : "\n") << module << "\n";
        reports.push_back(checkOne(module, json.Wanted()));
    }

    // What a host scanning these modules meets: one plugin kept per ID.
    std::map<std::string, std::vector<std::string>> byId;
    for (size_t i = 0; i < modules.size(); ++i)
        if (!reports[i].id.empty()) byId[reports[i].id].push_back(modules[i]);
    std::vector<std::string> clashes;
    nlohmann::json clashJson = nlohmann::json::array();
    for (const auto& [id, holders] : byId) {
        if (holders.size() < 2) continue;
        std::string names;
        for (const auto& h : holders) names += (names.empty() ? "" : ", ") + h;
        clashes.push_back("ID '" + id + "' is taken by " + std::to_string(holders.size()) + " modules (" + names +
                          "): a host scanning them keeps one");
        clashJson.push_back({{"id", id}, {"modules", holders}});
    }

    size_t failedModules = 0;
    for (const auto& r : reports) failedModules += failedRows(r) ? 1 : 0;
    if (json.Wanted()) {
        if (modules.size() == 1) {
            json.Write(CheckToJson(modules[0], reports[0]));
        } else {
            nlohmann::json all = nlohmann::json::array();
            for (size_t i = 0; i < modules.size(); ++i) all.push_back(CheckToJson(modules[i], reports[i]));
            json.Write(
                {{"passed", failedModules == 0 && clashes.empty()}, {"modules", all}, {"id_clashes", clashJson}});
        }
    } else if (modules.size() > 1) {
        std::cout << "\n" << modules.size() << " modules: " << modules.size() - failedModules << " pass every check";
        std::cout << (clashes.empty() ? ", no ID is taken twice\n" : "\n");
        for (const auto& c : clashes) std::cout << c << "\n";
    }
    std::cout.flush();

    for (size_t i = 0; i < modules.size(); ++i) {
        if (const size_t failed = failedRows(reports[i]))
            std::fprintf(stderr, "ffglrun: %s fails %zu of %zu checks\n", modules[i].c_str(), failed,
                         reports[i].rows.size());
        if (!reports[i].hint.empty()) std::fprintf(stderr, "ffglrun: %s\n", reports[i].hint.c_str());
    }
    for (const auto& c : clashes) std::fprintf(stderr, "ffglrun: %s\n", c.c_str());
    return failedModules || !clashes.empty() ? kExitFailure : 0;
}

}  // namespace

Command AddCheckCommand(CLI::App& app) {
    auto a = std::make_shared<CheckArgs>();
    CLI::App* c = app.add_subcommand("check",
                                     "Check modules against the host interface contract, and their IDs "
                                     "against each other");
    c->add_option("modules", a->modules,
                  "Modules, or folders of them as a host scans them (" + std::string(kModuleExtension) + ")")
        ->required();
    c->add_flag("--json", a->json, "One JSON object for scripts");
    // ffglrun's own, for the rows after a crash (runRowsForParent): hidden.
    c->add_option("--from-row", a->fromRow)->group("");
    return {c, [a] { return runCheck(*a); }};
}

}  // namespace tessivar::cli
