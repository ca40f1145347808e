// Which side converts a clip's pixels, and where the breakdown puts the
// libraries' threads: decisions without GL.
#include "runner/commands/render/StageStats.h"
#include "runner/media/gpu/ClipConversions.h"

#include <gtest/gtest.h>

namespace {

using namespace tessivar::gpu;

TEST(ClipConversions, ModesAreThreeWordsAndAutoDecodesOnTheGlOnlyOnHardware) {
    ConvertMode mode = ConvertMode::Cpu;
    ASSERT_TRUE(ParseConvertMode("auto", mode));
    EXPECT_EQ(mode, ConvertMode::Auto);
    ASSERT_TRUE(ParseConvertMode("gl", mode));
    EXPECT_EQ(mode, ConvertMode::Gl);
    ASSERT_TRUE(ParseConvertMode("cpu", mode));
    EXPECT_EQ(mode, ConvertMode::Cpu);
    for (const char* wrong : {"", "GL", "gpu", "auto "}) EXPECT_FALSE(ParseConvertMode(wrong, mode)) << wrong;

    for (const char* software : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Google SwiftShader",
                                 "Apple Software Renderer", "GDI Generic", "Microsoft Basic Render Driver"})
        EXPECT_TRUE(IsSoftwareRenderer(software)) << software;
    for (const char* hardware : {"AMD Radeon Pro 5500M OpenGL Engine", "NVIDIA GeForce RTX 3060/PCIe/SSE2", "Apple M1",
                                 "Mesa Intel(R) UHD Graphics 620 (KBL GT2)"})
        EXPECT_FALSE(IsSoftwareRenderer(hardware)) << hardware;

    const auto onLlvmpipe = ChooseConversions(ConvertMode::Auto, "llvmpipe (LLVM 15.0.6, 256 bits)");
    EXPECT_FALSE(onLlvmpipe.planesIn);
    EXPECT_TRUE(onLlvmpipe.packOut);
    const auto onGpu = ChooseConversions(ConvertMode::Auto, "Apple M1");
    EXPECT_TRUE(onGpu.planesIn);
    EXPECT_TRUE(onGpu.packOut);
    EXPECT_TRUE(ChooseConversions(ConvertMode::Gl, "llvmpipe").planesIn);
    const auto cpu = ChooseConversions(ConvertMode::Cpu, "Apple M1");
    EXPECT_FALSE(cpu.planesIn || cpu.packOut);
}

TEST(StageStats, WorkerThreadsCountTowardTheStageWhoseNameTheyInherited) {
    tessivar::cli::StageStats stats;
    stats.AddWorkers({});
    EXPECT_FALSE(stats.workersCounted);
    stats.AddWorkers({{"ffglrun-decode", 1.0},
                      {"ffglrun-encode", 2.0},
                      {"ffglrun", 4.0},
                      {"llvmpipe-0", 8.0},
                      {"llvmpipe-1", 16.0},
                      {"ffglrun-decod", 32.0},  // not quite a stage's name
                      {"gmain", 64.0}});
    EXPECT_TRUE(stats.workersCounted);
    EXPECT_DOUBLE_EQ(stats.decode, 1.0);
    EXPECT_DOUBLE_EQ(stats.encode, 2.0);
    EXPECT_DOUBLE_EQ(stats.render, 28.0);
    EXPECT_DOUBLE_EQ(stats.other, 96.0);
    EXPECT_DOUBLE_EQ(stats.convertIn + stats.convertOut, 0.0);
}

}  // namespace
