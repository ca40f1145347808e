// FrameEncoder -- rendered frames into pictures for the page, on a thread of
// their own so that encoding one frame overlaps rendering the next.
//
// A frame is laid over a checkerboard (so transparency shows: JPEG keeps no
// alpha), halved until it fits kMaxViewSide, and encoded as a JPEG with
// libjpeg-turbo. A frame still waiting when the next one arrives is dropped:
// the page wants the newest picture, and the rendering's frames/s, measured
// on the GL thread, is unaffected.
#pragma once

#include "runner/GLFrame.h"
#include "runner/preview/Hub.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tessivar::preview {

// The largest side of the picture sent to the page.
constexpr uint32_t kMaxViewSide = 1280;
constexpr int kJpegQuality = 85;
// The checkerboard's squares, in pixels of the picture sent.
constexpr uint32_t kCheckerSquare = 8;

// The size a width x height frame is sent at: halved until both sides fit.
void ViewSize(uint32_t width, uint32_t height, uint32_t& viewWidth, uint32_t& viewHeight, uint32_t& factor);
// Straight-alpha RGBA (8 or 16 bits) over the checkerboard, each `factor` x `factor` block
// averaged into one pixel: opaque RGB, top row first.
std::vector<uint8_t> FlattenForView(const Image& frame, uint32_t factor);
// RGB (width x height) as a JPEG; false with one line on failure.
bool EncodeJpeg(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height, int quality, std::string& out,
                std::string& error);

class FrameEncoder {
public:
    explicit FrameEncoder(Hub& hub);
    ~FrameEncoder();
    FrameEncoder(const FrameEncoder&) = delete;
    FrameEncoder& operator=(const FrameEncoder&) = delete;

    // Takes the frame (its picture moved in) to be encoded and published;
    // `meta` carries everything but the picture.
    void Submit(Image&& frame, const EncodedFrame& meta);

private:
    void Loop();

    Hub& hub;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::pair<Image, EncodedFrame>> pending;
    bool stopping = false;
    std::thread worker;
};

}  // namespace tessivar::preview
