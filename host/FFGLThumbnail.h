// FFGLThumbnail.h -- one small picture the host may show in its browser.
//
// A plugin that wants one keeps a static CFFGLThumbnailInfo; the most recently
// constructed one is served by FF_GET_THUMBNAIL. A host asks first with a null
// buffer to learn the size, then with a buffer of width * height * 4 bytes.
//
// The byte count travels as an unsigned 32-bit number, so a thumbnail must
// hold at most 1073741823 pixels. A larger one is refused as a whole (it is
// not stored, and FF_GET_THUMBNAIL answers FF_FAIL with size 0 x 0) rather
// than served as a short copy.
#pragma once

#include <cstdint>
#include <vector>

#include "host/FFGLABI.h"

// One pixel: a 32-bit value whose first constructor component is the most
// significant byte. In memory (little-endian) the bytes lie as c4 c3 c2 c1
// and reach the host that way.
class CFFGLColor {
public:
    CFFGLColor() = default;
    CFFGLColor(uint32_t packed) : value(packed) {}  // implicit: lists of packed values read naturally
    CFFGLColor(uint8_t c1, uint8_t c2, uint8_t c3, uint8_t c4)
        : value((uint32_t(c1) << 24) | (uint32_t(c2) << 16) | (uint32_t(c3) << 8) | uint32_t(c4)) {}
    uint32_t GetValue() const { return value; }

private:
    uint32_t value = 0;
};
static_assert(sizeof(CFFGLColor) == 4, "a thumbnail pixel is exactly four bytes");

class CFFGLThumbnailInfo {
public:
    // Takes the pixels over, padded with 0 or cut to exactly width * height.
    CFFGLThumbnailInfo(uint32_t width, uint32_t height, std::vector<CFFGLColor> pixels);
    // Points at the caller's width * height pixels without copying; the array
    // must outlive the record.
    CFFGLThumbnailInfo(uint32_t width, uint32_t height, const CFFGLColor* pixels);
    // A thumbnail that goes away is no longer served.
    ~CFFGLThumbnailInfo();
    CFFGLThumbnailInfo(const CFFGLThumbnailInfo&) = delete;
    CFFGLThumbnailInfo& operator=(const CFFGLThumbnailInfo&) = delete;

    // The registered thumbnail, or null.
    static CFFGLThumbnailInfo* GetInstance();
    uint32_t GetWidth() const { return width; }
    uint32_t GetHeight() const { return height; }
    // Null for a refused (too large) thumbnail.
    const CFFGLColor* GetPixels() const { return pixels; }

    // Largest pixel count whose byte count fits in 32 bits.
    static constexpr uint64_t kMaxPixels = 0xFFFFFFFFull / 4;

private:
    uint32_t width;
    uint32_t height;
    std::vector<CFFGLColor> storage;
    const CFFGLColor* pixels = nullptr;
};

// The work of FF_GET_THUMBNAIL: writes the size, and the pixels when the
// record's buffer pointer is set. FF_FAIL with size 0 x 0 when no (servable)
// thumbnail is registered.
FFGL_OPERATION FFResult getThumbnail(GetThumbnailStruct& query);
