#include "host/FFGLThumbnail.h"

#include <cstring>
#include <utility>

namespace {
CFFGLThumbnailInfo* instance = nullptr;

bool Fits(uint32_t width, uint32_t height) {
    return uint64_t(width) * uint64_t(height) <= CFFGLThumbnailInfo::kMaxPixels;
}
}  // namespace

CFFGLThumbnailInfo::CFFGLThumbnailInfo(uint32_t w, uint32_t h, std::vector<CFFGLColor> colors) : width(w), height(h) {
    if (Fits(w, h)) {
        storage = std::move(colors);
        storage.resize(size_t(w) * size_t(h));
        pixels = storage.data();
    }
    instance = this;
}

CFFGLThumbnailInfo::CFFGLThumbnailInfo(uint32_t w, uint32_t h, const CFFGLColor* colors) : width(w), height(h) {
    if (Fits(w, h)) pixels = colors;
    instance = this;
}

CFFGLThumbnailInfo::~CFFGLThumbnailInfo() {
    if (instance == this) instance = nullptr;
}

CFFGLThumbnailInfo* CFFGLThumbnailInfo::GetInstance() { return instance; }

FFResult getThumbnail(GetThumbnailStruct& query) {
    const CFFGLThumbnailInfo* thumb = CFFGLThumbnailInfo::GetInstance();
    const size_t count = thumb ? size_t(thumb->GetWidth()) * thumb->GetHeight() : 0;
    if (!thumb || (count != 0 && !thumb->GetPixels())) {
        query.width = 0;
        query.height = 0;
        return FF_FAIL;
    }
    query.width = thumb->GetWidth();
    query.height = thumb->GetHeight();
    if (query.pixels && count != 0) std::memcpy(query.pixels, thumb->GetPixels(), count * sizeof(CFFGLColor));
    return FF_SUCCESS;
}
