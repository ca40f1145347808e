// InputFeed -- the preview's inputs and their clock: PNG pictures, patterns
// and at most one clip, with the host time that goes with each frame.
//
// A clip's frames replace its input one after another at the clip's rate and
// its timestamps are the host time; at the end it starts again (looping) or
// stays on its last frame. Pictures and patterns stay as they are while the
// host time moves on at the set rate.
#pragma once

#include "runner/GLFrame.h"
#include "runner/media/Media.h"

#include <memory>
#include <string>
#include <vector>

namespace tessivar::preview {

class InputFeed {
public:
    // PNG files and a clip (in the order given), then patterns made at
    // `width` x `height`; a zero size becomes the first input's (or 1280x720).
    // Throws cli::Failure or cli::UsageFailure with one line.
    void Open(const std::vector<std::string>& files, const std::vector<std::string>& patterns, uint32_t& width,
              uint32_t& height, double fps);

    std::vector<Image>& Pictures() { return pictures; }
    bool HasClip() const { return clip != nullptr; }
    size_t ClipSlot() const { return clipSlot; }
    const std::string& ClipPath() const { return clipPath; }
    double FrameRate() const { return fps; }
    double Time() const { return time; }
    uint64_t Frame() const { return frame; }
    double Duration() const;

    enum class Step { Moved, AtEnd, Failed };
    // The next frame's picture and time. At a clip's end: from its start
    // again when `loop`, else AtEnd and nothing moves. `rewound` tells that
    // time went back (audio must follow).
    Step Advance(bool loop, bool& rewound, std::string& error);
    // Back to the first frame.
    bool Rewind(std::string& error);

private:
    bool NextClipFrame(std::string& error);    // into clipFrame, and its time
    bool NextClipPicture(std::string& error);  // into the clip's input

    std::vector<Image> pictures;
    std::unique_ptr<ClipReader> clip;
    VideoFrame clipFrame;
    std::string clipPath;
    size_t clipSlot = 0;
    double fps = 30;
    double time = 0;
    uint64_t frame = 0;
};

}  // namespace tessivar::preview
