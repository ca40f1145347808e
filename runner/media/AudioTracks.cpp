#include "runner/media/AudioTracks.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

namespace tessivar::libav {

namespace {

// Whether `muxer` takes `par` as it is: a header with that stream alone,
// written to memory.
bool takesUnchanged(const AVOutputFormat* muxer, const AVCodecParameters* par) {
    if (avformat_query_codec(muxer, par->codec_id, FF_COMPLIANCE_NORMAL) != 1) return false;
    AVFormatContext* made = nullptr;
    avformat_alloc_output_context2(&made, muxer, nullptr, nullptr);
    const OutputPtr trial(made);
    if (!trial) return false;
    AVStream* st = avformat_new_stream(trial.get(), nullptr);
    bool ok = st && avcodec_parameters_copy(st->codecpar, par) >= 0 && avio_open_dyn_buf(&trial->pb) >= 0;
    if (ok) {
        st->codecpar->codec_tag = 0;
        st->time_base = {1, par->sample_rate > 0 ? par->sample_rate : 48000};
        ok = avformat_write_header(trial.get(), nullptr) >= 0;
        uint8_t* bytes = nullptr;
        avio_close_dyn_buf(trial->pb, &bytes);  // a memory buffer: closed by its own call
        const BufferPtr<uint8_t> written(bytes);
        trial->pb = nullptr;
    }
    return ok;
}

// Samples of every channel, as swr_convert writes them.
struct SampleBuffer {
    uint8_t** planes = nullptr;
    ~SampleBuffer() {
        if (planes) av_freep(&planes[0]);
        av_freep(&planes);
    }
    bool Allocate(int channels, int samples, AVSampleFormat format) {
        return av_samples_alloc_array_and_samples(&planes, nullptr, channels, samples, format, 0) >= 0;
    }
};

}  // namespace

// One track: its input and output streams and, when re-encoded, the
// decoder, resampler, sample queue and encoder between them.
struct AudioTracks::Track {
    int inIndex = -1;
    std::string outPath;  // of the output, for messages
    AVStream* out = nullptr;
    AVRational inBase{1, 1};
    int64_t offset = 0;  // the output's 0 in the input's time base
    // Re-encoding:
    CodecPtr dec, enc;
    SwrPtr swr;
    AudioFifoPtr fifo;
    FramePtr decoded{av_frame_alloc()}, chunk{av_frame_alloc()};
    PacketPtr encoded{av_packet_alloc()};
    int64_t nextPts = AV_NOPTS_VALUE;  // of the next chunk, in samples of the output

    bool Copies() const { return !enc; }
    bool OpenEncoder(const std::string& name, const AVStream* source, bool globalHeader, std::string& error);
    bool Decode(AVPacket* p, const Put& put, std::string& error);
    bool Drain(bool all, const Put& put, std::string& error);
};

bool AudioTracks::Track::OpenEncoder(const std::string& name, const AVStream* source, bool globalHeader,
                                     std::string& error) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(name.c_str());
    const AVCodec* decoder = avcodec_find_decoder(source->codecpar->codec_id);
    if (!encoder || !decoder) {
        error = std::string("no ") +
                (!encoder ? name + " encoder" : std::string(avcodec_get_name(source->codecpar->codec_id)) + " decoder");
        return false;
    }
    dec.reset(avcodec_alloc_context3(decoder));
    enc.reset(avcodec_alloc_context3(encoder));
    if (!dec || !enc || !decoded || !chunk || !encoded) {
        error = "out of memory for re-encoding it";
        return false;
    }
    int rc = avcodec_parameters_to_context(dec.get(), source->codecpar);
    dec->pkt_timebase = source->time_base;
    if (rc >= 0) rc = avcodec_open2(dec.get(), decoder, nullptr);
    if (rc < 0) {
        error = "cannot decode it (" + AvError(rc) + ")";
        return false;
    }
    // The source's rate when the encoder takes it, else its highest.
    int rate = dec->sample_rate, best = 0;
    const int* rates = EncoderSampleRates(encoder);
    bool takes = !rates;
    for (const int* r = rates; r && *r; ++r) {
        takes |= *r == rate;
        best = std::max(best, *r);
    }
    enc->sample_rate = takes ? rate : best;
    const AVSampleFormat* formats = EncoderSampleFormats(encoder);
    enc->sample_fmt = formats ? formats[0] : AV_SAMPLE_FMT_FLTP;
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&enc->ch_layout, dec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&enc->ch_layout, &dec->ch_layout);
    enc->time_base = {1, enc->sample_rate};
    if (globalHeader) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    SwrContext* s = nullptr;
    rc = swr_alloc_set_opts2(&s, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &enc->ch_layout, dec->sample_fmt,
                             dec->sample_rate, 0, nullptr);
    swr.reset(s);
    if (rc >= 0) rc = swr_init(s);
    if (rc >= 0) rc = avcodec_open2(enc.get(), encoder, nullptr);
    if (rc >= 0) rc = avcodec_parameters_from_context(out->codecpar, enc.get());
    if (rc < 0) {
        error = "cannot re-encode it as " + name + " (" + AvError(rc) + ")";
        return false;
    }
    fifo.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 4096));
    if (!fifo) {
        error = "out of memory for re-encoding it";
        return false;
    }
    out->time_base = enc->time_base;
    return true;
}

// Decodes a packet (null: the end) into the queue, resampled, and encodes
// every whole chunk in it.
bool AudioTracks::Track::Decode(AVPacket* p, const Put& put, std::string& error) {
    int rc = avcodec_send_packet(dec.get(), p);
    if (rc < 0 && rc != AVERROR_EOF && !IsAgain(rc)) return true;  // damage: skipped, as for video
    while ((rc = avcodec_receive_frame(dec.get(), decoded.get())) == 0) {
        const int64_t ts = decoded->best_effort_timestamp;
        if (nextPts == AV_NOPTS_VALUE) {
            // The first samples: those before the output's 0 (a seek lands
            // on a packet before --start) are dropped, so the encoder starts at 0.
            nextPts = ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts - offset, inBase, enc->time_base);
            if (nextPts < 0) swr_drop_output(swr.get(), int(-nextPts));
            nextPts = std::max<int64_t>(nextPts, 0);
        }
        const int room = swr_get_out_samples(swr.get(), decoded->nb_samples);
        SampleBuffer resampled;
        if (!resampled.Allocate(enc->ch_layout.nb_channels, room, enc->sample_fmt)) {
            error = OutOfMemory(outPath, "its audio");
            return false;
        }
        const int got = swr_convert(swr.get(), resampled.planes, room,
                                    const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
        if (got > 0 && av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(resampled.planes), got) < got) {
            error = OutOfMemory(outPath, "its audio");
            return false;
        }
        av_frame_unref(decoded.get());
    }
    return Drain(false, put, error);
}

// Encodes the queue's whole chunks; with `all`, the rest too and the encoder's tail.
bool AudioTracks::Track::Drain(bool all, const Put& put, std::string& error) {
    const int size = enc->frame_size > 0 ? enc->frame_size : 1024;
    while (av_audio_fifo_size(fifo.get()) >= (all ? 1 : size)) {
        const int n = std::min(size, av_audio_fifo_size(fifo.get()));
        av_frame_unref(chunk.get());
        chunk->nb_samples = n;
        chunk->format = enc->sample_fmt;
        chunk->sample_rate = enc->sample_rate;
        av_channel_layout_copy(&chunk->ch_layout, &enc->ch_layout);
        if (av_frame_get_buffer(chunk.get(), 0) < 0) {
            error = OutOfMemory(outPath, "its audio");
            return false;
        }
        av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->data), n);
        chunk->pts = nextPts;
        nextPts += n;
        if (avcodec_send_frame(enc.get(), chunk.get()) < 0) break;
        while (avcodec_receive_packet(enc.get(), encoded.get()) == 0) {
            // (The first packets start before 0 by the encoder's delay, which
            // the muxer records for players to skip.)
            encoded->stream_index = out->index;
            av_packet_rescale_ts(encoded.get(), enc->time_base, out->time_base);
            if (!put(encoded.get(), error)) return false;
        }
    }
    if (!all) return true;
    avcodec_send_frame(enc.get(), nullptr);
    while (avcodec_receive_packet(enc.get(), encoded.get()) == 0) {
        encoded->stream_index = out->index;
        av_packet_rescale_ts(encoded.get(), enc->time_base, out->time_base);
        if (!put(encoded.get(), error)) return false;
    }
    return true;
}

AudioTracks::AudioTracks() = default;
AudioTracks::~AudioTracks() = default;

int AudioTracks::Count() const { return int(tracks.size()); }

bool AudioTracks::Open(const std::string& source, double start, AVFormatContext* out, const std::string& outputPath,
                       std::string& error) {
    from = source;
    outPath = outputPath;
    if (!held) {
        error = OutOfMemory(outPath, "its audio");
        return false;
    }
    int best = -1;
    in = OpenInput(from, AVMEDIA_TYPE_AUDIO, best, error);
    if (!in) return false;
    offset = FileStart(in.get(), in->streams[best]) + start;
    const std::string ext = outPath.substr(outPath.rfind('.') + 1);
    const std::string reencoder = ext == "webm" ? "libopus" : "aac";
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream* st = in->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        auto t = std::make_unique<Track>();
        t->inIndex = int(i);
        t->outPath = outPath;
        t->inBase = st->time_base;
        t->offset = av_rescale_q(llrint(offset * AV_TIME_BASE), AVRational{1, AV_TIME_BASE}, st->time_base);
        t->out = avformat_new_stream(out, nullptr);
        if (!t->out) {
            error = outPath + ": cannot add an audio stream";
            return false;
        }
        av_dict_copy(&t->out->metadata, st->metadata, 0);
        t->out->disposition = st->disposition;
        const char* codec = avcodec_get_name(st->codecpar->codec_id);
        if (takesUnchanged(out->oformat, st->codecpar)) {
            avcodec_parameters_copy(t->out->codecpar, st->codecpar);
            t->out->codecpar->codec_tag = 0;
            t->out->time_base = st->time_base;
        } else {
            std::string why;
            if (!t->OpenEncoder(reencoder, st, out->oformat->flags & AVFMT_GLOBALHEADER, why)) {
                error = outPath + ": a ." + ext + " file cannot carry the " + codec + " audio of " + from +
                        " unchanged, and " + why;
                return false;
            }
            notes.push_back("audio track " + std::to_string(tracks.size() + 1) + " (" + codec + ") of " + from +
                            " is re-encoded as " + avcodec_get_name(t->enc->codec_id) + ": a ." + ext +
                            " file cannot carry it unchanged");
        }
        tracks.push_back(std::move(t));
    }
    if (start > 0) av_seek_frame(in.get(), -1, llrint(offset * AV_TIME_BASE), AVSEEK_FLAG_BACKWARD);
    return true;
}

// Copies or decodes one packet of the input into its track.
bool AudioTracks::Route(AVPacket* p, const Put& put, std::string& error) {
    for (auto& t : tracks) {
        if (t->inIndex != p->stream_index) continue;
        if (!t->Copies()) return t->Decode(p, put, error);
        if (p->pts == AV_NOPTS_VALUE || p->pts < t->offset) return true;  // before the output's 0
        p->pts -= t->offset;
        if (p->dts != AV_NOPTS_VALUE) p->dts -= t->offset;
        p->stream_index = t->out->index;
        p->pos = -1;
        av_packet_rescale_ts(p, t->inBase, t->out->time_base);
        return put(p, error);
    }
    return true;
}

bool AudioTracks::WriteUntil(double until, const Put& put, std::string& error) {
    while (in && !ended) {
        if (!holding) {
            if (av_read_frame(in.get(), held.get()) < 0) {
                ended = true;
                break;
            }
            holding = true;
        }
        const AVStream* st = in->streams[held->stream_index];
        const bool audio = st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        if (audio && held->pts != AV_NOPTS_VALUE && Seconds(held->pts, st->time_base) - offset >= until) break;
        holding = false;
        const bool ok = !audio || Route(held.get(), put, error);
        av_packet_unref(held.get());
        if (!ok) return false;
    }
    return true;
}

bool AudioTracks::Finish(double until, const Put& put, std::string& error) {
    if (!WriteUntil(until, put, error)) return false;
    for (auto& t : tracks)
        if (!t->Copies() && (!t->Decode(nullptr, put, error) || !t->Drain(true, put, error))) return false;
    return true;
}

}  // namespace tessivar::libav
