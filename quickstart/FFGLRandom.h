// FFGLRandom -- CPU-side random numbers for a quick-start plugin.
//
// Each plugin owns one, seeded once from the system's random device. Ranges
// are inclusive for integers; floats lie in [min, max] (rounding to float may
// reach max). Bounds may come in either order.
#pragma once

#include <random>

namespace ffglqs {

class Random {
public:
    // Throws what std::random_device throws when the device cannot be opened.
    Random();

    int GetRandomInt(int min, int max);
    float GetRandomFloat(float min, float max);

private:
    std::random_device randomDevice;
    std::mt19937 generator;
};

}  // namespace ffglqs
