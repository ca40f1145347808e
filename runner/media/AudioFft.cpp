// AudioSpectrum on FFmpeg: libswresample mixes down to mono, libavutil's
// av_tx does the transform.
#include "runner/media/LibAv.h"
#include "runner/media/Media.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

namespace tessivar {

using namespace libav;

namespace {

// One real transform of 2 * bins samples with its window.
// (av_tx wants its buffers from av_malloc, aligned for its vector code.)
struct Transform {
    size_t bins = 0;
    TxPtr tx;
    av_tx_fn run = nullptr;
    std::vector<float> window;
    float gain = 0;  // turns |X[k]| into the amplitude of a sine in bin k
    BufferPtr<float> in;
    BufferPtr<AVComplexFloat> out;

    bool Init(size_t n) {
        bins = n;
        const size_t len = 2 * n;
        const float scale = 1.0f;
        AVTXContext* made = nullptr;
        const int rc = av_tx_init(&made, &run, AV_TX_FLOAT_RDFT, 0, int(len), &scale, 0);
        tx.reset(made);
        if (rc < 0) return false;
        in.reset(static_cast<float*>(av_malloc(len * sizeof(float))));
        out.reset(static_cast<AVComplexFloat*>(av_malloc((n + 1) * sizeof(AVComplexFloat))));
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
    SwrPtr swr;
    int rate = 0;
    std::vector<float> samples;  // mono, from sample number `first` of the file on
    int64_t first = 0;
    bool positioned = false;  // `first` is known from a decoded frame's time
    bool ended = false;
    std::vector<std::unique_ptr<Transform>> transforms;

    // Decodes until sample `upTo` is in (or the file ends).
    bool Fill(int64_t upTo, std::string& error) {
        std::vector<float> mono;
        while (!ended && first + int64_t(samples.size()) < upTo) {
            if (!d.Next(error)) {
                ended = true;
                return error.empty();
            }
            AVFrame* f = d.frame.get();
            mono.resize(size_t(swr_get_out_samples(swr.get(), f->nb_samples)));
            uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(mono.data())};
            const int got = swr_convert(swr.get(), outPlanes, int(mono.size()),
                                        const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
            const double t = d.FrameTime();
            av_frame_unref(f);
            if (got < 0) {
                error = d.path + ": cannot mix its audio down (" + AvError(got) + ")";
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
    return Open(std::make_unique<Impl>(), path, error);
}

std::unique_ptr<AudioSpectrum> AudioSpectrum::Open(const uint8_t* data, size_t size, const std::string& name,
                                                   std::string& error) {
    auto state = std::make_unique<Impl>();
    if (!(state->d.memory = OpenMemoryIO(data, size))) {
        error = OutOfMemory(name, "reading it from memory");
        return nullptr;
    }
    return Open(std::move(state), name, error);
}

std::unique_ptr<AudioSpectrum> AudioSpectrum::Open(std::unique_ptr<Impl> state, const std::string& path,
                                                   std::string& error) {
    if (!OpenDecoding(state->d, path, AVMEDIA_TYPE_AUDIO, error)) return nullptr;
    AVCodecContext* dec = state->d.dec.get();
    state->rate = dec->sample_rate;
    AVChannelLayout inLayout{};
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, dec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&inLayout, &dec->ch_layout);
    AVChannelLayout mono{};
    av_channel_layout_default(&mono, 1);
    SwrContext* swr = nullptr;
    int rc = state->rate > 0 ? swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, state->rate, &inLayout,
                                                   dec->sample_fmt, state->rate, 0, nullptr)
                             : AVERROR(EINVAL);
    state->swr.reset(swr);
    if (rc >= 0) rc = swr_init(swr);
    av_channel_layout_uninit(&inLayout);
    if (rc < 0) {
        error = path + ": cannot mix its audio down (" + AvError(rc) + ")";
        return nullptr;
    }
    return std::unique_ptr<AudioSpectrum>(new AudioSpectrum(std::move(state)));
}

int AudioSpectrum::SampleRate() const { return impl->rate; }

double AudioSpectrum::Duration() const {
    const AVStream* st = impl->d.Stream();
    const AVFormatContext* fmt = impl->d.fmt.get();
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        return Seconds(st->start_time == AV_NOPTS_VALUE ? st->duration : st->start_time + st->duration, st->time_base) -
               impl->d.startTime;
    return fmt->duration > 0 ? double(fmt->duration) / AV_TIME_BASE : 0.0;
}

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
            error = OutOfMemory(impl->d.path, "a transform of " + std::to_string(2 * bins) + " samples");
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
        t->in.get()[i] = s * t->window[size_t(i)];
    }
    t->run(t->tx.get(), t->out.get(), t->in.get(), sizeof(float));
    for (size_t k = 0; k < bins; ++k)
        out[k] = std::hypot(t->out.get()[k].re, t->out.get()[k].im) * t->gain * (k == 0 ? 0.5f : 1.0f);
    // Keep enough behind for the largest window another parameter may ask
    // for at the same moment.
    impl->Drop(from - (int64_t(1) << 13));
    return true;
}

}  // namespace tessivar
