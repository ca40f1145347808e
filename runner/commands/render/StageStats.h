// StageStats -- where a render run's CPU time went, stage by stage, for
// `ffglrun render --stats FILE.json` and scripts/media-bench.sh.
//
// The stages are the clip pipeline's: decode, convert in, render, convert
// out, encode. Each of our threads adds what it measured of itself; the
// libraries' worker threads are added by the name they inherited from the
// thread that started them (ThreadCpu), where the system tells. Time that
// belongs to no stage (the libraries' other threads) is "other".
#pragma once

#include <map>
#include <string>

namespace tessivar::cli {

struct StageStats {
    double decode = 0, convertIn = 0, render = 0, convertOut = 0, encode = 0, other = 0;  // CPU seconds
    std::string convertInPath = "none", convertOutPath = "none";
    bool workersCounted = false;  // the libraries' worker threads are in

    // Adds worker threads' time by name: "ffglrun-decode" and "ffglrun-encode"
    // to those stages, "ffglrun" and "llvmpipe-*" (the GL thread's and the
    // software renderer's) to render, the rest to other.
    void AddWorkers(const std::map<std::string, double>& byName);
    // Writes the breakdown as JSON, per frame; false with the reason.
    bool Write(const std::string& path, int frames, double wallSeconds, std::string& error) const;
};

// The names the threads of a render run take (at most 15 characters).
constexpr const char* kDecodeThread = "ffglrun-decode";
constexpr const char* kEncodeThread = "ffglrun-encode";
constexpr const char* kMainThread = "ffglrun";

}  // namespace tessivar::cli
