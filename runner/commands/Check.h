// Check -- a module against the host interface contract, one row per rule.
//
// Rows, in order: the exports; the information record (terminators, API
// version 2 or later, plugin type); the extended record; the thumbnail
// answer; the answers to per-instance codes without an instance and to
// unknown codes; a consistent parameter enumeration (names, types, defaults
// inside ranges, element counts); every parameter accepting its default;
// instantiate, process and de-instantiate (twice side by side); the host's GL
// state as it was after every call; no KHR_debug errors; parameter events
// delivered once and then cleared.
//
// A row that cannot run because an earlier one failed badly is reported as
// failed with the reason, so the table always names every rule.
#pragma once

#include "runner/platform/gl/HeadlessGL.h"

#include <string>
#include <vector>

namespace tessivar {

struct CheckResult {
    std::string name;
    bool passed = false;
    std::string detail;  // what was seen; empty when there is nothing to add
};

// Needs the context current; installs its own debug sink on it.
std::vector<CheckResult> CheckModule(const std::string& path, HeadlessGL& gl);

}  // namespace tessivar
