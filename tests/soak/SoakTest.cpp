// Soak -- thousands of lifecycles through plugMain on one module, in one
// context, checking that nothing accumulates: not GL objects (counted exactly,
// before and after) and not heap beyond a small fixed allowance.
//
// CTest hands over the module (TESSIVAR_SOAK_MODULE) and the cycle count
// (TESSIVAR_SOAK_CYCLES): a short run in the everyday suite, the full count
// under the label "soak".
#include "tests/soak/GLCensus.h"
#include "tests/soak/SoakHost.h"
#include "tests/support/GLTest.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace soak {
namespace {

// Cycles run before the heap baseline is taken. The first ones allocate for
// good (first shader compile, the plugin's static buffers), and the driver's
// in-process shader cache keeps a little bookkeeping per program link until it
// settles, a few hundred links in; none of that is the plugin's.
constexpr uint32_t kWarmup = 500;
// Heap growth tolerated over the measured cycles. Past warm-up the driver's
// cache still creeps by some tens of bytes per link for some shaders; a
// plugin that keeps even one small allocation per cycle crosses this well
// before 10,000 cycles.
constexpr long kHeapAllowance = 256 * 1024;

uint32_t cycles() {
    const char* v = std::getenv("TESSIVAR_SOAK_CYCLES");
    const long n = v ? std::strtol(v, nullptr, 10) : 0;
    return n > 0 ? uint32_t(n) : 200;
}

std::string moduleName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Soak : public testhost::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        path = testhost::ModulePath("TESSIVAR_SOAK_MODULE");
        host = std::make_unique<SoakHost>(path);
        ASSERT_TRUE(host->Ok()) << path << ": " << host->Error();
    }
    void TearDown() override {
        host.reset();
        GLTest::TearDown();
    }

    void Report(const char* what, uint32_t n, const GLCensus& before, const GLCensus& after, long heapBefore,
                long heapAfter) const {
        std::printf("soak %s %s: %u cycles after %u warm-up; GL objects before [%s] after [%s]; heap after warm-up %ld, at end %ld "
                    "(growth %ld, allowance %ld)\n",
                    moduleName(path).c_str(), what, n, kWarmup, Describe(before).c_str(), Describe(after).c_str(), heapBefore,
                    heapAfter, heapAfter - heapBefore, kHeapAllowance);
    }
    static std::string Describe(const GLCensus& c) {
        std::string s;
        for (size_t k = 0; k < c.live.size(); ++k) s += (k ? " " : "") + std::to_string(c.live[k]);
        return s;
    }

    std::string path;
    std::unique_ptr<SoakHost> host;
};

TEST_F(Soak, InstanceLifecyclesLeaveNoGLObjectsAndNoHeap) {
    const uint32_t n = cycles();
    const GLCensus glBefore = GLCensus::Take();
    long heapBefore = 0;
    for (uint32_t cycle = 0; cycle < kWarmup + n; ++cycle) {
        if (cycle == kWarmup) heapBefore = long(HeapInUse());
        const std::string why = host->InstanceCycle(cycle);
        ASSERT_EQ(why, "") << "cycle " << cycle;
    }
    const long heapAfter = long(HeapInUse());
    const GLCensus glAfter = GLCensus::Take();
    Report("instances", n, glBefore, glAfter, heapBefore, heapAfter);
    EXPECT_EQ(glBefore.Diff(glAfter), "") << "GL objects left behind";
    EXPECT_LE(heapAfter - heapBefore, kHeapAllowance) << "heap grew over " << n << " cycles";
}

// The prototype comes and goes many times while an instance lives on: the
// instance must not lean on it, and each prototype must go without a trace.
TEST_F(Soak, PrototypeCyclesLeaveNoHeapAndSpareALiveInstance) {
    const uint32_t n = cycles();
    const uint64_t instance = host->Module().Instantiate(SoakHost::kWidth, SoakHost::kHeight);
    ASSERT_NE(instance, testhost::kFail);
    long heapBefore = 0;
    for (uint32_t cycle = 0; cycle < kWarmup + n; ++cycle) {
        if (cycle == kWarmup) heapBefore = long(HeapInUse());
        std::string why = host->PrototypeCycle(cycle);
        if (why.empty() && cycle % 100 == 0) why = host->Frame(instance, cycle);
        ASSERT_EQ(why, "") << "cycle " << cycle;
    }
    const long heapAfter = long(HeapInUse());
    EXPECT_EQ(host->Frame(instance, kWarmup + n), "");
    host->Module().Deinstantiate(instance);
    Report("prototypes", n, GLCensus{}, GLCensus{}, heapBefore, heapAfter);
    EXPECT_LE(heapAfter - heapBefore, kHeapAllowance) << "heap grew over " << n << " prototype cycles";
}

}  // namespace
}  // namespace soak
