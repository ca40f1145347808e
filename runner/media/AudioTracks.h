// AudioTracks -- the audio of a file carried into an output clip: every
// track, with its language, title and other metadata, copied unchanged where
// the container takes it as it is, else re-encoded (AAC for .mp4 and .mov,
// Opus for .webm) with a note. Whether a container takes a track unchanged is
// asked of the muxer itself, with a header written to memory.
// Only runner/media/ includes it.
#pragma once

#include "runner/media/LibAv.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessivar::libav {

class AudioTracks {
public:
    AudioTracks();
    ~AudioTracks();

    // Adds a stream to `out` for every audio track of `from`; `start` seconds
    // of `from` become the output's 0.
    bool Open(const std::string& from, double start, AVFormatContext* out, const std::string& outPath,
              std::string& error);
    int Count() const;
    const std::vector<std::string>& Notes() const { return notes; }

    using Put = std::function<bool(AVPacket*, std::string&)>;
    // Writes the audio that starts before `until` seconds of the output.
    bool WriteUntil(double until, const Put& put, std::string& error);
    // Writes the rest up to `until` and drains the encoders.
    bool Finish(double until, const Put& put, std::string& error);

private:
    struct Track;
    bool Route(AVPacket* p, const Put& put, std::string& error);
    std::string from, outPath;
    FormatPtr in;
    double offset = 0;  // seconds of the input that are the output's 0
    std::vector<std::unique_ptr<Track>> tracks;
    std::vector<std::string> notes;
    PacketPtr held{av_packet_alloc()};
    bool holding = false, ended = false;
};

}  // namespace tessivar::libav
