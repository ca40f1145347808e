// FrameSinks -- where ffglrun render's frames go: one object per kind of
// output, chosen once from the plan, each told of every frame, then either
// finished or abandoned.
//
//     for each frame:  sink.Take(frame)       (on the GL thread, in order)
//     after the last:  sink.EndOfFrames()     (still inside the pipeline)
//     run went well:   sink.Finish(last)      (every stage has ended)
//     run failed or was interrupted:  sink.Abandon()   (nothing it began stays)
//
// The kinds: a raw stream on standard output, a picture sequence (one PNG a
// frame), the last picture (one PNG once the run is over), a video clip
// (encoded on a thread of its own) and the comparison with goldens.
//
// A frame's picture is read back from the GL only when a sink asks for it,
// and once: RenderedFrame keeps it for the next sink.
#pragma once

#include "runner/FrameHost.h"
#include "runner/commands/render/Golden.h"
#include "runner/commands/render/RenderPlan.h"
#include "runner/commands/render/StageStats.h"
#include "runner/media/Media.h"
#include "runner/media/Pipeline.h"
#include "runner/media/gpu/ClipConversions.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessivar::cli {

// A frame the module has just drawn into the host's target.
class RenderedFrame {
public:
    // `number` counts from 1; `pts` is in the output's time base.
    RenderedFrame(const FrameHost& from, int n, int64_t time) : host(&from), number(n), pts(time) {}
    int Number() const { return number; }
    int64_t Pts() const { return pts; }
    // The target's texture, for a GL pass that reads the frame itself.
    unsigned Texture() const { return host->Target().Texture(); }
    // The picture, read back on first use.
    const Image& Picture();
    // The picture, moved out; a later Picture() reads it back again.
    Image TakePicture();

private:
    const FrameHost* host;
    int number;
    int64_t pts;
    std::optional<Image> picture;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Before the first frame: a sink with a stage of its own starts it.
    virtual void Start(Pipeline&) {}
    virtual void Take(RenderedFrame& frame) = 0;
    // After the last frame, on the GL thread: hands on what is in flight.
    virtual void EndOfFrames() {}
    // Once every stage has ended well; `last` is the last frame rendered.
    virtual void Finish(RenderedFrame& last) = 0;
    virtual void Abandon() = 0;
};
using Sinks = std::vector<std::unique_ptr<FrameSink>>;

// Every frame as RGBA on `to`, 8 bits a channel.
std::unique_ptr<FrameSink> RawPipeSink(std::FILE* to);
// Frame n into name.For(n).
std::unique_ptr<FrameSink> PictureSequenceSink(const OutputName& name);
// The last frame into `path`.
std::unique_ptr<FrameSink> LastPictureSink(const std::string& path);
// Frames compared with the goldens `plan.expect` names (or written as them
// with --update-expected); a diff picture goes beside the output, or
// beside the golden without one. Notes and the update's line go to `notes`.
std::unique_ptr<FrameSink> GoldenSink(const RenderPlan& plan, const std::string& renderer, std::FILE* notes);

// The video --out. Frames go to the encoder's thread as RGBA, or packed
// into the encoder's pixels by a GL pass when the conversions do that; its
// stage adds what it spent to `stats`.
class ClipSink : public FrameSink {
public:
    ClipSink(std::string path, std::unique_ptr<ClipWriter> writer, gpu::ClipConversions& conversions,
             StageStats& stats);

    void Start(Pipeline& pipeline) override;
    void Take(RenderedFrame& frame) override;
    void EndOfFrames() override;
    void Finish(RenderedFrame& last) override;
    void Abandon() override;

private:
    // A frame on its way to the encoder: RGBA, or the encoder's own pixels.
    struct Outgoing {
        VideoFrame frame;
        gpu::PlanarPicture planes;
        bool packed = false;
    };
    void Encode();
    gpu::ClipConversions::Send SendPacked();

    std::string path;
    std::unique_ptr<ClipWriter> writer;
    gpu::ClipConversions& conversions;
    StageStats& stats;
    BoundedQueue<Outgoing>* encoding = nullptr;  // while the pipeline runs
    double encodeThreadSeconds = 0;              // as the stage ended
};

}  // namespace tessivar::cli
