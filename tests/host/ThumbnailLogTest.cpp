// The thumbnail as the host fetches it, and messages to the host's log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/FFGLLog.h"
#include "host/FFGLThumbnail.h"

namespace {

struct Fetch {
    FFResult result;
    GetThumbnailStruct query;
};

Fetch FetchInto(void* buffer, uint32_t presetWidth = 77, uint32_t presetHeight = 77) {
    Fetch f{};
    f.query.width = presetWidth;
    f.query.height = presetHeight;
    f.query.pixels = static_cast<uint32_t*>(buffer);
    f.result = getThumbnail(f.query);
    return f;
}

TEST(Color, FirstComponentIsTheMostSignificantByte) {
    const CFFGLColor c(0x11, 0x22, 0x33, 0x44);
    EXPECT_EQ(c.GetValue(), 0x11223344u);
    unsigned char bytes[4];
    std::memcpy(bytes, &c, 4);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[3], 0x11);
    EXPECT_EQ(CFFGLColor().GetValue(), 0u);
}

TEST(Thumbnail, NoneRegisteredAnswersFailWithZeroSize) {
    ASSERT_EQ(CFFGLThumbnailInfo::GetInstance(), nullptr);
    uint32_t buffer[4] = {7, 7, 7, 7};
    for (void* b : {static_cast<void*>(nullptr), static_cast<void*>(buffer)}) {
        const Fetch f = FetchInto(b);
        EXPECT_EQ(f.result, FF_FAIL);
        EXPECT_EQ(f.query.width, 0u);
        EXPECT_EQ(f.query.height, 0u);
    }
    EXPECT_EQ(buffer[0], 7u);
}

TEST(Thumbnail, PixelsArePaddedOrCutToTheSize) {
    uint32_t served[4];
    {
        const CFFGLThumbnailInfo three(2, 2, std::vector<CFFGLColor>{1u, 2u, 3u});
        std::memset(served, 0xAB, sizeof served);
        ASSERT_EQ(FetchInto(served).result, FF_SUCCESS);
        EXPECT_EQ(std::vector<uint32_t>(served, served + 4), (std::vector<uint32_t>{1, 2, 3, 0}));
    }
    {
        const CFFGLThumbnailInfo five(2, 2, std::vector<CFFGLColor>{1u, 2u, 3u, 4u, 5u});
        uint32_t guarded[5] = {0, 0, 0, 0, 0xEEEEEEEEu};
        ASSERT_EQ(FetchInto(guarded).result, FF_SUCCESS);
        EXPECT_EQ(std::vector<uint32_t>(guarded, guarded + 5), (std::vector<uint32_t>{1, 2, 3, 4, 0xEEEEEEEEu}));
    }
}

TEST(Thumbnail, NullBufferAsksForTheSizeOnly) {
    const CFFGLColor pixels[6] = {1u, 2u, 3u, 4u, 5u, 6u};
    const CFFGLThumbnailInfo thumb(3, 2, pixels);
    EXPECT_EQ(thumb.GetPixels(), pixels);  // borrowed, not copied
    const Fetch f = FetchInto(nullptr);
    EXPECT_EQ(f.result, FF_SUCCESS);
    EXPECT_EQ(f.query.width, 3u);
    EXPECT_EQ(f.query.height, 2u);
}

TEST(Thumbnail, LatestConstructedIsServedAndADestroyedOneIsNot) {
    const CFFGLThumbnailInfo first(1, 1, std::vector<CFFGLColor>{0x01u});
    {
        const CFFGLThumbnailInfo second(1, 1, std::vector<CFFGLColor>{0x02u});
        EXPECT_EQ(CFFGLThumbnailInfo::GetInstance(), &second);
        uint32_t pixel = 0;
        FetchInto(&pixel);
        EXPECT_EQ(pixel, 2u);
    }
    EXPECT_EQ(CFFGLThumbnailInfo::GetInstance(), nullptr);
    EXPECT_EQ(FetchInto(nullptr).result, FF_FAIL);
}

TEST(Thumbnail, SizesWhoseByteCountOverflowsAreRefusedWhole) {
    // 65536 x 16384 pixels are 2^32 bytes: one more than 32 bits can count.
    const CFFGLColor one(1u);
    {
        const CFFGLThumbnailInfo huge(65536, 16384, std::vector<CFFGLColor>{one});
        EXPECT_EQ(huge.GetPixels(), nullptr);
        const Fetch f = FetchInto(nullptr);
        EXPECT_EQ(f.result, FF_FAIL);
        EXPECT_EQ(f.query.width, 0u);
        EXPECT_EQ(f.query.height, 0u);
    }
    {
        const CFFGLThumbnailInfo borrowed(0xFFFFFFFFu, 0xFFFFFFFFu, &one);
        EXPECT_EQ(FetchInto(nullptr).result, FF_FAIL);
    }
    // The largest servable count still has a size to report.
    const CFFGLThumbnailInfo largest(0x3FFFFFFFu, 1, &one);
    const Fetch f = FetchInto(nullptr);
    EXPECT_EQ(f.result, FF_SUCCESS);
    EXPECT_EQ(f.query.width, 0x3FFFFFFFu);
}

std::vector<const char*> s_received;
void Receive(const char* message) { s_received.push_back(message); }

TEST(HostLog, MessagesReachTheCallbackUnchangedOnlyOnceOneIsSet) {
    s_received.clear();
    FFGLLog::SetLogCallback(nullptr);
    FFGLLog::LogToHost("dropped");
    EXPECT_TRUE(s_received.empty());

    FFGLLog::SetLogCallback(Receive);
    const char* message = "hello host";
    FFGLLog::LogToHost(message);
    FFGLLog::LogToHost(nullptr);
    ASSERT_EQ(s_received.size(), 1u);
    EXPECT_EQ(s_received[0], message);  // the very same pointer

    FFGLLog::SetLogCallback(nullptr);
    FFGLLog::LogToHost(message);
    EXPECT_EQ(s_received.size(), 1u);
}

}  // namespace
