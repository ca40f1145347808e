// MediaFixtures -- tiny media files the tests make themselves, and pictures
// compared the way a lossy codec allows.
#pragma once

#include "runner/GLFrame.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace mediatest {

// A mono 16-bit WAV of `seconds` at `rate`: silence, then a full-scale sine
// of `hz` from `toneFrom` seconds on.
inline void WriteToneWav(const std::string& path, uint32_t rate, double seconds, double hz, double toneFrom) {
    const uint32_t n = uint32_t(rate * seconds);
    std::ofstream f(path, std::ios::binary);
    auto put = [&f](uint32_t v, int bytes) { f.write(reinterpret_cast<const char*>(&v), bytes); };
    f << "RIFF";
    put(36 + n * 2, 4);
    f << "WAVEfmt ";
    put(16, 4), put(1, 2), put(1, 2), put(rate, 4), put(rate * 2, 4), put(2, 2), put(16, 2);
    f << "data";
    put(n * 2, 4);
    for (uint32_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        put(uint16_t(int16_t(t >= toneFrom ? std::lround(32767 * std::sin(2 * 3.14159265358979323846 * hz * t)) : 0)), 2);
    }
}

// Mean absolute difference per channel value; alpha only when `alpha`.
inline double MeanDifference(const tessivar::Image& a, const tessivar::Image& b, bool alpha) {
    if (a.width != b.width || a.height != b.height) return 1e9;
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i) {
        if (i % 4 == 3 && !alpha) continue;
        sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
        ++count;
    }
    return count ? sum / double(count) : 0.0;
}

}  // namespace mediatest
