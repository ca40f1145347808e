// Soak -- thousands of lifecycles through plugMain on one module, in one GL
// context, checking that nothing accumulates: GL objects are counted exactly
// before and after, the heap is read after every cycle.
//
// Two phases, each warmed up first and then measured:
//   instances   instantiate, set every parameter, process a frame into the
//               host's framebuffer, collect the events and read the values
//               back, de-instantiate;
//   prototypes  FF_INITIALISE_V2, every global query, FF_DEINITIALISE, while
//               one instance lives on and renders now and then (it must not
//               lean on the prototype).
//
// The host learns the plugin from its answers (parameter types, element
// counts, input counts), so any module can be soaked without its code.
#pragma once

#include "runner/GLCensus.h"
#include "runner/Module.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessivar {

struct SoakPhase {
    std::string name;           // "instances" or "prototypes"
    uint32_t warmupCycles = 0;  // run until the heap settled, not measured
    uint32_t cycles = 0;        // measured cycles that ran
    // Heap floors (the least reading in a block of cycles), in bytes: at the
    // end of warm-up and after the last measured block.
    long heapStart = 0, heapEnd = 0;
    // The largest rise of the floor from one block to the next, and what the
    // floor rose per measured cycle without the driver's jumps (see JudgeHeap).
    long largestStep = 0;
    double bytesPerCycle = 0;
    bool counted = false;  // the GL census ran around this phase
    GLCensus glBefore, glAfter;
    std::vector<std::string> problems;  // empty when the phase passed
    bool Passed() const { return problems.empty(); }
};

struct SoakReport {
    std::string module;
    uint32_t cycles = 0;  // measured cycles asked for, per phase
    std::vector<SoakPhase> phases;
    bool Passed() const;
    // One line naming every problem of every phase; empty when it passed.
    std::string Problems() const;
};

// The limits a phase is held to, fixed so that results compare across runs.
struct SoakLimits {
    // A lasting rise of the floor in one step: the GL driver makes one such
    // allocation of about 480 to 530 KiB at a cycle that differs between
    // runs, now and then with a second one of 64 KiB.
    static constexpr long kLargestStep = 1024 * 1024;
    // How many jumps of the floor past a settled block's drift (8 KiB) are
    // taken for the driver's; what they rose beyond the other blocks' usual
    // rise is left out of the rise per cycle.
    static constexpr size_t kExcusedJumps = 2;
    // Steady rise per cycle apart from those jumps. The shipped modules read
    // under 1 byte per cycle (the heap reader keeps the allocator's caches
    // out of the figure); a plugin that keeps one 48-byte block per cycle
    // (64 bytes to malloc) shows 64.
    static constexpr double kBytesPerCycle = 32.0;
};

// Hears of every 100th cycle of a phase, warm-up included.
using SoakProgress = std::function<void(const std::string& phase, uint32_t cycle)>;

// Needs the GL context current. False (with `error`) when the module cannot
// be soaked at all; otherwise the report says what each phase saw.
bool RunSoak(const Module& module, const ModuleInfo& info, uint32_t cycles, SoakReport& report, std::string& error,
             const SoakProgress& progress = {});

// Judges a phase's heap from the floors of its measured blocks, the first
// being the floor at the end of warm-up; `phase.cycles` is the measured
// cycles. Fills the heap figures and adds a problem for each limit passed.
void JudgeHeap(SoakPhase& phase, const std::vector<long>& floors);

}  // namespace tessivar
