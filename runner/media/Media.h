// Media -- video files and their audio for the runner, through FFmpeg's
// libraries: a clip as a source of upright RGBA frames with their times, a
// clip as a sink for them, and the audio spectrum around a moment for FFT
// parameters.
//
//     auto clip = ClipReader::Open("in.mp4", error);
//     auto out = ClipWriter::Open("out.mov", clip->Format(), {"in.mp4", 0.0}, error);
//     VideoFrame frame;
//     while (clip->Next(frame, error)) { ...render...; out->Write(result, error); }
//     out->Finish(error);   // renamed into place only now
//
// What a clip is (its size as shown, time base, pixel shape, colour, depth)
// travels as a VideoFormat from the reader to the writer; each frame carries
// its own timestamp. The colour and depth decisions are ColourPlan's.
//
// A writer works on a temporary file beside its target and removes it unless
// Finish succeeds, so a failed or interrupted run leaves nothing behind.
//
// A build without FFmpeg (MediaSupported() false) keeps the same interface;
// every Open then fails with one line saying so.
//
// Every failure answers false (or null) and one line naming the file.
#pragma once

#include "runner/GLFrame.h"
#include "runner/media/ColourPlan.h"
#include "runner/media/gpu/PixelLayout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessivar {

bool MediaSupported();

// Whether a file name asks for a PNG (by its extension, any case).
bool IsPngName(const std::string& path);
// The extension of `path`, lower case, without the dot.
std::string ExtensionOf(const std::string& path);

// How ClipWriter writes a video, by the output's extension.
struct ClipRecipe {
    const char* extension;
    const char* muxer;
    std::vector<const char*> encoders;  // the first one this FFmpeg has
    std::vector<const char*> pixels;    // FFmpeg's names; those the encoder offers are candidates
    bool fullRange;                     // the format can say its YUV is full range
};
// The recipe for `path`'s extension (any case); null for one ffglrun does
// not write as a video.
const ClipRecipe* ClipRecipeFor(const std::string& path);
// ".mov, .mkv, .webm, .mp4": the video extensions, for help and messages.
std::string ClipExtensionList();
// The one line refusing an --out whose extension is neither a PNG's nor a
// video's.
std::string UnknownOutputExtension(const std::string& path);

// A fraction, as FFmpeg keeps times and shapes; a zero numerator is unknown.
struct Ratio {
    int num = 0;
    int den = 1;
    bool Known() const { return num > 0 && den > 0; }
    double Value() const { return Known() ? double(num) / den : 0.0; }
};
// The fraction closest to `value` with terms up to 100000 (29.97 -> 2997/100).
Ratio RatioOf(double value);

// What a clip's pictures are.
struct VideoFormat {
    uint32_t width = 0, height = 0;  // as shown: the display matrix applied
    Ratio timeBase;                  // the unit of VideoFrame::pts
    Ratio frameRate;                 // average frames per second; unknown for some
    Ratio sampleAspect{1, 1};        // a pixel's width over its height
    ColourTags colour;               // as read (see ReadAs), never unspecified
    int bits = 8;                    // per channel, of the stored pictures
    int rotation = 0;                // degrees the pictures were turned to stand upright
};

// A constant-rate format for frames made by the run itself (patterns,
// pictures, raw streams): `fps` a second, square pixels, RGB as PNGs are.
VideoFormat MadeFormat(uint32_t width, uint32_t height, double fps, int bits = 8);

struct VideoFrame {
    Image picture;    // RGBA, top row first, 8 or 16 bits a channel (Image::bits)
    int64_t pts = 0;  // in the format's time base, from the clip's start
    // From a reader asked for planes (ClipReader::PreferPlanes), a picture a
    // GL pass can convert comes as decoded instead, upright, and `picture`
    // is left as it was: `planar` says which.
    bool planar = false;
    gpu::PixelLayout layout;
    gpu::PlanarPicture planes;
    double Seconds(const VideoFormat& f) const { return double(pts) * f.timeBase.num / f.timeBase.den; }
};

class ClipReader {
public:
    static std::unique_ptr<ClipReader> Open(const std::string& path, std::string& error);
    // The same from a file held in memory (it must outlive the reader);
    // `name` stands for it in messages.
    static std::unique_ptr<ClipReader> Open(const uint8_t* data, size_t size, const std::string& name,
                                            std::string& error);
    ~ClipReader();

    // Pictures are handed out at WorkingBits(Format().bits).
    const VideoFormat& Format() const;
    double Duration() const;  // seconds; 0 when unknown
    bool HasAudio() const;

    // Skips to `seconds`: the next frame is the first one shown at or after it.
    bool Seek(double seconds, std::string& error);
    // The next frame, upright, as RGBA. False at the end of the clip, with
    // `error` set when it was a failure. Damaged packets are skipped on the
    // way, not failures.
    bool Next(VideoFrame& frame, std::string& error);
    // One line naming the damaged packets skipped so far; empty when none were.
    std::string DamageReport() const;
    // Next hands out the decoded planes wherever a GL pass converts them
    // exactly (VideoFrame::planar), and RGBA otherwise.
    void PreferPlanes(bool planes);
    // Thread CPU seconds Next has spent converting pictures so far.
    double ConvertSeconds() const;

private:
    struct Impl;
    static std::unique_ptr<ClipReader> Open(std::unique_ptr<Impl> state, const std::string& path, std::string& error);
    explicit ClipReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

// The audio of a file as magnitude spectra, for moments that move forward.
class AudioSpectrum {
public:
    static std::unique_ptr<AudioSpectrum> Open(const std::string& path, std::string& error);
    // From a file held in memory, as ClipReader's.
    static std::unique_ptr<AudioSpectrum> Open(const uint8_t* data, size_t size, const std::string& name,
                                               std::string& error);
    ~AudioSpectrum();

    int SampleRate() const;
    double Duration() const;  // seconds from the file's start; 0 when unknown
    bool Seek(double seconds, std::string& error);
    // `bins` magnitudes of the mono mix around `seconds`, from a Hann window
    // of 2 * bins samples centred there: bin k holds k * rate / (2 * bins) Hz,
    // and a full-scale sine reads about 1 in its bin. Silence outside the file.
    bool Bins(double seconds, size_t bins, std::vector<float>& out, std::string& error);

private:
    struct Impl;
    static std::unique_ptr<AudioSpectrum> Open(std::unique_ptr<Impl> state, const std::string& path,
                                               std::string& error);
    explicit AudioSpectrum(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

struct AudioCopy {
    std::string from;    // file whose audio tracks are copied; empty: none
    double start = 0.0;  // seconds of that file that become the output's 0
};

class ClipWriter {
public:
    // The container comes from the extension of `path`. Every check on the
    // output (encoder, sizes, audio) is made here, before any frame.
    static std::unique_ptr<ClipWriter> Open(const std::string& path, const VideoFormat& format, const AudioCopy& audio,
                                            std::string& error);
    ~ClipWriter();

    const std::string& Encoder() const;
    // False when the container cannot carry alpha: frames are composited
    // over black.
    bool KeepsAlpha() const;
    // One line each on what the output keeps differently from its source
    // (depth, alpha, audio re-encoded); empty when it keeps everything.
    const std::vector<std::string>& Notes() const;
    // Audio tracks written.
    int AudioTrackCount() const;

    // Frames in order of time, `pts` in the format's time base from the
    // output's start; a time not after the last is moved just past it.
    bool Write(const VideoFrame& frame, std::string& error);
    // The encoder's pixels as a GL pass packs them exactly (composited over
    // black when KeepsAlpha is false); false when only RGBA frames will do.
    bool PlanarLayout(gpu::PixelLayout& layout) const;
    // A frame already in PlanarLayout's pixels, as Write takes it.
    bool WritePlanes(const gpu::PlanarPicture& picture, std::string& error);
    // Thread CPU seconds Write and WritePlanes have spent converting pictures.
    double ConvertSeconds() const;
    // Ends the streams and renames the file into place.
    bool Finish(std::string& error);

private:
    struct Impl;
    explicit ClipWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

}  // namespace tessivar
