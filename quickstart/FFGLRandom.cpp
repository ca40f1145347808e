#include "quickstart/FFGLRandom.h"

#include <utility>

namespace ffglqs {

// The default device: every platform has one (there is no /dev/urandom on
// Windows, and naming it there throws).
Random::Random() : generator(randomDevice()) {}

// The distributions require min <= max; bounds given the other way round
// describe the same range.
int Random::GetRandomInt(int min, int max) {
    if (min > max) std::swap(min, max);
    std::uniform_int_distribution<int> distribution(min, max);
    return distribution(generator);
}

float Random::GetRandomFloat(float min, float max) {
    if (min > max) std::swap(min, max);
    std::uniform_real_distribution<double> distribution(static_cast<double>(min), static_cast<double>(max));
    return static_cast<float>(distribution(generator));
}

}  // namespace ffglqs
