#include "quickstart/FFGLAudio.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace ffglqs {

namespace {

struct Band {
    double sum = 0.0;
    size_t count = 0;

    void Add(double e) {
        sum += e;
        ++count;
    }
    // Root mean square; a band that got no bins is silent rather than 0/0.
    float Level() const {
        if (count == 0) return 0.0f;
        const float level = static_cast<float>(std::sqrt(sum / static_cast<double>(count)));
        return std::isfinite(level) ? level : 0.0f;
    }
};

}  // namespace

void Audio::Update(std::vector<float> bins) {
    fft = std::move(bins);
    const size_t n = fft.size();
    const size_t t = n / 3;
    const size_t u = 2 * t;

    Band all, low, mid, top;
    for (size_t i = 0; i < n; ++i) {
        double e = static_cast<double>(fft[i]) * static_cast<double>(fft[i]) * static_cast<double>(gain);
        if (!std::isfinite(e)) e = 0.0;  // one bad value must not poison the smoothed level for good
        all.Add(e);
        if (i < t) low.Add(e);
        if (t < i && i < u) mid.Add(e);
        if (i > u) top.Add(e);
    }

    volume.Update(all.Level());
    bass.Update(low.Level());
    med.Update(mid.Level());
    high.Update(top.Level());
}

float Audio::GetVolumeFromTo(int, int) const { return 0.0f; }

float Audio::ToDB(float x) {
    const float db = (20.0f * std::log10(x) + 96.0f) / 96.0f;
    if (db > 1.0f) return 1.0f;
    if (db >= 0.0f) return db;
    return 0.0f;  // below -96 dB, log10(0) = -inf, and NaN
}

void Audio::SetSmoothness(float s) {
    volume.SetSmoothness(s);
    bass.SetSmoothness(s);
    med.SetSmoothness(s);
    high.SetSmoothness(s);
}

void Audio::SetSampleRate(int rate) {
    sampleRate = rate;
    maxFrequency = static_cast<float>(rate) * 0.5f;
    binFrequencyStep = fft.empty() ? 0.0f : maxFrequency / static_cast<float>(fft.size());
}

void Audio::SetGain(float dB) { gain = std::pow(10.0f, dB / 20.0f); }

}  // namespace ffglqs
