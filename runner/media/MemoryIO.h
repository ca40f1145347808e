// MemoryIO -- an FFmpeg I/O context over a file held in memory: read-only and
// seekable, so a clip or a sound is demuxed without touching the disk (the
// media fuzzer feeds its inputs this way). The bytes must outlive it.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessivar {

struct MemoryIOFreer {
    void operator()(AVIOContext* io) const;
};
using MemoryIO = std::unique_ptr<AVIOContext, MemoryIOFreer>;

// Null when FFmpeg cannot allocate one.
MemoryIO OpenMemoryIO(const uint8_t* data, size_t size);
// A demuxing context that reads through `io` and leaves it open when it is
// closed, for avformat_open_input; null when FFmpeg cannot allocate one.
AVFormatContext* FormatReadingFrom(AVIOContext* io);

}  // namespace tessivar
