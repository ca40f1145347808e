// The thumbnail's guards. The two-step fetch, the byte order and the padding
// are checked through plugMain in the ABI tests.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/FFGLThumbnail.h"

namespace {

GetThumbnailStruct Fetch(void* buffer, FFResult expected) {
    GetThumbnailStruct query{77, 77, static_cast<uint32_t*>(buffer)};
    EXPECT_EQ(getThumbnail(query), expected);
    return query;
}

TEST(Thumbnail, MoreColoursThanPixelsAreCutAndADestroyedOneIsNotServed) {
    const CFFGLThumbnailInfo first(1, 1, std::vector<CFFGLColor>{9u});
    {
        const CFFGLThumbnailInfo five(2, 2, std::vector<CFFGLColor>{1u, 2u, 3u, 4u, 5u});
        uint32_t guarded[5] = {0, 0, 0, 0, 0xEEEEEEEEu};
        Fetch(guarded, FF_SUCCESS);
        EXPECT_EQ(std::vector<uint32_t>(guarded, guarded + 5), (std::vector<uint32_t>{1, 2, 3, 4, 0xEEEEEEEEu}));
    }
    // The latest one registered went away; the earlier is not served either.
    const GetThumbnailStruct none = Fetch(nullptr, FF_FAIL);
    EXPECT_EQ(none.width | none.height, 0u);
}

TEST(Thumbnail, SizesWhoseByteCountOverflowsAreRefusedWhole) {
    // 65536 x 16384 pixels are 2^32 bytes: one more than 32 bits can count.
    const CFFGLColor one(1u);
    {
        const CFFGLThumbnailInfo huge(65536, 16384, std::vector<CFFGLColor>{one});
        EXPECT_EQ(huge.GetPixels(), nullptr);
        const GetThumbnailStruct refused = Fetch(nullptr, FF_FAIL);
        EXPECT_EQ(refused.width | refused.height, 0u);
    }
    {
        const CFFGLThumbnailInfo borrowed(0xFFFFFFFFu, 0xFFFFFFFFu, &one);
        Fetch(nullptr, FF_FAIL);
    }
    // The largest servable count still has a size to report.
    const CFFGLThumbnailInfo largest(0x3FFFFFFFu, 1, &one);
    EXPECT_EQ(Fetch(nullptr, FF_SUCCESS).width, 0x3FFFFFFFu);
}

}  // namespace
