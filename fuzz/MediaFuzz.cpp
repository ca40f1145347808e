// MediaFuzz -- ClipReader and AudioSpectrum over a file held in memory, as
// ffglrun reads a clip given with --input or a sound given with --audio.
// Whatever the bytes, a reader is refused with one line naming the file, or
// it answers sane figures (a size within the limit, a turn of 0 to 359
// degrees, a time base), frames that fill their picture and spectra of
// finite magnitudes, and it can go back to the start; the sanitizers watch
// the rest (memory, leaks), libFuzzer's time limit the hangs.
#include "fuzz/Outcomes.h"
#include "runner/media/Media.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tessivar::AudioSpectrum;
using tessivar::ClipReader;

constexpr int kFrames = 6;  // read from each clip, then once more after going back
const char* const kName = "fuzz.clip";

[[noreturn]] void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "media fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

void checkRefusal(const std::string& error) {
    fuzzsupport::NoteOutcome(error);
    if (error.rfind(kName, 0) != 0 || error.find('\n') != std::string::npos)
        finding("a refusal that is not one line naming the file", error);
}

void checkFrame(const ClipReader& clip, const tessivar::VideoFrame& frame) {
    const tessivar::Image& p = frame.picture;
    const size_t filled = p.bits == 16 ? p.rgba16.size() * 2 : p.rgba.size();
    if (p.width != clip.Format().width || p.height != clip.Format().height || filled != p.RowBytes() * p.height)
        finding("a frame that does not fill the clip's picture",
                std::to_string(p.width) + "x" + std::to_string(p.height) + " at " + std::to_string(p.bits) + " bits");
    if (!std::isfinite(frame.Seconds(clip.Format())))
        finding("a frame time that is not a number", std::to_string(frame.pts));
}

void readClip(const uint8_t* data, size_t size) {
    std::string error;
    const auto clip = ClipReader::Open(data, size, kName, error);
    if (!clip) return checkRefusal(error);
    const tessivar::VideoFormat& format = clip->Format();
    if (format.width == 0 || format.height == 0 || format.width > tessivar::kMaxPictureSide ||
        format.height > tessivar::kMaxPictureSide)
        finding("a clip outside the size limit was opened",
                std::to_string(format.width) + "x" + std::to_string(format.height));
    if (format.rotation < 0 || format.rotation >= 360)
        finding("a turn outside 0 to 359 degrees", std::to_string(format.rotation));
    if (!format.timeBase.Known() || !(clip->Duration() >= 0))
        finding("a clip without a time base, or with a duration that is not a number or below 0",
                std::to_string(format.timeBase.num) + "/" + std::to_string(format.timeBase.den) + ", " +
                    std::to_string(clip->Duration()));
    tessivar::VideoFrame frame;
    int frames = 0;
    for (; frames < kFrames && clip->Next(frame, error); ++frames) checkFrame(*clip, frame);
    fuzzsupport::NoteOutcome("clip of " + std::string(size_t(frames) + 1, '*') +
                             (clip->HasAudio() ? " with audio" : ""));
    if (!error.empty()) return checkRefusal(error);
    if (!clip->Seek(0.0, error)) return checkRefusal(error);
    if (clip->Next(frame, error)) checkFrame(*clip, frame);
    if (!error.empty()) checkRefusal(error);
}

void readSound(const uint8_t* data, size_t size) {
    std::string error;
    const auto sound = AudioSpectrum::Open(data, size, kName, error);
    if (!sound) return checkRefusal(error);
    if (sound->SampleRate() <= 0)
        finding("a sound without a sample rate was opened", std::to_string(sound->SampleRate()));
    std::vector<float> bins;
    // Moments that move forward, as frames ask for them, then back to the start.
    const struct {
        double seconds;
        size_t bins;
    } asks[] = {{0.0, 16}, {0.02, 512}, {0.3, 64}, {0.0, 16}};
    for (size_t i = 0; i < sizeof asks / sizeof asks[0]; ++i) {
        if (i == 3 && !sound->Seek(0.0, error)) return checkRefusal(error);
        if (!sound->Bins(asks[i].seconds, asks[i].bins, bins, error)) return checkRefusal(error);
        if (bins.size() != asks[i].bins) finding("a spectrum of the wrong length", std::to_string(bins.size()));
        for (float b : bins)
            if (!std::isfinite(b) || b < 0) finding("a magnitude that is not a number or below 0", std::to_string(b));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readClip(data, size);
    readSound(data, size);
    return 0;
}
