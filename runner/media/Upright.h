// Upright -- turns decoded pictures as their display matrix says, the way
// players show them, through libavfilter's transpose, flip and rotate filters.
// Only runner/media/ includes it.
#pragma once

#include "runner/media/LibAv.h"

#include <string>

struct AVFilterContext;

namespace tessivar::libav {

// Degrees clockwise a stream's pictures are turned to be shown, 0 <= d < 360.
int DisplayRotation(const AVStream* st);

class Upright {
public:
    Upright() = default;
    Upright(const Upright&) = delete;
    Upright& operator=(const Upright&) = delete;

    // For pictures of `dec` turned by `degrees`; 0 turns nothing.
    bool Init(const AVCodecContext* dec, AVRational timeBase, AVRational sampleAspect, int degrees, std::string& error);
    // The picture as shown; `in` itself when nothing turns. Owned by this
    // object until the next call.
    AVFrame* Turn(AVFrame* in, std::string& error);
    int Width() const { return width; }
    int Height() const { return height; }
    AVRational SampleAspect() const { return aspect; }

private:
    FilterGraphPtr graph;
    AVFilterContext* source = nullptr;  // the graph's: freed with it
    AVFilterContext* sink = nullptr;
    FramePtr turned;
    int width = 0, height = 0;
    AVRational aspect{1, 1};
};

}  // namespace tessivar::libav
