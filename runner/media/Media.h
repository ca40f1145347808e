// Media -- video files and their audio for the runner, through FFmpeg's
// libraries: a clip as a source of RGBA frames, a clip as a sink for them,
// and the audio spectrum around a moment for FFT parameters.
//
//     auto clip = ClipReader::Open("in.mp4", error);
//     auto out = ClipWriter::Open("out.mov", clip->Width(), clip->Height(), clip->FrameRate(),
//                                 {"in.mp4", 0.0}, error);
//     while (clip->Next(frame, seconds, error)) { ...render...; out->Write(result, seconds, error); }
//     out->Finish(error);   // renamed into place only now
//
// A writer works on a temporary file beside its target and removes it unless
// Finish succeeds, so a failed run leaves nothing half-written behind.
//
// A build without FFmpeg (MediaSupported() false) keeps the same interface;
// every Open then fails with one line saying so.
//
// Every failure answers false (or null) and one line naming the file.
#pragma once

#include "runner/GLFrame.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessivar {

bool MediaSupported();

// Whether a file name asks for a PNG (by its extension, any case).
bool IsPngName(const std::string& path);
// The extensions ClipWriter writes: "mov", "mkv", "webm", "mp4".
const std::vector<std::string>& ClipExtensions();
// The extension of `path`, lower case, without the dot.
std::string ExtensionOf(const std::string& path);

class ClipReader {
public:
    static std::unique_ptr<ClipReader> Open(const std::string& path, std::string& error);
    ~ClipReader();

    uint32_t Width() const;
    uint32_t Height() const;
    double FrameRate() const;  // average frames per second; 0 when the file does not say
    double Duration() const;   // seconds; 0 when unknown
    bool HasAudio() const;

    // Skips to `seconds`: the next frame is the first one shown at or after it.
    bool Seek(double seconds, std::string& error);
    // The next frame as RGBA and its time in seconds from the clip's start.
    // False at the end of the clip, with `error` set when it was a failure.
    bool Next(Image& frame, double& seconds, std::string& error);

private:
    struct Impl;
    explicit ClipReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

// The audio of a file as magnitude spectra, for moments that move forward.
class AudioSpectrum {
public:
    static std::unique_ptr<AudioSpectrum> Open(const std::string& path, std::string& error);
    ~AudioSpectrum();

    int SampleRate() const;
    bool Seek(double seconds, std::string& error);
    // `bins` magnitudes of the mono mix around `seconds`, from a Hann window
    // of 2 * bins samples centred there: bin k holds k * rate / (2 * bins) Hz,
    // and a full-scale sine reads about 1 in its bin. Silence outside the file.
    bool Bins(double seconds, size_t bins, std::vector<float>& out, std::string& error);

private:
    struct Impl;
    explicit AudioSpectrum(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

struct AudioCopy {
    std::string from;    // file whose audio track is copied unchanged; empty: none
    double start = 0.0;  // seconds of that file that become the output's 0
};

class ClipWriter {
public:
    // The container comes from the extension of `path`.
    static std::unique_ptr<ClipWriter> Open(const std::string& path, uint32_t width, uint32_t height, double fps,
                                            const AudioCopy& audio, std::string& error);
    ~ClipWriter();

    const std::string& Encoder() const;
    // False when the container cannot carry alpha: frames are composited
    // over black.
    bool KeepsAlpha() const;
    bool CopiesAudio() const;

    // `seconds` from the start of the output.
    bool Write(const Image& frame, double seconds, std::string& error);
    // Ends the streams and renames the file into place.
    bool Finish(std::string& error);

private:
    struct Impl;
    explicit ClipWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};

}  // namespace tessivar
