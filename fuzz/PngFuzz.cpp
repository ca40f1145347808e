// PngFuzz -- the PNG reader over files held in memory, as ffglrun reads an
// --input it was given. Whatever the bytes, the reader answers a picture
// within the size limit whose pixels fill it exactly, or a refusal of one
// line naming the file; the sanitizers watch the rest (memory, leaks).
#include "fuzz/Outcomes.h"
#include "runner/ImageIO.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kName = "fuzz.png";

[[noreturn]] void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "PNG fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessivar::Image image;
    std::string error;
    if (tessivar::ReadPngBytes(data, size, kName, image, error)) {
        const std::string shape = std::to_string(image.width) + "x" + std::to_string(image.height);
        if (image.width == 0 || image.height == 0 || image.width > tessivar::kMaxPictureSide ||
            image.height > tessivar::kMaxPictureSide)
            finding("a picture outside the size limit was read", shape);
        if (image.rgba.size() != size_t(image.width) * image.height * 4)
            finding("the pixels do not fill the picture", shape + ", " + std::to_string(image.rgba.size()) + " bytes");
        fuzzsupport::NoteOutcome(image.width == 1 || image.height == 1 ? "a line" : "a picture");
        return 0;
    }
    fuzzsupport::NoteOutcome(error);
    if (error.rfind(kName, 0) != 0 || error.find('\n') != std::string::npos)
        finding("a refusal that is not one line naming the file", error);
    return 0;
}
