#include "runner/commands/Soak.h"

#include "gl/GLIncludes.h"
#include "runner/GLFrame.h"
#include "runner/platform/HeapUsage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace tessivar {
namespace {

constexpr uint32_t kWidth = 64, kHeight = 48;

// The heap is read after every cycle, and a block's figure is its floor, the
// least of those readings: what a cycle holds only until the next one (the
// driver keeps a large block for some parameter values and not for others)
// leaves the floor alone, while anything kept for good raises it.
//
// Warm-up runs at least kMinWarmup cycles, and on until the floors of
// kCalmBlocks blocks in a row each match the one before (within kSettled).
// The first cycles allocate for good (first shader compile, the plugin's
// static buffers), and the driver keeps bookkeeping per program link that
// grows in steps, the last one some hundreds of cycles in (at no fixed cycle);
// none of that is the plugin's. A floor that never settles is a leak of its
// own.
constexpr uint32_t kBlock = 100;
constexpr long kSettled = 8 * 1024;
constexpr int kCalmBlocks = 2;
constexpr uint32_t kMinWarmup = 1000;
constexpr uint32_t kMaxWarmup = 3000;

// An input with an opaque middle and a transparent border, so a plugin that
// measures its input's alpha finds something to fit.
Image soakPicture(uint32_t w, uint32_t h, uint32_t seed) {
    Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            const bool inside = x >= w / 8 && x < w - w / 8 && y >= h / 6 && y < h - h / 6;
            p[0] = uint8_t(x * 4 + seed);
            p[1] = uint8_t(y * 5);
            p[2] = uint8_t(seed * 40);
            p[3] = inside ? 255 : 0;
        }
    return image;
}

// A host that adds and removes the plugin over and over, as a user of a
// video host does.
class SoakHost {
public:
    SoakHost(const Module& m, const ModuleInfo& i) : module(m), info(i) {}

    bool Create(std::string& error) {
        if (!target.Create(kWidth, kHeight)) {
            error = "cannot make the host's render target";
            return false;
        }
        const uint32_t numInputs = std::min<uint32_t>(info.maxInputs, 2);
        for (uint32_t i = 0; i < numInputs; ++i) {
            // The second input is smaller and padded, as hosts hand them out.
            const bool padded = i == 1;
            inputs.push_back(std::make_unique<InputTexture>());
            if (!inputs.back()->Create(soakPicture(padded ? kWidth / 2 : kWidth, padded ? kHeight / 2 : kHeight, i),
                                       padded ? kWidth : 0, padded ? kHeight : 0)) {
                error = "cannot make an input texture";
                return false;
            }
        }
        return true;
    }

    std::string InstanceCycle(uint32_t cycle) {
        target.Bind();
        Instance instance;
        std::string why;
        if (!instance.Create(module, kWidth, kHeight, why)) return "FF_INSTANTIATE_GL failed";
        why = SetParameters(instance, cycle);
        if (why.empty()) why = Frame(instance, cycle);
        if (why.empty()) {
            for (const ParamEvent& e : instance.CollectEvents())
                if (e.index >= info.params.size()) why = "event for unknown parameter " + std::to_string(e.index);
            // What a host does with the events: read the moved values back.
            for (uint32_t p = 0; p < info.params.size(); ++p) module.Call(FF_GET_PARAMETER, p, instance.Id());
        }
        if (!instance.Destroy() && why.empty()) why = "FF_DEINSTANTIATE_GL failed";
        return why;
    }

    std::string PrototypeCycle(uint32_t cycle) {
        const auto numParams = uint32_t(info.params.size());
        // Every other cycle a query, not FF_INITIALISE_V2, brings the prototype.
        if (cycle % 2 == 0 && module.Call(FF_INITIALISE_V2, 0u).Bits != FF_SUCCESS) return "FF_INITIALISE_V2 failed";
        if (module.Call(FF_GET_NUM_PARAMETERS, 0u).Bits != numParams) return "parameter count changed";
        if (IsNullText(module.Call(FF_GET_INFO, 0u)) || IsNullText(module.Call(FF_GET_EXTENDED_INFO, 0u)))
            return "no information record";
        module.Call(FF_GET_PLUGIN_SHORT_NAME, 0u);
        for (uint32_t cap : {FF_CAP_SET_TIME, FF_CAP_MINIMUM_INPUT_FRAMES, FF_CAP_MAXIMUM_INPUT_FRAMES,
                             FF_CAP_TOP_LEFT_TEXTURE_ORIENTATION})
            module.Call(FF_GET_PLUGIN_CAPS, cap);
        char group[32];
        for (uint32_t p = 0; p <= numParams; ++p) {  // one past the end: unregistered
            module.Call(FF_GET_PARAMETER_NAME, p);
            module.Call(FF_GET_PARAMETER_DEFAULT, p);
            const uint64_t type = module.Call(FF_GET_PARAMETER_TYPE, p).Bits;
            if (type != (p < numParams ? info.params[p].type : FF_FAIL)) return "parameter type changed";
            module.Call(FF_GET_PARAMETER_USAGE, p);
            module.Call(FF_GET_PARAMETER_VISIBILITY, p);
            RangeQueryStruct range{p, 0.0f, 1.0f};
            if (module.Call(FF_GET_RANGE, &range).Bits != FF_SUCCESS) return "FF_GET_RANGE failed";
            ElementQueryStruct element{p, cycle % 4};
            module.Call(FF_GET_PARAMETER_ELEMENT_NAME, &element);
            module.Call(FF_GET_PARAMETER_ELEMENT_DEFAULT, &element);
            GroupQueryStruct groupQuery{p, group, sizeof group};
            module.Call(FF_GET_PARAMETER_GROUP, &groupQuery);
        }
        if (module.Call(FF_DEINITIALISE, 0u).Bits != FF_SUCCESS) return "FF_DEINITIALISE failed";
        if (cycle % 3 == 0 && module.Call(FF_DEINITIALISE, 0u).Bits != FF_SUCCESS)
            return "second FF_DEINITIALISE failed";
        return "";
    }

    // One frame on an instance made elsewhere.
    std::string Frame(const Instance& instance, uint32_t cycle) {
        std::vector<FFGLTextureStruct> descs;
        for (const auto& input : inputs) descs.push_back(input->Desc());
        target.Bind();
        target.Clear(0, 0, 0, 0);
        // A host often blends its layers; the plugin must leave that as it was.
        if (cycle % 2) glEnable(GL_BLEND);
        const GLStateWatch watch;
        const bool processed = instance.Process(descs, target.Framebuffer());
        const std::string changed = watch.Changed();
        glDisable(GL_BLEND);
        // The host shows the frame before it goes on, as a presenting host
        // does. llvmpipe frees what a deleted program compiled only once the
        // queued work that used it is done: a host that never waited would
        // see the driver's queue grow, and take it for the plugin's heap.
        glFinish();
        if (!processed) return "FF_PROCESS_OPENGL failed";
        if (!changed.empty()) return "the frame changed host GL state: " + changed;
        return "";
    }

private:
    std::string SetParameters(const Instance& instance, uint32_t cycle) {
        static const char* const texts[] = {"", "soak", "a longer caption with some words in it"};
        for (uint32_t p = 0; p < info.params.size(); ++p) {
            const ParamDesc& param = info.params[p];
            bool accepted;
            if (param.IsText()) {
                accepted = instance.SetText(p, texts[(cycle + p) % 3]);
            } else {
                // Sweeps 0..1 in uneven steps, so booleans flip and fits re-run.
                const float value = float((cycle * 37u + p * 11u) % 101u) / 100.0f;
                accepted = instance.SetFloat(p, value);
                if (param.elements.size() > 1) {
                    SetElementValueStruct s{p, cycle % uint32_t(param.elements.size()), value};
                    module.Call(FF_SET_PARAMETER_ELEMENT_VALUE, &s, instance.Id());
                }
            }
            if (!accepted) return "FF_SET_PARAMETER " + std::to_string(p) + " failed";
            // Some parameter kinds answer FF_FAIL here; only a null pointer is a fault.
            if (module.Call(FF_GET_PARAMETER_DISPLAY, p, instance.Id()).Bits == 0)
                return "FF_GET_PARAMETER_DISPLAY " + std::to_string(p) + " answered null";
        }
        instance.SetTime(cycle / 60.0);
        return "";
    }

    const Module& module;
    const ModuleInfo& info;
    RenderTarget target;
    std::vector<std::unique_ptr<InputTexture>> inputs;
};

// Warm-up, then the measured cycles in blocks; `cycle` answers "" or what
// went wrong. Fills the phase's cycle counts, floors and problems.
void measure(SoakPhase& phase, uint32_t measured, const std::function<std::string(uint32_t)>& cycle,
             const SoakProgress& progress) {
    uint32_t next = 0;
    std::string failure;
    // Runs n cycles; answers the floor of the last kBlock of them, or -1.
    auto block = [&](uint32_t n) {
        long floor = -1;
        for (uint32_t i = 0; i < n; ++i) {
            if (std::string why = cycle(next++); !why.empty()) {
                failure = "cycle " + std::to_string(next - 1) + ": " + why;
                return -1L;
            }
            const long heap = long(HeapInUse());
            if (n - i <= kBlock && (floor < 0 || heap < floor)) floor = heap;
            if (progress && next % kBlock == 0) progress(phase.name, next);
        }
        return floor;
    };
    long last = block(kBlock);
    for (int calm = 0; last >= 0;) {
        const long now = block(kBlock);
        if (now < 0) break;
        calm = std::labs(now - last) <= kSettled ? calm + 1 : 0;
        last = now;
        if (calm >= kCalmBlocks && next >= kMinWarmup) break;
        if (next >= kMaxWarmup) {
            phase.problems.push_back("heap never settled in " + std::to_string(next) + " warm-up cycles");
            return;
        }
    }
    if (!failure.empty()) {
        phase.problems.push_back(failure);
        return;
    }
    phase.warmupCycles = next;
    std::vector<long> floors = {last};
    while (phase.cycles < measured) {
        const uint32_t n = std::min(kBlock, measured - phase.cycles);
        const long now = block(n);
        if (now < 0) {
            phase.problems.push_back(failure);
            return;
        }
        phase.cycles += n;
        floors.push_back(now);
    }
    JudgeHeap(phase, floors);
}

}  // namespace

void JudgeHeap(SoakPhase& phase, const std::vector<long>& floors) {
    phase.heapStart = floors.front();
    phase.heapEnd = floors.back();
    std::vector<long> rises;
    for (size_t i = 1; i < floors.size(); ++i) rises.push_back(floors[i] - floors[i - 1]);
    std::sort(rises.rbegin(), rises.rend());
    phase.largestStep = rises.empty() ? 0 : std::max(0L, rises.front());
    // The driver's lasting allocations come as a jump or two bigger than a
    // settled block's drift (about 480 KiB, now and then with a 64 KiB one
    // beside it), and are excused. Growth in smaller steps is not, however
    // few blocks there were, nor are jumps past the first two. A jumping
    // block still grew as the others did, so only its excess over their
    // median rise is excused: a leak cannot hide behind the driver's jump.
    size_t jumps = 0;
    while (jumps < rises.size() && jumps < SoakLimits::kExcusedJumps && rises[jumps] > kSettled) ++jumps;
    const size_t others = rises.size() - jumps;
    const long usual = others ? std::max(0L, rises[jumps + others / 2]) : 0;
    long excused = 0;
    for (size_t i = 0; i < jumps; ++i) excused += rises[i] - usual;
    const long grown = phase.heapEnd - phase.heapStart - excused;
    phase.bytesPerCycle = phase.cycles ? double(grown) / phase.cycles : 0.0;
    if (phase.largestStep > SoakLimits::kLargestStep)
        phase.problems.push_back("heap floor rose " + std::to_string(phase.largestStep) + " bytes in one block");
    if (phase.bytesPerCycle > SoakLimits::kBytesPerCycle) {
        char text[160];
        std::snprintf(text, sizeof text, "heap grew %.1f bytes per cycle over %u cycles", phase.bytesPerCycle,
                      phase.cycles);
        phase.problems.push_back(text);
    }
}

bool SoakReport::Passed() const {
    return std::all_of(phases.begin(), phases.end(), [](const SoakPhase& p) { return p.Passed(); });
}

std::string SoakReport::Problems() const {
    std::string out;
    for (const SoakPhase& p : phases)
        for (const std::string& problem : p.problems) out += (out.empty() ? "" : "; ") + p.name + ": " + problem;
    return out;
}

bool RunSoak(const Module& module, const ModuleInfo& info, uint32_t cycles, SoakReport& report, std::string& error,
             const SoakProgress& progress) {
    report = SoakReport{};
    report.module = module.Path();
    report.cycles = cycles;
    SoakHost host(module, info);
    if (!host.Create(error)) {
        error = module.Path() + ": " + error;
        return false;
    }

    SoakPhase instances;
    instances.name = "instances";
    instances.counted = true;
    instances.glBefore = GLCensus::Take();
    const auto instanceCycle = [&](uint32_t cycle) { return host.InstanceCycle(cycle); };
    measure(instances, cycles, instanceCycle, progress);
    instances.glAfter = GLCensus::Take();
    if (const std::string diff = instances.glBefore.Diff(instances.glAfter); !diff.empty())
        instances.problems.insert(instances.problems.begin(), "GL objects left behind (" + diff + ")");
    report.phases.push_back(instances);

    SoakPhase prototypes;
    prototypes.name = "prototypes";
    Instance survivor;
    if (std::string why; !survivor.Create(module, kWidth, kHeight, why)) {
        prototypes.problems.push_back("FF_INSTANTIATE_GL failed for the instance that lives through them");
        report.phases.push_back(prototypes);
        return true;
    }
    measure(
        prototypes, cycles,
        [&](uint32_t cycle) {
            std::string why = host.PrototypeCycle(cycle);
            if (why.empty() && cycle % 100 == 0) why = host.Frame(survivor, cycle);
            return why;
        },
        progress);
    if (const std::string why = host.Frame(survivor, 1); !why.empty())
        prototypes.problems.push_back("the instance that outlived the prototypes: " + why);
    if (!survivor.Destroy()) prototypes.problems.push_back("FF_DEINSTANTIATE_GL failed");
    report.phases.push_back(prototypes);
    return true;
}

}  // namespace tessivar
