// LibAv -- what the media files share on FFmpeg's libraries: one-line
// error texts, an owner for every kind of object they allocate (each freed
// by its own call, whatever path leaves), opening a file and its decoder, and
// decoding one stream in order across a seek; through LibAvVersions.h, the
// interfaces that differ between FFmpeg versions. Only runner/media/ includes it.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "runner/media/LibAvVersions.h"
#include "runner/media/MemoryIO.h"
#include "runner/media/gpu/PixelLayout.h"

#include <memory>
#include <string>
#include <vector>

// (Declared here, defined by the libraries whose headers only the files
// using them include.)
struct SwsContext;
struct SwrContext;
struct AVAudioFifo;
struct AVFilterGraph;
struct AVFilterInOut;
struct AVTXContext;

namespace tessivar::libav {

std::string AvError(int code);
inline bool IsAgain(int code) { return code == AVERROR(EAGAIN); }
inline double Seconds(int64_t ts, AVRational tb) { return double(ts) * av_q2d(tb); }
// FFmpeg's own chatter would break the one-line-per-failure rule.
void QuietLibraries();

// The one line an allocation FFmpeg answered with null ends in.
inline std::string OutOfMemory(const std::string& path, const std::string& what) {
    return path + ": out of memory for " + what;
}

struct FormatCloser {  // an input
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct OutputCloser {  // an output: its file closed (unless finished), then freed
    void operator()(AVFormatContext* f) const;
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
    void operator()(SwsContext* s) const;
};
struct SwrFreer {
    void operator()(SwrContext* s) const;
};
struct AudioFifoFreer {
    void operator()(AVAudioFifo* f) const;
};
struct FilterGraphFreer {
    void operator()(AVFilterGraph* g) const;
};
struct FilterInOutFreer {
    void operator()(AVFilterInOut* io) const;
};
struct TxFreer {
    void operator()(AVTXContext* tx) const;
};
struct BufferFreer {  // av_malloc's
    void operator()(void* p) const { av_free(p); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFreer>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphFreer>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutFreer>;
using TxPtr = std::unique_ptr<AVTXContext, TxFreer>;
template <class T>
using BufferPtr = std::unique_ptr<T, BufferFreer>;

// The layout of `format` with colour `matrix` and `range` (ColourTags'
// numbers), where the GL conversions take it exactly: planar Y'CbCr or RGB
// in native little-endian words with the value in the low bits, or packed
// 8-bit RGBA/BGRA; Y'CbCr with a BT.601, BT.709 or BT.2020 (non-constant
// luminance) matrix. False for everything else.
bool GpuLayout(AVPixelFormat format, int matrix, int range, gpu::PixelLayout& layout);

// A frame of `format` with its own buffers, rows padded to `align` bytes
// (0: FFmpeg's choice); null when out of memory.
inline FramePtr MakeFrame(AVPixelFormat format, int width, int height, int align = 0) {
    FramePtr f(av_frame_alloc());
    if (!f) return f;
    f->format = format;
    f->width = width;
    f->height = height;
    if (av_frame_get_buffer(f.get(), align) < 0) f.reset();
    return f;
}

// A frame's planes as the GL passes take them.
inline gpu::PlanePointers PlanesOf(const AVFrame* f) {
    gpu::PlanePointers p;
    for (size_t i = 0; i < 4; ++i) {
        p.data[i] = f->data[i];
        p.linesize[i] = f->linesize[i];
    }
    return p;
}

// Opens `path` for reading, or the file held in `memory` that it names, and
// finds its best stream of `type`.
FormatPtr OpenInput(const std::string& path, AVMediaType type, int& stream, std::string& error,
                    AVIOContext* memory = nullptr);
CodecPtr OpenDecoder(const std::string& path, const AVStream* st, std::string& error);
// Where a file's time 0 is, in seconds: its first moment over all streams,
// so that the video and the audio of one file keep their offset.
double FileStart(const AVFormatContext* fmt, const AVStream* st);

// Frames of one stream, decoded in order, across a seek.
struct Decoding {
    std::string path;
    MemoryIO memory;  // the file, when it is held in memory; outlives `fmt`
    FormatPtr fmt;
    CodecPtr dec;
    int stream = -1;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    bool flushed = false;  // the file is read to its end and the decoder drained into
    double startTime = 0;  // of the stream, seconds
    int64_t startPts = 0;  // the same in the stream's time base
    int64_t lastPts = AV_NOPTS_VALUE;

    int damaged = 0;                  // packets skipped as damaged
    std::vector<double> damageTimes;  // the first few of them, seconds

    AVStream* Stream() const { return fmt->streams[stream]; }
    // The next decoded frame in `frame`; false at the end (error empty) or on
    // a failure. Damaged packets are skipped and counted, not failures.
    bool Next(std::string& error);
    // The frame's time in seconds from the file's start; -1 when it has none.
    double FrameTime() const;
    // The same in the stream's time base; a frame without one follows the last.
    int64_t FramePts();
    bool Seek(double to, std::string& error);
    // One line naming the damage skipped so far; empty when there was none.
    std::string DamageReport() const;

private:
    void Feed();
    void NoteDamage(double at);
};

bool OpenDecoding(Decoding& d, const std::string& path, AVMediaType type, std::string& error);

}  // namespace tessivar::libav
