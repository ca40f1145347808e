#include "runner/commands/render/Golden.h"

#include "runner/ImageIO.h"
#include "runner/platform/Paths.h"

#include <algorithm>
#include <cstdlib>

namespace tessivar {
namespace {

// The PNG text field a golden keeps its renderer in.
const char kRendererField[] = "Renderer";

std::string sizeText(uint32_t w, uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

ImageDiff CompareImages(const Image& actual, const Image& expected, int tolerance) {
    ImageDiff d;
    if (actual.width != expected.width || actual.height != expected.height) {
        d.sameSize = false;
        return d;
    }
    for (uint32_t y = 0; y < actual.height; ++y)
        for (uint32_t x = 0; x < actual.width; ++x) {
            const uint8_t *a = actual.At(x, y), *e = expected.At(x, y);
            int off = 0;
            for (int c = 0; c < 4; ++c) off = std::max(off, std::abs(int(a[c]) - int(e[c])));
            if (off > tolerance) ++d.differing;
            if (off > d.worst) {
                d.worst = off;
                d.worstX = x;
                d.worstY = y;
            }
        }
    return d;
}

Image DiffPicture(const Image& actual, const Image& expected, int tolerance) {
    Image out(expected.width, expected.height);
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x) {
            const uint8_t *a = actual.At(x, y), *e = expected.At(x, y);
            uint8_t* o = out.At(x, y);
            int off = 0;
            for (int c = 0; c < 4; ++c) off = std::max(off, std::abs(int(a[c]) - int(e[c])));
            if (off > tolerance) {
                o[0] = uint8_t(std::min(255, 128 + off));
                o[1] = o[2] = 0;
            } else {
                // Premultiplied luma, so transparent regions stay dark.
                const int grey = (e[0] * 77 + e[1] * 150 + e[2] * 29) * e[3] / (256 * 255);
                o[0] = o[1] = o[2] = uint8_t(grey / 3);
            }
            o[3] = 255;
        }
    return out;
}

std::string DiffPathFor(const std::string& output) {
    const size_t slash = LastSeparator(output);
    const size_t dot = output.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? output.substr(0, dot) : output) + ".diff.png";
}

GoldenCheck::~GoldenCheck() {
    for (const auto& s : staged) RemoveNamedFile(s.first);
}

bool GoldenCheck::Frame(int number, const Image& image, const std::string& golden, const std::string& diffPath,
                        std::string& error) {
    if (update) {
        const std::string staging = golden + ".updating";
        if (!WritePng(staging, image, error, {{kRendererField, renderer}})) return false;
        staged.emplace_back(staging, golden);
        return true;
    }
    if (KindOf(golden) == PathKind::Missing) {
        error = "golden " + golden + " not found (write it with --update-expected)";
        return false;
    }
    Image expected;
    PngText text;
    if (!ReadPng(golden, expected, error, &text)) return false;
    ++compared;
    int limit = tolerance;
    size_t allowed = 0;
    const std::string madeOn = text[kRendererField];
    if (!madeOn.empty() && madeOn != renderer) {
        limit = std::max(tolerance, kOtherRendererTolerance);
        allowed = size_t(expected.width) * expected.height * kOtherRendererPermille / 1000;
        if (note.empty())
            note = "golden " + golden + " was made on \"" + madeOn + "\", this is \"" + renderer +
                   "\": each channel within " + std::to_string(limit) + ", up to " + std::to_string(allowed) +
                   " pixels further off (" + std::to_string(kOtherRendererPermille) + " in 1000)";
    }
    const ImageDiff diff = CompareImages(image, expected, limit);
    if (diff.sameSize && diff.differing <= allowed) {
        RemoveNamedFile(diffPath);  // a diff picture from an earlier failing run would mislead
        return true;
    }
    Mismatch m{number,         golden,          "",    "",     diff, image.width, image.height,
               expected.width, expected.height, limit, allowed};
    if (diff.sameSize) {
        if (WritePng(diffPath, DiffPicture(image, expected, limit), m.diffError)) m.diffPath = diffPath;
    }
    mismatches.push_back(std::move(m));
    return true;
}

bool GoldenCheck::Finish(std::string& error) {
    if (update) {
        // (Onto the old goldens: the C library's rename refuses that on Windows.)
        std::string why;
        for (size_t i = 0; i < staged.size(); ++i)
            if (!MoveOnto(staged[i].first, staged[i].second, why)) {
                error = "cannot write golden " + staged[i].second + ": " + why;
                return false;  // the staged files left are removed on destruction
            }
        staged.clear();
        return true;
    }
    if (mismatches.empty()) return true;
    const Mismatch& m = mismatches.front();
    std::string line;
    if (mismatches.size() > 1)
        line = std::to_string(mismatches.size()) + " of " + std::to_string(compared) +
               " frames differ from their goldens; first ";
    line += "frame " + std::to_string(m.frame) + " differs from " + m.golden + ": ";
    if (!m.diff.sameSize) {
        error =
            line + "it is " + sizeText(m.width, m.height) + ", the golden " + sizeText(m.goldenWidth, m.goldenHeight);
        return false;
    }
    line += std::to_string(m.diff.differing) + " of " + std::to_string(size_t(m.width) * m.height) +
            " pixels off by more than " + std::to_string(m.tolerance) +
            (m.allowed ? " (" + std::to_string(m.allowed) + " may be: the golden was made on another renderer)" : "") +
            ", worst " + std::to_string(m.diff.worst) + " at (" + std::to_string(m.diff.worstX) + "," +
            std::to_string(m.diff.worstY) + "); ";
    line += m.diffPath.empty() ? "no diff picture (" + m.diffError + ")" : "diff picture " + m.diffPath;
    error = line;
    return false;
}

}  // namespace tessivar
