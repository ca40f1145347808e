// Session -- the preview's GL thread: one instance of the module rendering
// its inputs, steered by the page's commands, reloaded when the module file
// changes.
//
// Each turn of the loop takes the queued commands (parameter changes,
// transport), looks at the module file every quarter second, and renders a
// frame when one is due (playing) or something changed (a parameter, a step,
// a new build). Each frame is read back and handed to the encoder; the
// parameter events the module raised are collected and its new values read.
//
// A new build is loaded beside the running one and given an instance and the
// same parameter values (by name and type); only when all of that worked does
// it replace the old one. A build that fails leaves the old one running and
// its error in the state, until a good build arrives. A build that crashes
// once running (runner/platform/CrashGuard.h) is called no more: the page
// keeps its last frame and the crash's line, until the next build.
//
// The state it publishes (Hub::StateText), besides version, build and log:
//   module     {path, name, id, type, loads, error, crash}
//   size       [width, height] of the render
//   params     [{index, name, type, usage, group, visible, min, max, default,
//                defaultText, elements, elementCount, value, text, display}]
//   transport  {source: clip|still|none, playing, loop, fps, duration, clip}
#pragma once

#include "runner/FrameHost.h"
#include "runner/commands/Commands.h"
#include "runner/media/AudioFeed.h"
#include "runner/platform/gl/HeadlessGL.h"
#include "runner/preview/FrameEncoder.h"
#include "runner/preview/Hub.h"
#include "runner/preview/InputFeed.h"
#include "runner/preview/ModuleBuild.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tessivar::preview {

class Session {
public:
    Session(const cli::PreviewArgs& args, Hub& hub);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The module, inputs and audio; before any GL. Throws with one line.
    void Open();
    // The instance and the settings of --set; the context must be current.
    void Start(HeadlessGL& gl, FrameEncoder& encoder);
    // Runs until `stop` answers true (it is asked a few times a second).
    void Run(bool (*stop)());

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    const ModuleInfo& Info() const { return build->Info(); }
    double FrameRate() const { return feed.FrameRate(); }

private:
    struct Value {
        float number = 0;
        std::string text, display;
    };
    using Clock = std::chrono::steady_clock;

    void Apply(const Command& c);
    void Reload();
    bool MakeHost(ModuleBuild& next, std::unique_ptr<FrameHost>& host, std::string& error);
    void CarryValues(const ModuleBuild& next, FrameHost& host) const;
    void Install(std::unique_ptr<ModuleBuild> next, std::unique_ptr<FrameHost> host);
    bool AdvanceInput();
    void RewindInput();
    void Render();
    void ReadValue(uint32_t index);
    // Logs, once per build, a GL state the call watched left changed.
    void LogStateChange(const std::string& what, const GLStateWatch& state);
    void Publish();
    // Takes note, once, that the running build crashed.
    void NoticeCrash();

    const cli::PreviewArgs& args;
    Hub& hub;
    FrameEncoder* encoder = nullptr;
    WorkFolder work;
    std::unique_ptr<FileWatch> watch;
    std::unique_ptr<ModuleBuild> build;
    std::unique_ptr<FrameHost> host;
    std::unique_ptr<AudioSpectrum> spectrum;
    std::unique_ptr<AudioFeed> audio;
    InputFeed feed;
    uint32_t width = 0, height = 0;
    std::vector<Value> values;
    int loads = 0;
    std::string loadError, crashLine;
    bool playing = true, loop = true, dirty = true, atEnd = false;
    uint64_t applied = 0, frameId = 0;
    std::deque<Clock::time_point> recent;  // when the last frames finished, for frames/s
    std::set<std::string> stateProblems;   // each GL state change is logged once per build
};

}  // namespace tessivar::preview
