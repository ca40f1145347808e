// CommandLine.h -- what every ffglrun command shares: how a run fails (one
// line, an exit status), loading and describing the module, the one GL
// context, parameter settings, output names, progress on a terminal and JSON
// on a standard output that a module's own printing cannot corrupt.
#pragma once

#include "runner/Module.h"
#include "runner/ParamSetting.h"
#include "runner/platform/gl/HeadlessGL.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessivar::cli {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The standard descriptors, named the same on every system.
constexpr int kStdinFd = 0, kStdoutFd = 1, kStderrFd = 2;

// A failure that ends the run: one line, no stack of messages. A usage
// failure is the caller's mistake and exits with kExitUsage.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct UsageFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A run ended by Ctrl-C or SIGTERM, after cleaning up: exits with
// kExitInterrupted.
struct InterruptedRun : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Size {
    uint32_t width = 0, height = 0;
    bool Set() const { return width != 0; }
};

// WIDTHxHEIGHT as given to OPTION; empty text is an unset size.
Size ParseSizeArg(const std::string& option, const std::string& text);

std::unique_ptr<Module> LoadModule(const std::string& path);
// The module's description; a module without an information record fails.
ModuleInfo DescribeModule(const Module& module);

// The process's one GL context, made on first use and kept until exit.
HeadlessGL& MakeContext();
// Reports the module's GL errors on standard error as they happen, a few at most.
void ReportDebugErrors(HeadlessGL& gl);

std::vector<ParamSetting> ResolveSettings(const ModuleInfo& info, const std::vector<std::string>& assignments);
void ApplySettings(const Instance& instance, const std::vector<ParamSetting>& settings);

// An output name, possibly with one %d (or %0Nd) for the frame number.
class OutputName {
public:
    explicit OutputName(std::string pattern, const std::string& option = "--out");
    bool Sequence() const { return sequence; }
    // The name as given, %d and all.
    const std::string& Text() const { return text; }
    std::string For(int frame) const;
    // Fails early when the folder cannot take the file, or a folder stands
    // where the file would go, before any rendering.
    void CheckWritable() const;
    // Fails when a file this name writes is one of `inputs` (the same file by
    // device and inode, links followed; for a %d name, any file it numbers).
    void RefuseInputs(const std::vector<std::string>& inputs) const;

private:
    bool Numbers(const std::string& path) const;
    std::string option, text, prefix, suffix;
    int digits = 0;
    bool sequence = false;
};

// A console, not a file, pipe or (on Windows) the NUL device.
bool IsTerminal(int fd);

// Progress on standard error, only for a person watching a terminal.
class Progress {
public:
    explicit Progress(int expected);
    void Frame(int done);
    ~Progress();

private:
    using Clock = std::chrono::steady_clock;
    int total;
    bool enabled;
    bool shown = false;
    Clock::time_point start;
};

// Standard output for the caller alone: returns a stream on the real standard
// output and points descriptor 1 at standard error, so anything else written
// there (a module's own printf, say) cannot corrupt what the caller writes.
std::FILE* TakeStandardOutput();

// JSON goes to the real standard output, taken before the module is loaded:
// a module that prints (on load or every frame) would otherwise break it.
class JsonOut {
public:
    explicit JsonOut(bool wanted) : to(wanted ? TakeStandardOutput() : nullptr) {}
    bool Wanted() const { return to != nullptr; }
    void Write(const nlohmann::json& j) const;

private:
    std::FILE* to;
};

}  // namespace tessivar::cli
