// AudioFeed -- what a host does for a module's audio-reactive parameters:
// it sends the sample rate once and, before each frame, writes the spectrum
// around that frame's time into every FFT parameter, one element per bin.
//
//     AudioFeed feed(info, *spectrum);
//     feed.Start(module, instance);
//     feed.Frame(module, instance, seconds, error);   // before each frame
#pragma once

#include "runner/media/Media.h"
#include "runner/Module.h"

#include <string>
#include <vector>

namespace tessivar {

class AudioFeed {
public:
    AudioFeed(const ModuleInfo& info, AudioSpectrum& spectrum);

    // The indices of the parameters that take a spectrum.
    const std::vector<uint32_t>& Params() const { return params; }
    void Start(const Module& module, const Instance& instance) const;
    bool Frame(const Module& module, const Instance& instance, double seconds, std::string& error);

private:
    AudioSpectrum& spectrum;
    std::vector<uint32_t> params;
    std::vector<size_t> bins;
    std::vector<float> values;
};

// Whether a parameter takes an audio spectrum.
bool IsFftParam(const ParamDesc& p);

}  // namespace tessivar
