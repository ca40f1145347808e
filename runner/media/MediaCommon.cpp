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

namespace {

const std::vector<ClipRecipe>& clipRecipes() {
    static const std::vector<ClipRecipe> list = {
        {"mov", "mov", {"prores_ks"}, {"yuva444p10le"}, false},
        {"mkv", "matroska", {"ffv1"}, {"bgra", "gbrap16le"}, true},
        {"webm", "webm", {"libvpx-vp9"}, {"yuva420p", "yuv420p10le", "yuv420p12le"}, true},
        {"mp4", "mp4", {"libx264", "mpeg4"}, {"yuv420p", "yuv420p10le"}, true},
    };
    return list;
}

}  // namespace

const ClipRecipe* ClipRecipeFor(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    for (const ClipRecipe& r : clipRecipes())
        if (ext == r.extension) return &r;
    return nullptr;
}

std::string ClipExtensionList() {
    std::string list;
    for (const ClipRecipe& r : clipRecipes()) list += (list.empty() ? "." : ", .") + std::string(r.extension);
    return list;
}

std::string UnknownOutputExtension(const std::string& path) {
    std::string list = ".png";
    const auto& recipes = clipRecipes();
    for (size_t i = 0; i < recipes.size(); ++i)
        list += (i + 1 < recipes.size() ? ", ." : " or .") + std::string(recipes[i].extension);
    return path + ": unknown output extension; ffglrun writes " + list;
}

}  // namespace tessivar
