// ffglrun against the Tessivar module, end to end: the auto-fit seen through
// --events. The warp itself is checked pixel by pixel through the ABI host.
#include "tests/runner/CliRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

using clitest::Cli;

class TessivarCli : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        const char* path = std::getenv("TESSIVAR_MODULE_TESSIVAR");
        module = path ? path : "";
        if (module.empty()) GTEST_SKIP() << "the Tessivar module is not part of this build";
    }
    std::string module;
};

TEST_F(TessivarCli, EventsShowTheAutoFitToTheOpaquePicture) {
    // 320x180 with a centred 240x180 picture: bars of 40 pixels, an eighth.
    const auto r = Run({"render", module, "--pattern", "alpha-bars", "--size", "320x180", "--frames", "2",
                        "--events", "--out", dir + "fit.png"});
    ASSERT_EQ(r.code, 0) << r.err;
    const float fitted[8] = {0.125f, 0, 0.875f, 0, 0.875f, 1, 0.125f, 1};
    std::string all;
    for (int i = 0; i < 8; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "frame 1: event Point %d %c (%d) flags 0x2 -> %f\n", i / 2 + 1,
                      i % 2 ? 'Y' : 'X', i, double(fitted[i]));
        all += line;
    }
    EXPECT_EQ(r.out, all);  // and nothing in frame 2: the fit is done
}

}  // namespace
