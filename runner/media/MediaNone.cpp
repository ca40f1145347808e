// The media layer of a build without FFmpeg: the same interface, and every
// file it is asked to open answers one line saying why it cannot.
#include "runner/media/Media.h"

namespace tessivar {

namespace {
std::string unsupported(const std::string& path) {
    return path + ": this build of ffglrun has no video or audio file support (built without FFmpeg)";
}
}  // namespace

bool MediaSupported() { return false; }

Ratio RatioOf(double value) { return {int(value * 1000 + 0.5), 1000}; }

struct ClipReader::Impl {};
ClipReader::ClipReader(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
ClipReader::~ClipReader() = default;
std::unique_ptr<ClipReader> ClipReader::Open(const std::string& path, std::string& error) {
    error = unsupported(path);
    return nullptr;
}
std::unique_ptr<ClipReader> ClipReader::Open(const uint8_t*, size_t, const std::string& name, std::string& error) {
    return Open(name, error);
}
const VideoFormat& ClipReader::Format() const {
    static const VideoFormat none;
    return none;
}
double ClipReader::Duration() const { return 0; }
bool ClipReader::HasAudio() const { return false; }
bool ClipReader::Seek(double, std::string&) { return false; }
bool ClipReader::Next(VideoFrame&, std::string&) { return false; }
std::string ClipReader::DamageReport() const { return ""; }
void ClipReader::PreferPlanes(bool) {}
double ClipReader::ConvertSeconds() const { return 0; }

struct AudioSpectrum::Impl {};
AudioSpectrum::AudioSpectrum(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
AudioSpectrum::~AudioSpectrum() = default;
std::unique_ptr<AudioSpectrum> AudioSpectrum::Open(const std::string& path, std::string& error) {
    error = unsupported(path);
    return nullptr;
}
std::unique_ptr<AudioSpectrum> AudioSpectrum::Open(const uint8_t*, size_t, const std::string& name,
                                                   std::string& error) {
    return Open(name, error);
}
int AudioSpectrum::SampleRate() const { return 0; }
double AudioSpectrum::Duration() const { return 0; }
bool AudioSpectrum::Seek(double, std::string&) { return false; }
bool AudioSpectrum::Bins(double, size_t, std::vector<float>&, std::string&) { return false; }

struct ClipWriter::Impl {
    std::string none;
    std::vector<std::string> notes;
};
ClipWriter::ClipWriter(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
ClipWriter::~ClipWriter() = default;
std::unique_ptr<ClipWriter> ClipWriter::Open(const std::string& path, const VideoFormat&, const AudioCopy&,
                                             std::string& error) {
    error = unsupported(path);
    return nullptr;
}
const std::string& ClipWriter::Encoder() const { return impl->none; }
bool ClipWriter::KeepsAlpha() const { return false; }
const std::vector<std::string>& ClipWriter::Notes() const { return impl->notes; }
int ClipWriter::AudioTrackCount() const { return 0; }
bool ClipWriter::Write(const VideoFrame&, std::string&) { return false; }
bool ClipWriter::PlanarLayout(gpu::PixelLayout&) const { return false; }
bool ClipWriter::WritePlanes(const gpu::PlanarPicture&, std::string&) { return false; }
double ClipWriter::ConvertSeconds() const { return 0; }
bool ClipWriter::Finish(std::string&) { return false; }

}  // namespace tessivar
