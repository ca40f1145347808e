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
//
// A module that crashes (runner/platform/CrashGuard.h) fails the row whose
// call crashed, naming the call and the signal, and this process calls it no
// more: the check stops there, and ffglrun goes on with the later rows in a
// fresh process of its own (CheckCommand.cpp), which loads the module anew.
#pragma once

#include "runner/platform/gl/HeadlessGL.h"

#include <functional>
#include <string>
#include <vector>

namespace tessivar {

struct CheckResult {
    std::string name;
    bool passed = false;
    std::string detail;  // what was seen; empty when there is nothing to add
};

// The rows' names, in the order of the table.
const std::vector<std::string>& CheckRowNames();

struct CheckReport {
    std::vector<CheckResult> rows;  // from the first row asked for, in order
    std::string id, name;           // the module's identifier and name, as a host reads them
    std::string hint;               // a "hint: ..." line when its instances failed and names may be why
    bool crashed = false;           // the last row is where the module crashed; none after it ran
};

// Checks the module at `path`, reporting rows from `firstRow` (0-based) on;
// the rows before it still make their calls, which later rows build on.
// Each row goes to `onRow` as soon as it and every row before it are done.
// Needs the context current; installs its own debug sink on it.
CheckReport CheckModule(const std::string& path, HeadlessGL& gl, size_t firstRow = 0,
                        const std::function<void(const CheckResult&)>& onRow = {});

}  // namespace tessivar
