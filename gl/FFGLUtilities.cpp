#include "gl/FFGLUtilities.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ffglex {

void Log(const std::string& message) {
    const std::string line = message + "\n";
    std::printf("%s", line.c_str());
}

bool is_power_of_2(unsigned int x) { return x != 0 && (x & (x - 1)) == 0; }

int npot(int n) {
    uint32_t x = static_cast<uint32_t>(n);
    if ((x ^ (x - 1)) > x - 1) return n;  // a power of two (0 wraps and fails this test)
    while (x & (x - 1)) x &= x - 1;       // keep only the highest set bit
    return static_cast<int>(x * 2);
}

namespace {

template <typename T>
void hsvToRgb(T h, T s, T v, T& r, T& g, T& b) {
    if (s == 0) {
        r = g = b = v;
        return;
    }
    const T i = std::floor(h * 6);
    const T f = h * 6 - i;
    const T p = v * (1 - s);
    const T q = v * (1 - s * f);
    const T t = v * (1 - s * (1 - f));
    // Any other sector (5, hue 1.0, hues outside 0..1) is the last one.
    const int sector = (i >= 0 && i <= 4) ? static_cast<int>(i) : 5;
    switch (sector) {
        case 0:
            r = v;
            g = t;
            b = p;
            break;
        case 1:
            r = q;
            g = v;
            b = p;
            break;
        case 2:
            r = p;
            g = v;
            b = t;
            break;
        case 3:
            r = p;
            g = q;
            b = v;
            break;
        case 4:
            r = t;
            g = p;
            b = v;
            break;
        default:
            r = v;
            g = p;
            b = q;
            break;
    }
}

}  // namespace

void HSVtoRGB(float h, float s, float v, float& r, float& g, float& b) { hsvToRgb(h, s, v, r, g, b); }

void HSVtoRGB(double h, double s, double v, double* r, double* g, double* b) { hsvToRgb(h, s, v, *r, *g, *b); }

float random(float min, float max) {
    const float r = static_cast<float>(std::rand());
    return r / (2147483648.0f / (max - min)) + min;
}

float clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }

float clamp(float value, float min, float max) { return std::max(min, std::min(max, value)); }

float map(float x, float a, float b, float c, float d) {
    const float y = (d - c) * (x - a) / (b - a) + c;
    return std::max(c, std::min(d, y));
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty() || from == to) return;
    // Resuming at the start of the inserted text lets a replacement join with
    // what follows; that only ends if the replacement cannot match by itself.
    const bool resumeAfter = to.find(from) != std::string::npos;
    size_t at = text.find(from);
    while (at != std::string::npos) {
        text.replace(at, from.size(), to);
        at = text.find(from, resumeAfter ? at + to.size() : at);
    }
}

}  // namespace ffglex
