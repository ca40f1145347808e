#include "runner/media/AudioFeed.h"

namespace tessivar {

bool IsFftParam(const ParamDesc& p) { return p.type == FF_TYPE_BUFFER && p.usage == FF_USAGE_FFT; }

AudioFeed::AudioFeed(const ModuleInfo& info, AudioSpectrum& source) : spectrum(source) {
    for (const ParamDesc& p : info.params)
        if (IsFftParam(p)) {
            params.push_back(p.index);
            bins.push_back(p.elements.size());
        }
}

void AudioFeed::Start(const Module& module, const Instance& instance) const {
    if (!params.empty()) module.Call(FF_SET_SAMPLE_RATE, uint32_t(spectrum.SampleRate()), instance.Id());
}

bool AudioFeed::Frame(const Module& module, const Instance& instance, double seconds, std::string& error) {
    for (size_t i = 0; i < params.size(); ++i) {
        if (!spectrum.Bins(seconds, bins[i], values, error)) return false;
        for (size_t k = 0; k < values.size(); ++k) {
            SetElementValueStruct element{params[i], uint32_t(k), values[k]};
            module.Call(FF_SET_PARAMETER_ELEMENT_VALUE, &element, instance.Id());
        }
    }
    return true;
}

}  // namespace tessivar
