// The media layer where memory runs out: FFmpeg's allocator is capped ever
// lower, and opening, reading and writing a clip with its audio either works
// or fails with one line naming the file, never with a crash.
#include "runner/media/Media.h"
#include "tests/runner/MediaFixtures.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using namespace tessivar;

// Caps from below the smallest object FFmpeg allocates to above a frame's planes.
const size_t kCaps[] = {16, 128, 512, 1024, 2048, 4096, 16384, 65536, 262144};

TEST(MediaMemory, EveryRefusedAllocationIsOneLineNamingTheFile) {
    const std::string dir = ::testing::TempDir(), clip = dir + "memory-in.mkv", wav = dir + "memory-in.wav",
                      out = dir + "memory-out.mp4";
    mediatest::WriteToneWav(wav, 8000, 0.3, 440, 0.0);
    ASSERT_TRUE(mediatest::Ffmpeg("-f lavfi -i testsrc2=size=16x12:rate=10 -frames:v 3 -c:v ffv1 " + clip));
    int failed = 0;
    for (const size_t cap : kCaps) {
        SCOPED_TRACE(cap);
        std::string error, why;
        av_max_alloc(cap);
        {
            auto reader = ClipReader::Open(clip, error);
            VideoFrame frame;
            const bool read = reader && reader->Next(frame, error);
            auto sound = AudioSpectrum::Open(wav, why);
            std::vector<float> bins;
            const bool heard = sound && sound->Bins(0.1, 64, bins, why);
            // .mp4 takes no PCM: the audio is re-encoded, every step of it allocating.
            auto writer = ClipWriter::Open(out, MadeFormat(16, 12, 10), {wav, 0.0}, error);
            if (read && writer) writer->Write(frame, error) && writer->Finish(error);
            failed += !read || !heard || !writer;
        }
        av_max_alloc(INT_MAX);
        for (const std::string& line : {error, why}) {
            if (line.empty()) continue;
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
            EXPECT_TRUE(line.find(clip) != std::string::npos || line.find(wav) != std::string::npos ||
                        line.find(out) != std::string::npos)
                << line;
        }
    }
    EXPECT_GT(failed, 0) << "no cap was low enough to refuse anything";
}

}  // namespace
