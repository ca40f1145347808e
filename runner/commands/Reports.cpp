#include "runner/commands/Reports.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace tessivar {
namespace {

// MinGW's C99 printf (which knows %zu) checks under its own archetype.
#if defined(__MINGW_PRINTF_FORMAT)
#define TESSIVAR_CHECKS_FORMAT __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
#define TESSIVAR_CHECKS_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define TESSIVAR_CHECKS_FORMAT  // MSVC checks printf formats only for the C library's own functions
#endif
std::string format(const char* pattern, ...) TESSIVAR_CHECKS_FORMAT;
std::string format(const char* pattern, ...) {
    char buf[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buf, sizeof buf, pattern, args);
    va_end(args);
    return buf;
}

nlohmann::json statsJson(const FrameStats& s) {
    return {{"min", s.minMs}, {"median", s.medianMs}, {"mean", s.meanMs}, {"frames_per_second", s.FramesPerSecond()}};
}

std::string statsRow(const char* label, const FrameStats& s) {
    return format("  %-10s %9.3f %10.3f %9.3f %9.1f\n", label, s.minMs, s.medianMs, s.meanMs, s.FramesPerSecond());
}

nlohmann::json censusJson(const GLCensus& c) {
    nlohmann::json j = nlohmann::json::object();
    for (int k = 0; k < GLCensus::kKinds; ++k) j[GLCensus::Name(GLCensus::Kind(k))] = c.live[size_t(k)];
    return j;
}

std::string censusText(const GLCensus& c) {
    std::string s;
    for (int k = 0; k < GLCensus::kKinds; ++k)
        s += format("%s%s %zu", k ? ", " : "", GLCensus::Name(GLCensus::Kind(k)), c.live[size_t(k)]);
    return s;
}

}  // namespace

nlohmann::json CheckToJson(const std::string& module, const CheckReport& report) {
    nlohmann::json checks = nlohmann::json::array();
    size_t failed = 0;
    for (const auto& r : report.rows) {
        checks.push_back({{"name", r.name}, {"passed", r.passed}, {"detail", r.detail}});
        failed += r.passed ? 0 : 1;
    }
    return {{"module", module},
            {"id", report.id},
            {"name", report.name},
            {"passed", failed == 0},
            {"total", report.rows.size()},
            {"failed", failed},
            {"checks", checks},
            {"hint", report.hint}};
}

namespace {
size_t checkNameWidth() {
    size_t width = 0;
    for (const auto& n : CheckRowNames()) width = std::max(width, n.size());
    return width;
}
}  // namespace

std::string CheckHeadingText() { return format("%-*s  %-6s %s\n", int(checkNameWidth()), "check", "result", "detail"); }

std::string CheckRowText(const CheckResult& r) {
    return format("%-*s  %-6s ", int(checkNameWidth()), r.name.c_str(), r.passed ? "pass" : "FAIL") + r.detail + "\n";
}

std::string CheckSummaryText(const std::vector<CheckResult>& rows) {
    const size_t failed =
        size_t(std::count_if(rows.begin(), rows.end(), [](const CheckResult& r) { return !r.passed; }));
    return format("%zu checks: %zu passed, %zu failed\n", rows.size(), rows.size() - failed, failed);
}

nlohmann::json BenchToJson(const BenchResult& r) {
    return {{"module", r.module},
            {"name", r.name},
            {"renderer", r.renderer},
            {"width", r.width},
            {"height", r.height},
            {"frames", r.frames},
            {"warmup", r.warmup},
            {"module_ms", statsJson(r.plugin)},
            {"floor_ms", statsJson(r.floor)},
            {"ratio", r.Ratio()}};
}

std::string BenchToText(const BenchResult& r) {
    return format("%s at %ux%u, %zu frames after %zu warm-up, on ", r.name.c_str(), r.width, r.height, r.frames,
                  r.warmup) +
           r.renderer + "\n" + format("  %-10s %9s %10s %9s %9s\n", "", "min ms", "median ms", "mean ms", "frames/s") +
           statsRow("module", r.plugin) + statsRow("floor", r.floor) +
           format("  ratio      %.2fx the floor (median)\n", r.Ratio());
}

nlohmann::json SoakToJson(const SoakReport& report) {
    nlohmann::json phases = nlohmann::json::array();
    for (const SoakPhase& p : report.phases) {
        nlohmann::json gl = nullptr;
        if (p.counted) gl = {{"before", censusJson(p.glBefore)}, {"after", censusJson(p.glAfter)}};
        phases.push_back({{"name", p.name},
                          {"passed", p.Passed()},
                          {"problems", p.problems},
                          {"warmup_cycles", p.warmupCycles},
                          {"cycles", p.cycles},
                          {"heap_floor_start", p.heapStart},
                          {"heap_floor_end", p.heapEnd},
                          {"largest_step_bytes", p.largestStep},
                          {"bytes_per_cycle", p.bytesPerCycle},
                          {"gl_objects", gl}});
    }
    return {
        {"module", report.module},
        {"cycles", report.cycles},
        {"passed", report.Passed()},
        {"problems", report.Problems()},
        {"limits", {{"largest_step_bytes", SoakLimits::kLargestStep}, {"bytes_per_cycle", SoakLimits::kBytesPerCycle}}},
        {"phases", phases}};
}

std::string SoakToText(const SoakReport& report) {
    std::string out = "soak " + report.module + format(": %u measured cycles per phase\n", report.cycles);
    for (const SoakPhase& p : report.phases) {
        out += format(
            "  %-10s %-4s %u cycles after %u warm-up; heap floor %ld -> %ld, largest step %ld, "
            "%.1f bytes/cycle besides\n",
            p.name.c_str(), p.Passed() ? "pass" : "FAIL", p.cycles, p.warmupCycles, p.heapStart, p.heapEnd,
            p.largestStep, p.bytesPerCycle);
        if (p.counted)
            out += "             GL objects before: " + censusText(p.glBefore) + "\n" +
                   "             GL objects after:  " + censusText(p.glAfter) + "\n";
        for (const std::string& problem : p.problems) out += "             problem: " + problem + "\n";
    }
    return out + format("limits: one step up to %ld bytes, then %.0f bytes/cycle\n", SoakLimits::kLargestStep,
                        SoakLimits::kBytesPerCycle);
}

}  // namespace tessivar
