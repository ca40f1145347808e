// ClipConversions -- which side converts a clip's pixels in a render run,
// and the GL side of it.
//
// Decoded planes become the plugin's input either through swscale on the
// decoding thread (RGBA uploaded as it is) or as uploaded planes a GL pass
// converts (PlanesToRgba); the plugin's output becomes the encoder's pixels
// either through swscale on the encoding thread (RGBA read back) or in a GL
// pass that packs the planes and reads them back a frame later through
// pixel buffers (RgbaToPlanes), composited over black for an encoder
// without alpha.
//
// Chosen once, when the GL context exists:
//   gl    both on the GL wherever a pass takes the pixels exactly;
//   cpu   both through swscale;
//   auto  packing on the GL (even a software renderer packs for less than
//         swscale's accurate conversion, and reads back fewer bytes);
//         decoded planes on the GL only on a hardware renderer (a software
//         one takes far longer over them than swscale does).
// Pixels no pass takes exactly (a matrix it lacks, chroma over more than
// two rows when packing) stay with swscale whatever the choice.
//
//     ClipConversions conversions;
//     conversions.Start(ConvertMode::Auto, gl.Renderer(), reader, writer, w, h, error);
//     // each frame, on the GL thread:
//     conversions.Upload(decoded, inputTexture, error);     // when decoded.planar
//     conversions.Pack(outputTexture, pts, send, error);      // when PacksOutput()
//     conversions.Drain(send, error);                         // after the last frame
//
// Runs on the GL thread; keeps the time it spent for the stage breakdown.
#pragma once

#include "runner/media/Media.h"
#include "runner/media/Pipeline.h"
#include "runner/media/gpu/PlanesToRgba.h"
#include "runner/media/gpu/RgbaToPlanes.h"

#include <deque>
#include <functional>
#include <string>

namespace tessivar::gpu {

enum class ConvertMode { Auto, Gl, Cpu };
// "auto", "gl", "cpu"; false for anything else.
bool ParseConvertMode(const std::string& text, ConvertMode& mode);
// Whether a GL_RENDERER string names a renderer that runs on the CPU.
bool IsSoftwareRenderer(const std::string& renderer);

struct ConvertChoice {
    bool planesIn = false;  // decoded planes converted on the GL
    bool packOut = false;   // the encoder's pixels packed on the GL
};
ConvertChoice ChooseConversions(ConvertMode mode, const std::string& renderer);

class ClipConversions {
public:
    using Send = std::function<void(PlanarPicture&&)>;

    // Either side may be null. Sets the reader to hand out planes when they
    // are to be converted here.
    bool Start(ConvertMode mode, const std::string& renderer, ClipReader* reader, ClipWriter* writer, int width,
               int height, std::string& error);
    bool PacksOutput() const { return packing; }

    // A decoded frame's planes into `texture`, the plugin's input.
    bool Upload(const VideoFrame& frame, unsigned texture, std::string& error);
    // Packs the rendered picture in `texture` and reads it back; a frame
    // packed earlier goes to `send` once the read-back ring is full.
    bool Pack(unsigned texture, int64_t pts, const Send& send, std::string& error);
    // The frames still being read back, oldest first.
    bool Drain(const Send& send, std::string& error);
    // A sent picture's memory, for a later frame (from any thread).
    void GiveBack(PlanarPicture&& picture) { spares.Give(std::move(picture)); }

    // "gl (yuv420p bt709 limited)" or "swscale", for the report.
    const std::string& InPath() const { return inPath; }
    const std::string& OutPath() const { return outPath; }
    // Thread CPU seconds spent here, each way.
    double InSeconds() const { return inSeconds; }
    double OutSeconds() const { return outSeconds; }

private:
    bool CollectOldest(const Send& send, std::string& error);

    PlanesToRgba toRgba;
    RgbaToPlanes toPlanes;
    bool packing = false;
    PixelLayout packed;
    int width = 0, height = 0;
    std::deque<int64_t> times;  // of the frames being read back, oldest first
    Recycler<PlanarPicture> spares{4};
    std::string inPath = "swscale", outPath = "swscale";
    double inSeconds = 0, outSeconds = 0;
};

}  // namespace tessivar::gpu
