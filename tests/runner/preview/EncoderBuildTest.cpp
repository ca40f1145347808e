// The picture the page gets, and the module builds the preview loads.
#include "runner/preview/FrameEncoder.h"
#include "runner/preview/ModuleBuild.h"
#include "tests/support/AbiHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace tessivar::preview {
namespace {

namespace fs = std::filesystem;

TEST(PreviewEncoder, FramesAreHalvedUntilTheyFit) {
    uint32_t w = 0, h = 0, factor = 0;
    ViewSize(kMaxViewSide, 720, w, h, factor);
    EXPECT_EQ(factor, 1u);
    ViewSize(kMaxViewSide + 1, 720, w, h, factor);
    EXPECT_EQ(factor, 2u);
    EXPECT_EQ(w, (kMaxViewSide + 1) / 2);
    ViewSize(1920, 4000, w, h, factor);
    EXPECT_EQ(factor, 4u);
    EXPECT_EQ(h, 1000u);
}

TEST(PreviewEncoder, TransparencyShowsTheCheckerboardAndBlocksAverageByCoverage) {
    Image frame(4 * kCheckerSquare, 2 * kCheckerSquare);  // all transparent black
    // One 2x2 block: a transparent pure green pixel must not tint it.
    const uint8_t red[4] = {255, 0, 0, 255}, clearGreen[4] = {0, 255, 0, 0};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) std::copy(red, red + 4, frame.At(x, y));
    std::copy(clearGreen, clearGreen + 4, frame.At(1, 1));
    const auto full = FlattenForView(frame, 1);
    EXPECT_EQ(full[(kCheckerSquare) * 3], 153);          // the dark square beside the first light one
    EXPECT_EQ(full[(2 * kCheckerSquare) * 3 + 1], 204);  // light again
    const auto half = FlattenForView(frame, 2);
    // Three red pixels of four over light grey: 3/4 red, 1/4 grey, no green.
    EXPECT_EQ(half[0], (3 * 255 + 204 + 2) / 4);
    EXPECT_EQ(half[1], (204 + 2) / 4);
    EXPECT_EQ(half[2], half[1]);
    Image deep(frame.width, frame.height, 16);  // a deep clip's frame shows as its 8-bit self
    for (size_t i = 0; i < frame.rgba.size(); ++i) deep.rgba16[i] = uint16_t(frame.rgba[i] * 257);
    EXPECT_EQ(FlattenForView(deep, 2), half);

    std::string jpeg, error;
    ASSERT_TRUE(EncodeJpeg(full, frame.width, frame.height, kJpegQuality, jpeg, error)) << error;
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xff\xd8");
}

class PreviewBuild : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("preview-build-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

// (A name past ASCII: the copy keeps it, where Windows names are wide.)
TEST_F(PreviewBuild, LoadsFromItsOwnCopyAndSpeaksOfTheOriginal) {
    const fs::path original = dir / fs::u8path("Fr\xc3\xa4me \xe2\x9c\x93.so");
    const std::string module = original.u8string();
    fs::copy_file(testhost::ModulePath("TESSIVAR_MODULE_FRAMETESTPLUGIN"), original);
    WorkFolder work;
    std::string error;
    auto first = ModuleBuild::Load(module, work.Path(), error);
    auto second = ModuleBuild::Load(module, work.Path(), error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(first->Info().path, module);
    EXPECT_NE(first->Library().Path(), second->Library().Path());
    // Two loads of one path would be one library; two copies are two.
    EXPECT_NE(first->Library().Symbol("plugMain"), second->Library().Symbol("plugMain"));
    const std::string copy = first->Library().Path();
    first.reset();
    EXPECT_FALSE(fs::exists(fs::u8path(copy)));

    std::ofstream(original, std::ios::trunc) << "not a module";
    EXPECT_FALSE(ModuleBuild::Load(module, work.Path(), error));
    EXPECT_EQ(error.find(work.Path()), std::string::npos) << error;
    EXPECT_EQ(error.rfind(module, 0), 0u) << error;
}

// A folder is a module only as a macOS bundle, X.bundle holding its code in
// Contents/MacOS/X: loading takes it, and the watcher watches that file. A
// folder laid out alike without the name is refused, and watched as itself.
TEST_F(PreviewBuild, ABundleIsLoadedAndWatchedByItsCodeAndNoOtherFolderIs) {
    for (const std::string name : {"Frame.bundle", "Frame"}) {
        SCOPED_TRACE(name);
        const fs::path folder = dir / name, code = folder / "Contents" / "MacOS" / "Frame";
        fs::create_directories(code.parent_path());
        fs::copy_file(testhost::ModulePath("TESSIVAR_MODULE_FRAMETESTPLUGIN"), code);
        const bool bundle = folder.extension() == ".bundle";
        EXPECT_EQ(ModuleBinary(folder.string()), bundle ? code.string() : folder.string());
        EXPECT_EQ(ModuleBinary(folder.string() + "/"), bundle ? code.string() : folder.string() + "/");
        WorkFolder work;
        std::string error;
        EXPECT_EQ(ModuleBuild::Load(folder.string(), work.Path(), error) != nullptr, bundle) << error;
    }
}

TEST_F(PreviewBuild, AChangeCountsOnceItHasSettled) {
    const fs::path file = dir / "m.so";
    std::ofstream(file) << "one";
    FileWatch watch(file.string());
    EXPECT_FALSE(watch.Settled());
    fs::remove(file);
    EXPECT_FALSE(watch.Settled());  // gone while being rebuilt
    EXPECT_FALSE(watch.Settled());
    std::ofstream(file) << "two!";
    EXPECT_FALSE(watch.Settled());  // new: wait for it to stay the same
    EXPECT_TRUE(watch.Settled());
    EXPECT_FALSE(watch.Settled());  // once per change
}

}  // namespace
}  // namespace tessivar::preview
