// RenderInputs -- ffglrun render's inputs: PNGs and patterns made once, a
// clip decoded frame by frame on a thread of its own, or raw RGBA frames
// from standard input.
//
//     RenderInputs in;
//     in.Open(plan, size);                 // every input; fails with one line
//     in.ReadFirstRaw();                   // with --raw-in, once the streams are set
//     in.Start(pipeline);                  // the decoding stage, for a clip
//     while (in.Advance(host, conversions)) ...   // the next frame into the host
//
// A clip's frames keep their times: Time and Pts answer them for the frame
// in the host; frames the run makes are numbered at the frame rate.
#pragma once

#include "runner/FrameHost.h"
#include "runner/commands/render/RenderPlan.h"
#include "runner/commands/render/StageStats.h"
#include "runner/media/Media.h"
#include "runner/media/Pipeline.h"
#include "runner/media/gpu/ClipConversions.h"

#include <memory>
#include <string>
#include <vector>

namespace tessivar::cli {

// Thrown where an interruption is noticed (between frames, or in a read it
// cut short); the run ends there and says so in its one line.
struct Interruption {};

class RenderInputs {
public:
    // Opens every input, in the order given: PNGs and a clip first, then
    // patterns at `size` (the first input's size, or 1280x720, when unset).
    void Open(const RenderPlan& plan, Size& size);
    // With --raw-in: the first frame, before the instance sees the input.
    void ReadFirstRaw();

    const std::vector<Image>& Pictures() const { return pictures; }
    ClipReader* Clip() const { return clip.get(); }
    const std::string& ClipPath() const { return clipPath; }
    // A clip's own frame rate, else --fps.
    double FrameRate() const { return fps; }
    // The host time of frame `index` (from 0), and its time in the output's
    // time base: a clip's, from --start; otherwise the frame's number.
    double Time(int index) const;
    int64_t Pts(int index) const;
    // --start in the clip's time base.
    int64_t StartPts() const;

    // Starts decoding a clip's frames after the first.
    void Start(Pipeline& pipeline);
    // The next frame of a stream or clip into the host; false at its end.
    bool Advance(FrameHost& host, gpu::ClipConversions& conversions);
    // The run wants no more frames: those decoded past it go unused.
    void StopReading();
    // What decoding and converting took, once the stages have ended.
    void AddStats(StageStats& stats) const;
    // One note line naming the damaged packets a clip skipped, if any.
    void NoteDamage() const;

private:
    // A decoded frame, or why the clip could not go on: the failure waits
    // its turn in the queue, so frames past --frames never fail a run.
    struct Decoded {
        VideoFrame frame;
        std::string error;
    };
    void OpenClip(const std::string& path);
    bool ReadRaw();
    void Decode();

    const RenderPlan* plan = nullptr;
    std::vector<Image> pictures;
    double fps = 30;
    int rawFramesRead = 0;
    std::string clipPath;
    std::unique_ptr<ClipReader> clip;
    size_t clipSlot = 0;
    VideoFrame clipFrame;                          // the one in the host
    BoundedQueue<Decoded>* decoded = nullptr;      // while the pipeline runs
    Recycler<VideoFrame> spares{kQueueDepth + 2};  // the decoder's frames, back from the GL thread
    double decodeThreadSeconds = 0;                // as the stage ended
    double decodeConvertSeconds = 0;               // of that, converting
};

}  // namespace tessivar::cli
