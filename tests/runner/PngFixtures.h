// PNG files in layouts the runner's own writer never makes, for tests.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>

namespace testpng {

// Writes `pixels` (libpng simplified-API format, e.g. PNG_FORMAT_GRAY or
// PNG_FORMAT_LINEAR_RGB_ALPHA for 16 bits per channel). False on failure.
inline bool Write(const std::string& path, uint32_t format, const void* pixels, uint32_t w, uint32_t h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = format;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr) != 0;
}

}  // namespace testpng
