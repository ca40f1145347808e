#include "runner/commands/render/StageStats.h"

#include "runner/platform/Paths.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace tessivar::cli {

void StageStats::AddWorkers(const std::map<std::string, double>& byName) {
    workersCounted = !byName.empty() || workersCounted;
    for (const auto& [name, seconds] : byName) {
        if (name == kDecodeThread)
            decode += seconds;
        else if (name == kEncodeThread)
            encode += seconds;
        else if (name == kMainThread || name.rfind("llvmpipe", 0) == 0)
            render += seconds;
        else
            other += seconds;
    }
}

bool StageStats::Write(const std::string& path, int frames, double wallSeconds, std::string& error) const {
    const double perFrame = frames > 0 ? 1000.0 / frames : 0.0;
    auto ms = [perFrame](double seconds) { return std::round(seconds * perFrame * 100.0) / 100.0; };
    nlohmann::json j = {
        {"frames", frames},
        {"wall_seconds", wallSeconds},
        {"frames_per_second", wallSeconds > 0 ? frames / wallSeconds : 0.0},
        {"convert_in", convertInPath},
        {"convert_out", convertOutPath},
        {"worker_threads_counted", workersCounted},
        {"cpu_ms_per_frame",
         {{"decode", ms(decode)},
          {"convert_in", ms(convertIn)},
          {"render", ms(render)},
          {"convert_out", ms(convertOut)},
          {"encode", ms(encode)},
          {"other", ms(other)},
          {"total", ms(decode + convertIn + render + convertOut + encode + other)}}},
    };
    const std::string text = j.dump(2) + "\n";
    std::FILE* f = OpenNamedFile(path, "wb");
    const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = f && std::fclose(f) == 0;
    if (!written || !closed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace tessivar::cli
