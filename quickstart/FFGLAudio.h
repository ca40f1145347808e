// FFGLAudio -- loudness levels from one FFT parameter.
//
// The plugin base keeps one Audio per ParamFFT and feeds it the host's
// spectrum once per frame. Each level is the root mean square of the squared,
// gain-weighted bins of its band, smoothed over frames:
//
//     volume  all bins
//     bass    bins [0, n/3)
//     med     bins (n/3, 2n/3)        (n/3 and 2n/3 count for volume only)
//     high    bins (2n/3, n)
//
// The gain starts at 0 (every level stays 0) until SetGain is called; SetGain
// takes decibels, so SetGain(0) means unity.
//
// A band without bins (fewer than six bins in all, or none) reads 0, and a
// bin whose weighted energy is not finite counts as silent, so neither a
// short spectrum nor a bad host value ever leaves a NaN in a smoother.
#pragma once

#include <vector>

namespace ffglqs {

// Exponential smoothing: value = smoothness * value + (1 - smoothness) * x.
class SmoothValue {
public:
    explicit SmoothValue(float smoothness_ = 0.8f) : smoothness(smoothness_) {}

    void Update(float x) { value = smoothness * value + (1.0f - smoothness) * x; }
    float GetValue() const { return value; }
    void SetSmoothness(float s) { smoothness = s; }

private:
    float smoothness;
    float value = 0.0f;
};

class Audio {
public:
    Audio() = default;

    // Takes one frame of bins and updates the four levels.
    void Update(std::vector<float> bins);

    float GetVolume() const { return volume.GetValue(); }
    float GetBass() const { return bass.GetValue(); }
    float GetMed() const { return med.GetValue(); }
    float GetHigh() const { return high.GetValue(); }
    // Not implemented: always 0, whatever the arguments.
    float GetVolumeFromTo(int fromHz, int toHz) const;

    // (20 log10 x + 96) / 96 clamped to 0..1: -96 dB and below 0, 0 dB and above 1.
    static float ToDB(float x);

    void SetSmoothness(float s);
    // Stored for the plugin's use; nothing here reads them. The bin step is
    // 0 while no spectrum has arrived.
    void SetSampleRate(int rate);
    void SetGain(float dB);

    float GetMaxFrequency() const { return maxFrequency; }
    float GetBinFrequencyStep() const { return binFrequencyStep; }
    int GetSampleRate() const { return sampleRate; }
    float GetGain() const { return gain; }

private:
    std::vector<float> fft;
    SmoothValue volume;
    SmoothValue bass;
    SmoothValue med;
    SmoothValue high;
    float maxFrequency = 0.0f;
    float binFrequencyStep = 0.0f;
    int sampleRate = 0;
    float gain = 0.0f;
};

}  // namespace ffglqs
