// Reports -- what `ffglrun check`, `bench` and `soak` print: a table for
// people, one JSON object for scripts. The JSON field names are stable;
// scripts may rely on them (the README lists them).
//
// check: module, passed, total, failed, checks [{name, passed, detail}]
// bench: module, name, renderer, width, height, frames, warmup,
//        module_ms {min, median, mean, frames_per_second}, floor_ms {same},
//        ratio (module median / floor median)
// soak:  module, cycles, passed, problems (one text, empty when passed),
//        limits {largest_step_bytes, bytes_per_cycle},
//        phases [{name, passed, problems [..], warmup_cycles, cycles,
//        heap_floor_start, heap_floor_end, largest_step_bytes,
//        bytes_per_cycle, gl_objects (null, or {before {kind: n}, after})}]
#pragma once

#include "runner/commands/Bench.h"
#include "runner/commands/Check.h"
#include "runner/commands/Soak.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tessivar {

nlohmann::json CheckToJson(const std::string& module, const CheckReport& report);
// The table a row at a time, as the rows come: its heading, a row, the
// closing count.
std::string CheckHeadingText();
std::string CheckRowText(const CheckResult& row);
std::string CheckSummaryText(const std::vector<CheckResult>& rows);

nlohmann::json BenchToJson(const BenchResult& result);
std::string BenchToText(const BenchResult& result);

nlohmann::json SoakToJson(const SoakReport& report);
std::string SoakToText(const SoakReport& report);

}  // namespace tessivar
