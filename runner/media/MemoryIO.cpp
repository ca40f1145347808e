#include "runner/media/MemoryIO.h"

#include "runner/media/LibAv.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tessivar {
namespace {

constexpr int kBufferSize = 4096;

struct Bytes {
    const uint8_t* data;
    int64_t size;
    int64_t pos;
};

int readBytes(void* opaque, uint8_t* out, int want) {
    auto* b = static_cast<Bytes*>(opaque);
    const int64_t n = std::min<int64_t>(want, b->size - b->pos);
    if (n <= 0) return AVERROR_EOF;
    std::memcpy(out, b->data + b->pos, size_t(n));
    b->pos += n;
    return int(n);
}

int64_t seekBytes(void* opaque, int64_t offset, int whence) {
    auto* b = static_cast<Bytes*>(opaque);
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return b->size;
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = b->pos; break;
        case SEEK_END: base = b->size; break;
        default: return AVERROR(EINVAL);
    }
    // Past the end is allowed (reads there meet the end); before the start is not.
    if (offset < -base || offset > INT64_MAX - base) return AVERROR(EINVAL);
    b->pos = base + offset;
    return b->pos;
}

}  // namespace

void MemoryIOFreer::operator()(AVIOContext* io) const {
    if (!io) return;
    delete static_cast<Bytes*>(io->opaque);
    av_freep(&io->buffer);
    avio_context_free(&io);
}

MemoryIO OpenMemoryIO(const uint8_t* data, size_t size) {
    libav::BufferPtr<uint8_t> buffer(static_cast<uint8_t*>(av_malloc(kBufferSize)));
    if (!buffer) return nullptr;
    auto bytes = std::make_unique<Bytes>(Bytes{data, int64_t(size), 0});
    MemoryIO io(avio_alloc_context(buffer.get(), kBufferSize, 0, bytes.get(), readBytes, nullptr, seekBytes));
    if (io) {  // (the context owns both now, and MemoryIOFreer frees them)
        buffer.release();
        bytes.release();
    }
    return io;
}

// (Raw, for avformat_open_input, which frees it when it fails.)
AVFormatContext* FormatReadingFrom(AVIOContext* io) {
    AVFormatContext* format = avformat_alloc_context();
    if (!format) return nullptr;
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return format;
}

}  // namespace tessivar
