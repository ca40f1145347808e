// MediaFixtures -- tiny media files the tests make themselves, and pictures
// compared the way a lossy codec allows.
#pragma once

#include "runner/GLFrame.h"
#include "tests/support/ToolShell.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
        put(uint16_t(int16_t(t >= toneFrom ? std::lround(32767 * std::sin(2 * 3.14159265358979323846 * hz * t)) : 0)),
            2);
    }
}

// Runs the ffmpeg tool (installed with the build's dependencies) to make a
// clip the runner's own writer cannot: other codecs, tags, damage.
inline bool Ffmpeg(const std::string& args) { return testtools::RunTool("ffmpeg -nostdin -v error -y " + args); }

// The first `bytes` of a file into another: a download cut short.
inline void Truncate(const std::string& from, const std::string& to, size_t bytes) {
    std::ifstream in(from, std::ios::binary);
    std::string data(bytes, '\0');
    in.read(&data[0], std::streamsize(bytes));
    std::ofstream(to, std::ios::binary).write(data.data(), in.gcount());
}

inline std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// What ffprobe says of a file: `args` select the entries, one per line.
inline std::string Probe(const std::string& path, const std::string& args) {
    const std::string to = path + ".probe";
    if (!testtools::RunTool("ffprobe -v error " + args + " " + path + " > " + to)) return "<ffprobe failed>";
    std::ifstream f(to);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// When the first stream of a kind ("v", "a") starts, in seconds.
inline double StartOf(const std::string& path, const std::string& kind) {
    return std::atof(Probe(path, "-select_streams " + kind + ":0 -show_entries stream=start_time -of csv=p=0").c_str());
}

// The audio streams' codecs, comma separated.
inline std::string AudioCodecs(const std::string& path) {
    std::string list = Probe(path, "-select_streams a -show_entries stream=codec_name -of csv=p=0");
    for (char& c : list)
        if (c == '\n') c = ',';
    if (!list.empty() && list.back() == ',') list.pop_back();
    return list;
}

// Every frame as ffmpeg decodes it (by the tags of each frame), in `pixels`.
inline std::string Decode(const std::string& path, const std::string& pixels, const std::string& scratch) {
    if (!Ffmpeg("-i " + path + " -f rawvideo -pix_fmt " + pixels + " " + scratch)) return "";
    std::ifstream f(scratch, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
inline std::string DecodeRgb24(const std::string& path, const std::string& scratch) {
    return Decode(path, "rgb24", scratch);
}

// Distinct green values in a clip's frames, decoded at 16 bits a channel.
inline int GreenLevels(const std::string& path, const std::string& scratch) {
    const std::string bytes = Decode(path, "rgb48le", scratch);
    std::vector<bool> seen(65536);
    int count = 0;
    for (size_t i = 2; i + 1 < bytes.size(); i += 6) {
        const unsigned g = uint8_t(bytes[i]) | unsigned(uint8_t(bytes[i + 1])) << 8;
        if (!seen[g]) seen[g] = true, ++count;
    }
    return count;
}

// Channel values of two RGB24 decodings apart: the median and mean over
// all, and the worst and mean where the first is flat (each pixel of a 3x3
// square within a level of the centre), away from edges that chroma
// subsampling blurs.
struct Error {
    int median = 999;
    double mean = 999;
    int flatWorst = 999;
    double flatMean = 999;
};
inline Error Errors(const std::string& a, const std::string& b, size_t width) {
    Error e;
    if (a.size() != b.size() || a.empty()) return e;
    std::vector<size_t> histogram(256);
    double sum = 0, flatSum = 0;
    size_t flat = 0;
    e.flatWorst = 0;
    const size_t row = width * 3, rows = a.size() / row;
    auto at = [&](size_t y, size_t x) { return int(uint8_t(a[y * row + x])); };
    for (size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
        ++histogram[size_t(d)];
        sum += d;
        const size_t y = i / row, x = i % row;
        bool even = y % rows > 0 && y % rows + 1 < rows && x >= 3 && x + 3 < row;
        for (int dy = -1; even && dy <= 1; ++dy)
            for (int dx = -3; even && dx <= 3; dx += 3) even = std::abs(at(y + dy, x + dx) - at(y, x)) <= 1;
        if (!even) continue;
        ++flat;
        flatSum += d;
        e.flatWorst = std::max(e.flatWorst, d);
    }
    size_t seen = 0;
    for (e.median = 0; (seen += histogram[size_t(e.median)]) * 2 < a.size(); ++e.median) {
    }
    e.mean = sum / double(a.size());
    e.flatMean = flat ? flatSum / double(flat) : 0;
    return e;
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
