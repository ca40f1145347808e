#include "effect/AlphaBounds.h"

#include <algorithm>

namespace tessivar {

bool FindOpaqueBox(const uint8_t* rgba, int width, int height, int threshold, OpaqueBox& box) {
    int minX = width, maxX = -1, minY = height, maxY = -1;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgba + size_t(y) * size_t(width) * 4;
        int first = 0;
        while (first < width && row[first * 4] <= threshold) ++first;
        if (first == width) continue;
        int last = width - 1;
        while (row[last * 4] <= threshold) --last;  // stops at `first` at the latest
        minX = std::min(minX, first);
        maxX = std::max(maxX, last);
        if (minY == height) minY = y;
        maxY = y;
    }
    if (maxX < 0) return false;
    box = {minX, minY, maxX, maxY};
    return true;
}

NormRect BoxRect(const OpaqueBox& box, int width, int height) {
    const float w = float(width), h = float(height);
    return {float(box.minX) / w, 1.0f - float(box.maxY + 1) / h, float(box.maxX + 1) / w, 1.0f - float(box.minY) / h};
}

NormRect AspectRect(double aspect, double outputAspect) {
    if (aspect > outputAspect) {
        const float m = (1.0f - float(outputAspect / aspect)) * 0.5f;
        return {0.0f, m, 1.0f, 1.0f - m};
    }
    if (aspect < outputAspect) {
        const float m = (1.0f - float(aspect / outputAspect)) * 0.5f;
        return {m, 0.0f, 1.0f - m, 1.0f};
    }
    return {0.0f, 0.0f, 1.0f, 1.0f};
}

}  // namespace tessivar
