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

const std::vector<std::string>& ClipExtensions() {
    static const std::vector<std::string> extensions = {"mov", "mkv", "webm", "mp4"};
    return extensions;
}

}  // namespace tessivar
