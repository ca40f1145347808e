#include "runner/preview/InputFeed.h"

#include "runner/ImageIO.h"
#include "runner/Patterns.h"
#include "runner/commands/CommandLine.h"

namespace tessivar::preview {

using cli::Failure;
using cli::UsageFailure;

void InputFeed::Open(const std::vector<std::string>& files, const std::vector<std::string>& patterns, uint32_t& width,
                     uint32_t& height, double rate) {
    fps = rate;
    for (const auto& path : files) {
        Image img;
        std::string error;
        if (IsPngName(path)) {
            if (!ReadPng(path, img, error)) throw Failure(error);
        } else {
            if (clip) throw UsageFailure("--input " + path + ": one video clip at a time (" + clipPath + " is one)");
            clip = ClipReader::Open(path, error);
            if (!clip || !NextClipFrame(error)) throw Failure(error.empty() ? path + ": no frame to read" : error);
            // A copy: the reader refills clipFrame's buffer in place, and a
            // moved-from picture keeps its size with no pixels behind it.
            img = clipFrame.picture;
            clipPath = path;
            clipSlot = pictures.size();
            if (clip->Format().frameRate.Known()) fps = clip->Format().frameRate.Value();
        }
        if (width == 0) width = img.width, height = img.height;
        pictures.push_back(std::move(img));
    }
    if (width == 0) width = 1280, height = 720;
    for (const auto& name : patterns) {
        Image img;
        std::string error;
        if (!MakePattern(name, width, height, img, error)) throw UsageFailure("--pattern " + name + ": " + error);
        pictures.push_back(std::move(img));
    }
}

double InputFeed::Duration() const { return clip ? clip->Duration() : 0.0; }

bool InputFeed::NextClipFrame(std::string& error) {
    if (!clip->Next(clipFrame, error)) return false;
    time = clipFrame.Seconds(clip->Format());
    return true;
}

bool InputFeed::NextClipPicture(std::string& error) {
    if (!NextClipFrame(error)) return false;
    std::swap(pictures[clipSlot], clipFrame.picture);
    return true;
}

InputFeed::Step InputFeed::Advance(bool loop, bool& rewound, std::string& error) {
    rewound = false;
    if (!clip) {
        ++frame;
        time = double(frame) / fps;
        return Step::Moved;
    }
    if (NextClipPicture(error)) {
        ++frame;
        return Step::Moved;
    }
    if (!error.empty()) return Step::Failed;
    if (!loop) return Step::AtEnd;
    rewound = true;
    return Rewind(error) ? Step::Moved : Step::Failed;
}

bool InputFeed::Rewind(std::string& error) {
    frame = 0;
    time = 0;
    if (!clip) return true;
    if (!clip->Seek(0, error)) return false;
    if (!NextClipPicture(error)) {
        if (error.empty()) error = clipPath + ": no frame to read after going back to its start";
        return false;
    }
    return true;
}

}  // namespace tessivar::preview
