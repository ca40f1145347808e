// The media layer on FFmpeg's libraries: libavformat demuxes and muxes,
// libavcodec decodes and encodes, libswscale converts pixels, libswresample
// mixes audio down to mono, and libavutil's av_tx does the transform.
#include "runner/media/Media.h"

#include "runner/platform/Paths.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessivar {

bool MediaSupported() { return true; }

namespace {

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool isAgain(int code) { return code == AVERROR(EAGAIN); }

double seconds(int64_t ts, AVRational tb) { return double(ts) * av_q2d(tb); }

void quietLibraries() {
    // FFmpeg's own chatter would break the one-line-per-failure rule.
    static const bool once = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)once;
}

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
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
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

// Opens `path` for reading and finds its best stream of `type`.
FormatPtr openInput(const std::string& path, AVMediaType type, int& stream, std::string& error) {
    quietLibraries();
    const PathKind kind = KindOf(path);
    if (kind == PathKind::Missing) {
        error = "input file not found: " + path;
        return nullptr;
    }
    if (kind == PathKind::Folder) {
        error = path + ": is a folder, not a media file";
        return nullptr;
    }
    if (!CanRead(path)) {
        error = path + ": cannot read (" + std::strerror(errno) + ")";
        return nullptr;
    }
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        error = path + ": not a media file FFmpeg can read (" + avError(rc) + ")";
        return nullptr;
    }
    FormatPtr fmt(raw);
    if ((rc = avformat_find_stream_info(fmt.get(), nullptr)) < 0) {
        error = path + ": not a media file FFmpeg can read (" + avError(rc) + ")";
        return nullptr;
    }
    stream = av_find_best_stream(fmt.get(), type, -1, -1, nullptr, 0);
    if (stream < 0) {
        error = path + (type == AVMEDIA_TYPE_VIDEO ? ": no video stream" : ": no audio stream");
        return nullptr;
    }
    return fmt;
}

CodecPtr openDecoder(const std::string& path, const AVStream* st, std::string& error) {
    const AVCodec* codec = nullptr;
    // FFmpeg's own VP8/VP9 decoders drop the alpha channel that WebM keeps
    // beside the picture; libvpx's decode it.
    const AVDictionaryEntry* alphaMode = av_dict_get(st->metadata, "alpha_mode", nullptr, 0);
    if (alphaMode && std::strcmp(alphaMode->value, "1") == 0) {
        if (st->codecpar->codec_id == AV_CODEC_ID_VP9) codec = avcodec_find_decoder_by_name("libvpx-vp9");
        if (st->codecpar->codec_id == AV_CODEC_ID_VP8) codec = avcodec_find_decoder_by_name("libvpx");
    }
    if (!codec) codec = avcodec_find_decoder(st->codecpar->codec_id);
    CodecPtr dec(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!dec) {
        error = path + ": no decoder for its " + avcodec_get_name(st->codecpar->codec_id) + " stream";
        return nullptr;
    }
    avcodec_parameters_to_context(dec.get(), st->codecpar);
    dec->pkt_timebase = st->time_base;
    dec->thread_count = 0;
    const int rc = avcodec_open2(dec.get(), codec, nullptr);
    if (rc < 0) {
        error = path + ": cannot decode its " + avcodec_get_name(st->codecpar->codec_id) + " stream (" + avError(rc) + ")";
        return nullptr;
    }
    return dec;
}

// Where a file's time 0 is, in seconds: its first moment over all streams,
// so that the video and the audio of one file keep their offset.
double fileStart(const AVFormatContext* fmt, const AVStream* st) {
    if (fmt->start_time != AV_NOPTS_VALUE) return double(fmt->start_time) / AV_TIME_BASE;
    return st->start_time == AV_NOPTS_VALUE ? 0.0 : seconds(st->start_time, st->time_base);
}

// Frames of one stream, decoded in order, across a seek.
struct Decoding {
    std::string path;
    FormatPtr fmt;
    CodecPtr dec;
    int stream = -1;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    bool flushed = false;  // the file is read to its end and the decoder drained into
    double startTime = 0;  // of the stream, seconds

    AVStream* Stream() const { return fmt->streams[stream]; }

    // The next decoded frame in `frame`; false at the end (error empty) or on a failure.
    bool Next(std::string& error) {
        for (;;) {
            int rc = avcodec_receive_frame(dec.get(), frame.get());
            if (rc == 0) return true;
            if (rc == AVERROR_EOF) return false;
            if (!isAgain(rc)) {
                error = path + ": cannot decode (" + avError(rc) + ")";
                return false;
            }
            if (flushed) return false;
            rc = av_read_frame(fmt.get(), packet.get());
            if (rc == AVERROR_EOF) {
                flushed = true;
                avcodec_send_packet(dec.get(), nullptr);
                continue;
            }
            if (rc < 0) {
                error = path + ": cannot read (" + avError(rc) + ")";
                return false;
            }
            if (packet->stream_index == stream) {
                rc = avcodec_send_packet(dec.get(), packet.get());
                // A damaged packet is the decoder's to conceal; keep going.
                if (rc < 0 && !isAgain(rc) && rc != AVERROR_INVALIDDATA) {
                    av_packet_unref(packet.get());
                    error = path + ": cannot decode (" + avError(rc) + ")";
                    return false;
                }
            }
            av_packet_unref(packet.get());
        }
    }
    double FrameTime() const {
        const int64_t ts = frame->best_effort_timestamp;
        return ts == AV_NOPTS_VALUE ? -1.0 : seconds(ts, Stream()->time_base) - startTime;
    }
    bool Seek(double to, std::string& error) {
        const AVRational tb = Stream()->time_base;
        const int64_t ts = llrint((to + startTime) / av_q2d(tb));
        const int rc = av_seek_frame(fmt.get(), stream, ts, AVSEEK_FLAG_BACKWARD);
        if (rc < 0) {
            error = path + ": cannot seek to " + std::to_string(to) + " s (" + avError(rc) + ")";
            return false;
        }
        avcodec_flush_buffers(dec.get());
        flushed = false;
        return true;
    }
};

bool openDecoding(Decoding& d, const std::string& path, AVMediaType type, std::string& error) {
    d.path = path;
    d.fmt = openInput(path, type, d.stream, error);
    if (!d.fmt) return false;
    d.dec = openDecoder(path, d.Stream(), error);
    if (!d.dec) return false;
    d.startTime = fileStart(d.fmt.get(), d.Stream());
    return true;
}

}  // namespace

// ---- ClipReader ---------------------------------------------------------------

struct ClipReader::Impl {
    Decoding d;
    SwsContext* sws = nullptr;
    bool pending = false;  // `d.frame` holds a frame not handed out yet (after a seek)
    ~Impl() { sws_freeContext(sws); }
};

ClipReader::ClipReader(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
ClipReader::~ClipReader() = default;

std::unique_ptr<ClipReader> ClipReader::Open(const std::string& path, std::string& error) {
    auto state = std::make_unique<Impl>();
    if (!openDecoding(state->d, path, AVMEDIA_TYPE_VIDEO, error)) return nullptr;
    if (state->d.dec->width <= 0 || state->d.dec->height <= 0) {
        error = path + ": its video stream has no picture size";
        return nullptr;
    }
    return std::unique_ptr<ClipReader>(new ClipReader(std::move(state)));
}

uint32_t ClipReader::Width() const { return uint32_t(impl->d.dec->width); }
uint32_t ClipReader::Height() const { return uint32_t(impl->d.dec->height); }

double ClipReader::FrameRate() const {
    const AVStream* st = impl->d.Stream();
    AVRational r = st->avg_frame_rate;
    if (r.num <= 0 || r.den <= 0) r = st->r_frame_rate;
    return r.num > 0 && r.den > 0 ? av_q2d(r) : 0.0;
}

double ClipReader::Duration() const {
    const AVStream* st = impl->d.Stream();
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) return seconds(st->duration, st->time_base);
    const AVFormatContext* fmt = impl->d.fmt.get();
    return fmt->duration > 0 ? double(fmt->duration) / AV_TIME_BASE : 0.0;
}

bool ClipReader::HasAudio() const {
    return av_find_best_stream(impl->d.fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
}

bool ClipReader::Seek(double to, std::string& error) {
    impl->pending = false;
    if (!impl->d.Seek(to, error)) return false;
    // Decode from the key frame before `to` up to the first frame shown at or
    // after it; half a frame of slack absorbs rounded timestamps.
    const double rate = FrameRate();
    const double slack = rate > 0 ? 0.5 / rate : 0.0;
    while (impl->d.Next(error)) {
        if (impl->d.FrameTime() >= to - slack) {
            impl->pending = true;
            return true;
        }
        av_frame_unref(impl->d.frame.get());
    }
    if (error.empty()) error = impl->d.path + ": --start " + std::to_string(to) + " s is past the end of the clip";
    return false;
}

bool ClipReader::Next(Image& out, double& when, std::string& error) {
    Decoding& d = impl->d;
    if (!impl->pending && !d.Next(error)) return false;
    impl->pending = false;
    AVFrame* f = d.frame.get();
    const int w = d.dec->width, h = d.dec->height;
    // A stream whose picture size changes on the way is scaled to its first size.
    impl->sws = sws_getCachedContext(impl->sws, f->width, f->height, AVPixelFormat(f->format), w, h,
                                     AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!impl->sws) {
        const char* name = av_get_pix_fmt_name(AVPixelFormat(f->format));
        error = d.path + ": cannot convert its " + std::string(name ? name : "unknown") + " pictures to RGBA";
        av_frame_unref(f);
        return false;
    }
    // YUV pictures say which matrix and range they use; untagged ones get
    // the matrix of their size (HD and up BT.709, else BT.601).
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
        int matrix = f->colorspace;
        if (matrix == AVCOL_SPC_UNSPECIFIED) matrix = f->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
        sws_setColorspaceDetails(impl->sws, sws_getCoefficients(matrix), f->color_range == AVCOL_RANGE_JPEG,
                                 sws_getCoefficients(SWS_CS_ITU601), 1, 0, 1 << 16, 1 << 16);
    }
    if (out.width != uint32_t(w) || out.height != uint32_t(h)) out = Image(uint32_t(w), uint32_t(h));
    uint8_t* planes[4] = {out.rgba.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {w * 4, 0, 0, 0};
    sws_scale(impl->sws, f->data, f->linesize, 0, f->height, planes, strides);
    when = d.FrameTime();
    av_frame_unref(f);
    return true;
}

// ---- AudioSpectrum --------------------------------------------------------------

namespace {

// One real transform of 2 * bins samples with its window.
struct Transform {
    size_t bins = 0;
    AVTXContext* tx = nullptr;
    av_tx_fn run = nullptr;
    std::vector<float> window;
    float gain = 0;  // turns |X[k]| into the amplitude of a sine in bin k
    float* in = nullptr;
    AVComplexFloat* out = nullptr;

    ~Transform() {
        av_tx_uninit(&tx);
        av_free(in);
        av_free(out);
    }
    bool Init(size_t n) {
        bins = n;
        const size_t len = 2 * n;
        const float scale = 1.0f;
        if (av_tx_init(&tx, &run, AV_TX_FLOAT_RDFT, 0, int(len), &scale, 0) < 0) return false;
        in = static_cast<float*>(av_malloc(len * sizeof(float)));
        out = static_cast<AVComplexFloat*>(av_malloc((n + 1) * sizeof(AVComplexFloat)));
        if (!in || !out) return false;
        window.resize(len);
        double sum = 0;
        const double pi = 3.14159265358979323846;
        for (size_t i = 0; i < len; ++i) {
            window[i] = float(0.5 - 0.5 * std::cos(2.0 * pi * double(i) / double(len)));
            sum += double(window[i]);
        }
        gain = float(2.0 / sum);
        return true;
    }
};

}  // namespace

struct AudioSpectrum::Impl {
    Decoding d;
    SwrContext* swr = nullptr;
    int rate = 0;
    std::vector<float> samples;  // mono, from sample number `first` of the file on
    int64_t first = 0;
    bool positioned = false;  // `first` is known from a decoded frame's time
    bool ended = false;
    std::vector<std::unique_ptr<Transform>> transforms;

    ~Impl() { swr_free(&swr); }

    // Decodes until sample `upTo` is in (or the file ends).
    bool Fill(int64_t upTo, std::string& error) {
        std::vector<float> mono;
        while (!ended && first + int64_t(samples.size()) < upTo) {
            if (!d.Next(error)) {
                ended = true;
                return error.empty();
            }
            AVFrame* f = d.frame.get();
            mono.resize(size_t(swr_get_out_samples(swr, f->nb_samples)));
            uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(mono.data())};
            const int got = swr_convert(swr, outPlanes, int(mono.size()),
                                        const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
            const double t = d.FrameTime();
            av_frame_unref(f);
            if (got < 0) {
                error = d.path + ": cannot mix its audio down (" + avError(got) + ")";
                return false;
            }
            if (!positioned) {
                first = t >= 0 ? llrint(t * rate) : 0;
                positioned = true;
            }
            samples.insert(samples.end(), mono.begin(), mono.begin() + got);
        }
        return true;
    }
    // Forgets samples before `from`, in large steps.
    void Drop(int64_t from) {
        const int64_t stale = from - first;
        if (stale < (int64_t(1) << 16)) return;
        const size_t n = std::min(samples.size(), size_t(stale));
        samples.erase(samples.begin(), samples.begin() + std::ptrdiff_t(n));
        first += int64_t(n);
    }
};

AudioSpectrum::AudioSpectrum(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
AudioSpectrum::~AudioSpectrum() = default;

std::unique_ptr<AudioSpectrum> AudioSpectrum::Open(const std::string& path, std::string& error) {
    auto state = std::make_unique<Impl>();
    if (!openDecoding(state->d, path, AVMEDIA_TYPE_AUDIO, error)) return nullptr;
    AVCodecContext* dec = state->d.dec.get();
    state->rate = dec->sample_rate;
    AVChannelLayout inLayout{};
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, dec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&inLayout, &dec->ch_layout);
    AVChannelLayout mono{};
    av_channel_layout_default(&mono, 1);
    int rc = state->rate > 0 ? swr_alloc_set_opts2(&state->swr, &mono, AV_SAMPLE_FMT_FLT, state->rate, &inLayout,
                                                   dec->sample_fmt, state->rate, 0, nullptr)
                             : AVERROR(EINVAL);
    if (rc >= 0) rc = swr_init(state->swr);
    av_channel_layout_uninit(&inLayout);
    if (rc < 0) {
        error = path + ": cannot mix its audio down (" + avError(rc) + ")";
        return nullptr;
    }
    return std::unique_ptr<AudioSpectrum>(new AudioSpectrum(std::move(state)));
}

int AudioSpectrum::SampleRate() const { return impl->rate; }

bool AudioSpectrum::Seek(double to, std::string& error) {
    if (!impl->d.Seek(to, error)) return false;
    impl->samples.clear();
    impl->positioned = false;
    impl->ended = false;
    return true;
}

bool AudioSpectrum::Bins(double when, size_t bins, std::vector<float>& out, std::string& error) {
    out.assign(bins, 0.0f);
    if (bins == 0) return true;
    Transform* t = nullptr;
    for (auto& candidate : impl->transforms)
        if (candidate->bins == bins) t = candidate.get();
    if (!t) {
        auto made = std::make_unique<Transform>();
        if (!made->Init(bins)) {
            error = "cannot set up a transform of " + std::to_string(2 * bins) + " samples";
            return false;
        }
        t = made.get();
        impl->transforms.push_back(std::move(made));
    }
    const int64_t len = int64_t(2 * bins);
    const int64_t from = llrint(when * impl->rate) - int64_t(bins);
    if (!impl->Fill(from + len, error)) return false;
    for (int64_t i = 0; i < len; ++i) {
        const int64_t at = from + i - impl->first;
        const float s = at >= 0 && at < int64_t(impl->samples.size()) ? impl->samples[size_t(at)] : 0.0f;
        t->in[i] = s * t->window[size_t(i)];
    }
    t->run(t->tx, t->out, t->in, sizeof(float));
    for (size_t k = 0; k < bins; ++k)
        out[k] = std::hypot(t->out[k].re, t->out[k].im) * t->gain * (k == 0 ? 0.5f : 1.0f);
    // Keep enough behind for the largest window another parameter may ask
    // for at the same moment.
    impl->Drop(from - (int64_t(1) << 13));
    return true;
}

// ---- ClipWriter -------------------------------------------------------------------

namespace {

struct Recipe {
    const char* extension;
    const char* muxer;
    std::vector<const char*> encoders;  // the first one this FFmpeg has
    AVPixelFormat pixels;
    bool alpha;
};

const std::vector<Recipe>& recipes() {
    static const std::vector<Recipe> list = {
        {"mov", "mov", {"prores_ks"}, AV_PIX_FMT_YUVA444P10LE, true},
        {"mkv", "matroska", {"ffv1"}, AV_PIX_FMT_BGRA, true},
        {"webm", "webm", {"libvpx-vp9"}, AV_PIX_FMT_YUVA420P, true},
        {"mp4", "mp4", {"libx264", "mpeg4"}, AV_PIX_FMT_YUV420P, false},
    };
    return list;
}

void setEncoderOptions(const std::string& name, AVCodecContext* enc) {
    if (name == "prores_ks") {
        av_opt_set(enc->priv_data, "profile", "4444", 0);
    } else if (name == "libvpx-vp9") {
        av_opt_set(enc->priv_data, "deadline", "good", 0);
        av_opt_set_int(enc->priv_data, "cpu-used", 4, 0);
        av_opt_set_int(enc->priv_data, "row-mt", 1, 0);
        av_opt_set_int(enc->priv_data, "crf", 30, 0);
        enc->bit_rate = 0;
    } else if (name == "libx264") {
        av_opt_set(enc->priv_data, "preset", "veryfast", 0);
        av_opt_set_int(enc->priv_data, "crf", 18, 0);
    } else if (name == "mpeg4") {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 3;
    }
}

}  // namespace

struct ClipWriter::Impl {
    std::string path, tmpPath, encoderName;
    bool alpha = false;
    AVFormatContext* fmt = nullptr;
    CodecPtr enc;
    AVStream* video = nullptr;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    SwsContext* sws = nullptr;
    Image composited;
    int64_t lastPts = -1;
    double fps = 30;
    bool finished = false;

    // The copied audio: its own demuxer, read in step with the video.
    FormatPtr audioIn;
    int audioStream = -1;
    AVStream* audioOut = nullptr;
    int64_t audioOffset = 0;  // in the input stream's time base, subtracted
    PacketPtr audioPacket{av_packet_alloc()};
    bool audioHeld = false, audioEnded = false;

    ~Impl() {
        sws_freeContext(sws);
        if (fmt) {
            if (fmt->pb) avio_closep(&fmt->pb);
            avformat_free_context(fmt);
        }
        if (!finished && !tmpPath.empty()) RemoveNamedFile(tmpPath);
    }

    std::string WriteError(int rc) const { return "cannot write " + path + ": " + avError(rc); }

    // Writes one packet, checking the file as well: a full disk shows in the
    // I/O context's error before any muxer call returns one.
    bool Put(AVPacket* p, std::string& error) {
        int rc = av_interleaved_write_frame(fmt, p);
        if (rc >= 0 && fmt->pb->error < 0) rc = fmt->pb->error;
        if (rc < 0) {
            error = WriteError(rc);
            return false;
        }
        return true;
    }

    // Copies audio packets that start before `until` seconds of the output.
    bool CopyAudio(double until, std::string& error) {
        if (!audioOut) return true;
        const AVStream* in = audioIn->streams[audioStream];
        while (!audioEnded) {
            if (!audioHeld) {
                const int rc = av_read_frame(audioIn.get(), audioPacket.get());
                if (rc < 0) {
                    audioEnded = true;
                    break;
                }
                if (audioPacket->stream_index != audioStream || audioPacket->pts == AV_NOPTS_VALUE ||
                    audioPacket->pts < audioOffset) {
                    av_packet_unref(audioPacket.get());
                    continue;
                }
                audioHeld = true;
            }
            if (seconds(audioPacket->pts - audioOffset, in->time_base) >= until) break;
            audioPacket->pts -= audioOffset;
            if (audioPacket->dts != AV_NOPTS_VALUE) audioPacket->dts -= audioOffset;
            audioPacket->stream_index = audioOut->index;
            audioPacket->pos = -1;
            av_packet_rescale_ts(audioPacket.get(), in->time_base, audioOut->time_base);
            audioHeld = false;
            if (!Put(audioPacket.get(), error)) return false;
        }
        return true;
    }

    // Sends `f` (null: the end) to the encoder and writes what comes out.
    bool Encode(AVFrame* f, std::string& error) {
        int rc = avcodec_send_frame(enc.get(), f);
        if (rc < 0) {
            error = path + ": the " + encoderName + " encoder refused a frame (" + avError(rc) + ")";
            return false;
        }
        for (;;) {
            rc = avcodec_receive_packet(enc.get(), packet.get());
            if (isAgain(rc) || rc == AVERROR_EOF) return true;
            if (rc < 0) {
                error = path + ": the " + encoderName + " encoder failed (" + avError(rc) + ")";
                return false;
            }
            av_packet_rescale_ts(packet.get(), enc->time_base, video->time_base);
            packet->stream_index = video->index;
            const int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            if (!CopyAudio(seconds(ts, video->time_base), error)) return false;
            if (!Put(packet.get(), error)) return false;
        }
    }

    bool OpenAudio(const AudioCopy& audio, std::string& error) {
        int stream = -1;
        audioIn = openInput(audio.from, AVMEDIA_TYPE_AUDIO, stream, error);
        if (!audioIn) return false;
        audioStream = stream;
        const AVStream* in = audioIn->streams[stream];
        const AVCodecID codec = in->codecpar->codec_id;
        if (avformat_query_codec(fmt->oformat, codec, FF_COMPLIANCE_NORMAL) == 0) {
            error = path + ": a ." + ExtensionOf(path) + " file cannot carry the " + avcodec_get_name(codec) +
                    " audio of " + audio.from + " unchanged (try .mkv or .mov)";
            return false;
        }
        const double start = fileStart(audioIn.get(), in) + audio.start;
        audioOffset = av_rescale_q(llrint(start * AV_TIME_BASE), AV_TIME_BASE_Q, in->time_base);
        if (audio.start > 0) av_seek_frame(audioIn.get(), stream, audioOffset, AVSEEK_FLAG_BACKWARD);
        audioOut = avformat_new_stream(fmt, nullptr);
        if (!audioOut || avcodec_parameters_copy(audioOut->codecpar, in->codecpar) < 0) {
            error = path + ": cannot add an audio stream";
            return false;
        }
        audioOut->codecpar->codec_tag = 0;
        audioOut->time_base = in->time_base;
        return true;
    }
};

ClipWriter::ClipWriter(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
ClipWriter::~ClipWriter() = default;

std::unique_ptr<ClipWriter> ClipWriter::Open(const std::string& path, uint32_t width, uint32_t height, double fps,
                                             const AudioCopy& audio, std::string& error) {
    quietLibraries();
    const std::string ext = ExtensionOf(path);
    const Recipe* recipe = nullptr;
    for (const Recipe& r : recipes())
        if (ext == r.extension) recipe = &r;
    if (!recipe) {
        error = path + ": unknown output extension; ffglrun writes .png, .mov, .mkv, .webm or .mp4";
        return nullptr;
    }
    auto state = std::make_unique<Impl>();
    Impl& w = *state;
    w.path = path;
    w.alpha = recipe->alpha;
    w.fps = fps;
    const AVCodec* codec = nullptr;
    for (const char* name : recipe->encoders)
        if (!codec && (codec = avcodec_find_encoder_by_name(name))) w.encoderName = name;
    if (!codec) {
        error = path + ": this FFmpeg has no " + recipe->encoders.front() + " encoder for ." + ext + " files";
        return nullptr;
    }
    int rc = avformat_alloc_output_context2(&w.fmt, nullptr, recipe->muxer, nullptr);
    if (rc < 0 || !w.fmt) {
        error = path + ": this FFmpeg cannot write ." + ext + " files";
        return nullptr;
    }

    w.enc.reset(avcodec_alloc_context3(codec));
    AVCodecContext* enc = w.enc.get();
    const AVRational rate = av_d2q(fps, 100000);
    enc->width = int(width);
    enc->height = int(height);
    enc->pix_fmt = recipe->pixels;
    enc->time_base = av_inv_q(rate);
    enc->framerate = rate;
    enc->sample_aspect_ratio = AVRational{1, 1};
    if (recipe->pixels != AV_PIX_FMT_BGRA) {
        // Tagged as what players assume for video: BT.709, limited range.
        enc->colorspace = AVCOL_SPC_BT709;
        enc->color_primaries = AVCOL_PRI_BT709;
        enc->color_trc = AVCOL_TRC_BT709;
        enc->color_range = AVCOL_RANGE_MPEG;
    }
    enc->thread_count = 0;
    if (w.fmt->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    setEncoderOptions(w.encoderName, enc);
    if ((rc = avcodec_open2(enc, codec, nullptr)) < 0) {
        error = path + ": the " + w.encoderName + " encoder refuses " + std::to_string(width) + "x" +
                std::to_string(height) + " at " + std::to_string(fps) + " frames/s (" + avError(rc) + ")";
        return nullptr;
    }
    w.video = avformat_new_stream(w.fmt, nullptr);
    if (!w.video || avcodec_parameters_from_context(w.video->codecpar, enc) < 0) {
        error = path + ": cannot add a video stream";
        return nullptr;
    }
    w.video->time_base = enc->time_base;
    w.video->avg_frame_rate = rate;
    if (!audio.from.empty() && !w.OpenAudio(audio, error)) return nullptr;

    // A temporary name beside the target, so the final rename stays on one
    // file system; creating the file reserves it. (FFmpeg takes UTF-8 names
    // on every system.)
    std::string why;
    std::FILE* reserved = CreateTemporaryBeside(path, w.tmpPath, why);
    if (!reserved) {
        error = "cannot write " + path + ": " + why;
        return nullptr;
    }
    std::fclose(reserved);
    if ((rc = avio_open(&w.fmt->pb, w.tmpPath.c_str(), AVIO_FLAG_WRITE)) < 0) {
        error = w.WriteError(rc);
        return nullptr;
    }
    if ((rc = avformat_write_header(w.fmt, nullptr)) < 0 || (rc = w.fmt->pb->error) < 0) {
        error = w.WriteError(rc);
        return nullptr;
    }

    w.frame->format = enc->pix_fmt;
    w.frame->width = enc->width;
    w.frame->height = enc->height;
    if ((rc = av_frame_get_buffer(w.frame.get(), 0)) < 0) {
        error = path + ": " + avError(rc);
        return nullptr;
    }
    w.sws = sws_getContext(int(width), int(height), AV_PIX_FMT_RGBA, int(width), int(height), enc->pix_fmt,
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!w.sws) {
        error = path + ": cannot convert RGBA to " + av_get_pix_fmt_name(enc->pix_fmt);
        return nullptr;
    }
    sws_setColorspaceDetails(w.sws, sws_getCoefficients(SWS_CS_ITU601), 1, sws_getCoefficients(SWS_CS_ITU709), 0, 0,
                             1 << 16, 1 << 16);
    return std::unique_ptr<ClipWriter>(new ClipWriter(std::move(state)));
}

const std::string& ClipWriter::Encoder() const { return impl->encoderName; }
bool ClipWriter::KeepsAlpha() const { return impl->alpha; }
bool ClipWriter::CopiesAudio() const { return impl->audioOut != nullptr; }

bool ClipWriter::Write(const Image& picture, double when, std::string& error) {
    Impl& w = *impl;
    const Image* source = &picture;
    if (!w.alpha) {
        // Over black: the colour is weighted by its coverage.
        w.composited = picture;
        for (size_t i = 0; i < w.composited.rgba.size(); i += 4) {
            uint8_t* p = &w.composited.rgba[i];
            for (int c = 0; c < 3; ++c) p[c] = uint8_t((p[c] * p[3] + 127) / 255);
            p[3] = 255;
        }
        source = &w.composited;
    }
    int rc = av_frame_make_writable(w.frame.get());
    if (rc < 0) {
        error = w.path + ": " + avError(rc);
        return false;
    }
    const uint8_t* planes[4] = {source->rgba.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(source->width) * 4, 0, 0, 0};
    sws_scale(w.sws, planes, strides, 0, int(source->height), w.frame->data, w.frame->linesize);
    // Frames keep their own times, on the output's frame grid, in order.
    w.frame->pts = std::max(w.lastPts + 1, int64_t(llrint(when * w.fps)));
    w.lastPts = w.frame->pts;
    return w.Encode(w.frame.get(), error);
}

bool ClipWriter::Finish(std::string& error) {
    Impl& w = *impl;
    if (!w.Encode(nullptr, error)) return false;
    if (!w.CopyAudio(double(w.lastPts + 1) / w.fps, error)) return false;
    int rc = av_write_trailer(w.fmt);
    if (rc >= 0 && w.fmt->pb->error < 0) rc = w.fmt->pb->error;
    const int closed = avio_closep(&w.fmt->pb);
    if (rc >= 0) rc = closed;
    if (rc < 0) {
        error = w.WriteError(rc);
        return false;
    }
    std::string why;
    if (!MoveOnto(w.tmpPath, w.path, why)) {
        error = "cannot write " + w.path + ": " + why;
        return false;
    }
    w.finished = true;
    return true;
}

}  // namespace tessivar
