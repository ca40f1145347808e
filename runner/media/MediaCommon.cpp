// The parts of the media layer that need no FFmpeg.
#include "runner/media/Media.h"

#include <algorithm>
#include <cctype>

namespace tessivar {

std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

bool IsPngName(const std::string& path) { return ExtensionOf(path) == "png"; }

VideoFormat MadeFormat(uint32_t width, uint32_t height, double fps, int bits) {
    VideoFormat f;
    f.width = width;
    f.height = height;
    f.frameRate = RatioOf(fps);
    f.timeBase = {f.frameRate.den, f.frameRate.num};
    ColourTags srgb;  // BT.709 primaries and curve, as video tags pictures from a computer
    srgb.primaries = srgb.transfer = ColourTags::kBt709;
    f.colour = ReadAs(srgb, true, width, height);
    f.bits = bits;
    return f;
}

const std::vector<std::string>& ClipExtensions() {
    static const std::vector<std::string> extensions = {"mov", "mkv", "webm", "mp4"};
    return extensions;
}

}  // namespace tessivar
