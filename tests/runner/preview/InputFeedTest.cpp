// The preview's inputs: a clip's frames in turn with their times, at its end
// stopping or starting over, beside pictures that stay as they are.
#include "runner/preview/InputFeed.h"
#include "tests/runner/MediaFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessivar::preview {
namespace {

namespace fs = std::filesystem;

// Every picture has its pixels: the GL upload reads width * height of them.
void ExpectFilled(const Image& img) {
    const size_t have = img.bits == 16 ? img.rgba16.size() * 2 : img.rgba.size();
    EXPECT_EQ(have, img.RowBytes() * img.height) << img.width << "x" << img.height << " at " << img.bits << " bits";
}

TEST(PreviewInput, AClipPlaysWithItsTimesThenStopsOrStartsOverAndPatternsStay) {
    if (!MediaSupported()) GTEST_SKIP() << "this build has no media support";
    const fs::path dir = fs::temp_directory_path() /
                         ("preview-input-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    // Removed after the feeds below have closed their files (Windows deletes no open file).
    struct Cleanup {
        fs::path folder;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    } cleanup{dir};
    const std::string eight = (dir / "eight.mp4").string(), deep = (dir / "deep.mov").string();
    ASSERT_TRUE(mediatest::Ffmpeg("-f lavfi -i testsrc2=size=32x16:rate=25 -frames:v 3 -pix_fmt yuv420p " + eight));
    ASSERT_TRUE(mediatest::Ffmpeg(
        "-f lavfi -i testsrc2=size=32x16:rate=25 -frames:v 2 -c:v prores_ks -pix_fmt yuv422p10le " + deep));

    InputFeed feed;
    uint32_t w = 0, h = 0;
    feed.Open({eight}, {"grid"}, w, h, 60);
    EXPECT_EQ(w, 32u);
    EXPECT_EQ(h, 16u);
    EXPECT_DOUBLE_EQ(feed.FrameRate(), 25);  // the clip's, not the one set for patterns
    ASSERT_EQ(feed.Pictures().size(), 2u);
    const Image pattern = feed.Pictures()[1];
    bool rewound = false;
    std::string error;
    for (int i = 1; i < 3; ++i) {
        ASSERT_EQ(feed.Advance(false, rewound, error), InputFeed::Step::Moved) << error;
        EXPECT_NEAR(feed.Time(), i / 25.0, 1e-6);
        ExpectFilled(feed.Pictures()[0]);
    }
    EXPECT_EQ(feed.Advance(false, rewound, error), InputFeed::Step::AtEnd) << error;
    EXPECT_EQ(feed.Frame(), 2u);
    ASSERT_EQ(feed.Advance(true, rewound, error), InputFeed::Step::Moved) << error;
    EXPECT_TRUE(rewound);
    EXPECT_EQ(feed.Time(), 0);
    ExpectFilled(feed.Pictures()[0]);
    EXPECT_EQ(feed.Pictures()[1].rgba, pattern.rgba);

    InputFeed deeper;  // a deep clip plays at 16 bits
    w = h = 0;
    deeper.Open({deep}, {}, w, h, 60);
    EXPECT_EQ(deeper.Pictures()[0].bits, 16);
    ASSERT_EQ(deeper.Advance(false, rewound, error), InputFeed::Step::Moved) << error;
    ExpectFilled(deeper.Pictures()[0]);
}

}  // namespace
}  // namespace tessivar::preview
