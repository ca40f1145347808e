#include "runner/media/LibAv.h"

#include "runner/media/Media.h"

#include "runner/GLFrame.h"
#include "runner/platform/Paths.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/pixdesc.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tessivar {
bool MediaSupported() { return true; }

Ratio RatioOf(double value) {
    const AVRational r = av_d2q(value, 100000);
    return {r.num, r.den};
}
}  // namespace tessivar

namespace tessivar::libav {

void OutputCloser::operator()(AVFormatContext* f) const {
    if (!f) return;
    if (f->pb && !(f->flags & AVFMT_FLAG_CUSTOM_IO)) avio_closep(&f->pb);
    avformat_free_context(f);
}
void SwsFreer::operator()(SwsContext* s) const { sws_freeContext(s); }
void SwrFreer::operator()(SwrContext* s) const { swr_free(&s); }
void AudioFifoFreer::operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
void FilterGraphFreer::operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
void FilterInOutFreer::operator()(AVFilterInOut* io) const { avfilter_inout_free(&io); }
void TxFreer::operator()(AVTXContext* tx) const { av_tx_uninit(&tx); }

bool GpuLayout(AVPixelFormat format, int matrix, int range, gpu::PixelLayout& layout) {
    using Kind = gpu::PixelLayout::Kind;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (!d) return false;
    gpu::PixelLayout l;
    if (format == AV_PIX_FMT_RGBA || format == AV_PIX_FMT_BGRA) {
        l.kind = format == AV_PIX_FMT_RGBA ? Kind::Rgba : Kind::Bgra;
        l.alpha = true;
        layout = l;
        return true;
    }
    const uint64_t refused = AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                             AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_BAYER;
    if (!(d->flags & AV_PIX_FMT_FLAG_PLANAR) || (d->flags & refused) || d->nb_components < 3) return false;
    // One component a plane, each sample a whole byte or word, value in the
    // low bits, all components equally deep.
    const int bits = d->comp[0].depth;
    for (int i = 0; i < d->nb_components; ++i) {
        const AVComponentDescriptor& c = d->comp[i];
        if (c.shift != 0 || c.offset != 0 || c.depth != bits || c.step != (bits > 8 ? 2 : 1)) return false;
    }
    if (bits < 8 || bits > 16 || d->log2_chroma_w > 2 || d->log2_chroma_h > 2) return false;
    l.bits = bits;
    l.alpha = (d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
    l.chromaShiftX = d->log2_chroma_w;
    l.chromaShiftY = d->log2_chroma_h;
    l.fullRange = range == AVCOL_RANGE_JPEG;
    if (d->flags & AV_PIX_FMT_FLAG_RGB) {
        l.kind = Kind::Gbr;
    } else if (matrix == AVCOL_SPC_BT709) {
        l.matrix = gpu::Matrix::BT709;
    } else if (matrix == AVCOL_SPC_BT470BG || matrix == AVCOL_SPC_SMPTE170M) {
        l.matrix = gpu::Matrix::BT601;
    } else if (matrix == AVCOL_SPC_BT2020_NCL) {
        l.matrix = gpu::Matrix::BT2020;
    } else {
        return false;
    }
    layout = l;
    return true;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void QuietLibraries() {
    static const bool once = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)once;
}

// A picture larger than the runner renders is refused from the header, before
// a decoder tries to allocate it.
bool sizeFits(const std::string& path, const AVStream* st, std::string& error) {
    const AVCodecParameters* p = st->codecpar;
    if (p->codec_type != AVMEDIA_TYPE_VIDEO || (st->disposition & AV_DISPOSITION_ATTACHED_PIC)) return true;
    if (uint32_t(std::max(p->width, 0)) <= kMaxPictureSide && uint32_t(std::max(p->height, 0)) <= kMaxPictureSide)
        return true;
    error = path + ": its pictures are " + std::to_string(p->width) + "x" + std::to_string(p->height) +
            "; ffglrun renders at most " + std::to_string(kMaxPictureSide) + " pixels a side";
    return false;
}

FormatPtr OpenInput(const std::string& path, AVMediaType type, int& stream, std::string& error, AVIOContext* memory) {
    QuietLibraries();
    const PathKind kind = memory ? PathKind::File : KindOf(path);
    if (kind == PathKind::Missing) {
        error = "input file not found: " + path;
        return nullptr;
    }
    if (kind == PathKind::Folder) {
        error = path + ": is a folder, not a media file";
        return nullptr;
    }
    if (!memory && !CanRead(path)) {
        error = path + ": cannot read (" + std::strerror(errno) + ")";
        return nullptr;
    }
    AVFormatContext* raw = memory ? FormatReadingFrom(memory) : nullptr;
    if (memory && !raw) {
        error = OutOfMemory(path, "reading it from memory");
        return nullptr;
    }
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        error = path + ": not a media file FFmpeg can read (" + AvError(rc) + ")";
        return nullptr;
    }
    FormatPtr fmt(raw);
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (type == AVMEDIA_TYPE_VIDEO && !sizeFits(path, fmt->streams[i], error)) return nullptr;
    if ((rc = avformat_find_stream_info(fmt.get(), nullptr)) < 0) {
        error = path + ": not a media file FFmpeg can read (" + AvError(rc) + ")";
        return nullptr;
    }
    stream = av_find_best_stream(fmt.get(), type, -1, -1, nullptr, 0);
    if (stream < 0) {
        error = path + (type == AVMEDIA_TYPE_VIDEO ? ": no video stream" : ": no audio stream");
        return nullptr;
    }
    if (!sizeFits(path, fmt->streams[stream], error)) return nullptr;
    return fmt;
}

CodecPtr OpenDecoder(const std::string& path, const AVStream* st, std::string& error) {
    const AVCodec* codec = nullptr;
    // FFmpeg's own VP8/VP9 decoders drop the alpha channel that WebM keeps
    // beside the picture; libvpx's decode it.
    const AVDictionaryEntry* alphaMode = av_dict_get(st->metadata, "alpha_mode", nullptr, 0);
    if (alphaMode && std::strcmp(alphaMode->value, "1") == 0) {
        if (st->codecpar->codec_id == AV_CODEC_ID_VP9) codec = avcodec_find_decoder_by_name("libvpx-vp9");
        if (st->codecpar->codec_id == AV_CODEC_ID_VP8) codec = avcodec_find_decoder_by_name("libvpx");
    }
    if (!codec) codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
        error = path + ": no decoder for its " + avcodec_get_name(st->codecpar->codec_id) + " stream";
        return nullptr;
    }
    CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec) {
        error = OutOfMemory(path, "a decoder");
        return nullptr;
    }
    int rc = avcodec_parameters_to_context(dec.get(), st->codecpar);
    dec->pkt_timebase = st->time_base;
    dec->thread_count = 0;
    if (rc >= 0) rc = avcodec_open2(dec.get(), codec, nullptr);
    if (rc < 0) {
        error =
            path + ": cannot decode its " + avcodec_get_name(st->codecpar->codec_id) + " stream (" + AvError(rc) + ")";
        return nullptr;
    }
    return dec;
}

double FileStart(const AVFormatContext* fmt, const AVStream* st) {
    if (fmt->start_time != AV_NOPTS_VALUE) return double(fmt->start_time) / AV_TIME_BASE;
    return st->start_time == AV_NOPTS_VALUE ? 0.0 : Seconds(st->start_time, st->time_base);
}

bool Decoding::Next(std::string&) {
    for (;;) {
        int rc = avcodec_receive_frame(dec.get(), frame.get());
        if (rc == 0) return true;
        if (rc == AVERROR_EOF) return false;
        if (!IsAgain(rc)) {
            // The decoder gave up on a picture it had taken; the next may be whole.
            NoteDamage(-1.0);
            continue;
        }
        if (flushed) return false;
        Feed();
    }
}

// Reads one packet and hands it to the decoder when it is of our stream. A
// packet the demuxer marks corrupt, or that the decoder refuses, is damage:
// it is skipped and counted.
void Decoding::Feed() {
    int rc = av_read_frame(fmt.get(), packet.get());
    if (rc < 0) {
        // Past what can be read the file ends, as at its end; an error is damage.
        if (rc != AVERROR_EOF) NoteDamage(-1.0);
        flushed = true;
        avcodec_send_packet(dec.get(), nullptr);
        return;
    }
    if (packet->stream_index == stream) {
        const double at = packet->pts == AV_NOPTS_VALUE ? -1.0 : Seconds(packet->pts, Stream()->time_base) - startTime;
        if (packet->flags & AV_PKT_FLAG_CORRUPT) {
            NoteDamage(at);
        } else {
            rc = avcodec_send_packet(dec.get(), packet.get());
            if (rc < 0 && !IsAgain(rc)) NoteDamage(at);
        }
    }
    av_packet_unref(packet.get());
}

void Decoding::NoteDamage(double at) {
    ++damaged;
    if (at >= 0 && damageTimes.size() < 3) damageTimes.push_back(at);
}

int64_t Decoding::FramePts() {
    const int64_t ts = frame->best_effort_timestamp;
    lastPts = ts != AV_NOPTS_VALUE ? ts - startPts : lastPts == AV_NOPTS_VALUE ? 0 : lastPts + 1;
    return lastPts;
}

double Decoding::FrameTime() const {
    const int64_t ts = frame->best_effort_timestamp;
    return ts == AV_NOPTS_VALUE ? -1.0 : Seconds(ts, Stream()->time_base) - startTime;
}

bool Decoding::Seek(double to, std::string& error) {
    const AVRational tb = Stream()->time_base;
    const int64_t ts = llrint((to + startTime) / av_q2d(tb));
    const int rc = av_seek_frame(fmt.get(), stream, ts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        error = path + ": cannot seek to " + std::to_string(to) + " s (" + AvError(rc) + ")";
        return false;
    }
    avcodec_flush_buffers(dec.get());
    flushed = false;
    return true;
}

std::string Decoding::DamageReport() const {
    if (damaged == 0) return "";
    std::string where;
    for (double t : damageTimes) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%.3f s", where.empty() ? "" : ", ", t);
        where += text;
    }
    return path + ": " + std::to_string(damaged) + " damaged packet(s) skipped" +
           (where.empty() ? "" : " (at " + where + (damaged > int(damageTimes.size()) ? ", ..." : "") + ")");
}

bool OpenDecoding(Decoding& d, const std::string& path, AVMediaType type, std::string& error) {
    d.path = path;
    if (!d.frame || !d.packet) {
        error = OutOfMemory(path, "decoding");
        return false;
    }
    d.fmt = OpenInput(path, type, d.stream, error, d.memory.get());
    if (!d.fmt) return false;
    d.dec = OpenDecoder(path, d.Stream(), error);
    if (!d.dec) return false;
    d.startTime = FileStart(d.fmt.get(), d.Stream());
    d.startPts = llrint(d.startTime / av_q2d(d.Stream()->time_base));
    return true;
}

}  // namespace tessivar::libav
