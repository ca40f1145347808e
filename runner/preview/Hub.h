// Hub -- where the preview's threads meet. The server's threads hand in what
// the page asks for (parameter changes, transport) as commands; the GL thread
// takes them before each frame and hands back encoded frames and the state
// the page shows (parameters and their values, transport, the log).
//
// Nothing here touches GL or a module: the GL thread alone does, and it only
// ever sees commands that were checked against the module's description (see
// Requests.h). Every queue is bounded, so a page or a client that floods the
// server costs memory up to a fixed amount and no more.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tessivar {
struct ModuleInfo;
}

namespace tessivar::preview {

// One thing the page asked for.
struct Command {
    enum class Kind { SetValue, SetText, Play, Pause, Step, Loop };
    Kind kind = Kind::SetValue;
    uint32_t index = 0;  // parameter, for SetValue and SetText
    float value = 0;
    std::string text;
    bool on = false;     // Loop
    uint64_t build = 0;  // the module build the parameter index belongs to
    uint64_t seq = 0;    // given by the hub, in arrival order
};

// A frame as the page receives it.
struct EncodedFrame {
    uint64_t id = 0;
    uint64_t applied = 0;            // every command up to this sequence number is in it
    double time = 0;                 // host time, seconds
    double renderMs = 0;             // the module's frame, to the end of the GPU work
    double renderFps = 0;            // frames rendered per second, lately
    uint32_t width = 0, height = 0;  // of the picture sent (may be scaled down)
    std::string mime;
    std::string bytes;
};

// One line of the host's log panel.
struct LogEntry {
    uint64_t id = 0;
    std::string kind;  // "gl" (KHR_debug), "host" (the module's log), "state" (GL state left changed), "module"
    std::string text;
    uint64_t repeats = 1;  // the same line again right after it
};

class Hub {
public:
    static constexpr size_t kMaxPendingCommands = 256;
    static constexpr size_t kMaxLogEntries = 200;

    // --- from the server's threads
    // Queues the commands as one batch with consecutive sequence numbers; the
    // last one's number goes into `seq`. False, and nothing queued, when the
    // queue has no room for all of them.
    bool Push(std::vector<Command> batch, uint64_t& seq);
    // Waits up to `timeout` for a frame newer than `after`; null when none came.
    std::shared_ptr<const EncodedFrame> WaitFrame(uint64_t after, std::chrono::milliseconds timeout);
    std::shared_ptr<const EncodedFrame> LastFrame() const;
    // The module description requests are checked against, with its build number.
    std::shared_ptr<const ModuleInfo> Module(uint64_t& build) const;
    // The state as the page reads it: {version, build, ..session.., log}.
    // Its build is the one the session's parameters were described from, so a
    // page never takes the parameters of one build for another's (a module is
    // published a moment before the session that describes it).
    std::string StateText() const;
    uint64_t StateVersion() const;

    // --- from the GL thread
    std::vector<Command> Take();
    // Sleeps until a command arrives, Stop is called or the deadline passes.
    void WaitForCommands(std::chrono::steady_clock::time_point deadline);
    void PublishFrame(std::shared_ptr<const EncodedFrame> frame);
    void PublishModule(std::shared_ptr<const ModuleInfo> info);
    // Replaces the session part of the state (parameters, transport, module).
    void PublishSession(nlohmann::json session);
    void Log(const std::string& kind, const std::string& text);

    // Ends every wait, for shutting down.
    void Stop();
    bool Stopped() const;

private:
    mutable std::mutex mutex;
    std::condition_variable commandArrived, frameArrived;
    std::deque<Command> commands;
    uint64_t nextSeq = 1;
    std::shared_ptr<const EncodedFrame> frame;
    std::shared_ptr<const ModuleInfo> module;
    uint64_t build = 0;
    nlohmann::json session = nlohmann::json::object();
    uint64_t sessionBuild = 0;  // the build when the session was published
    std::deque<LogEntry> log;
    uint64_t nextLogId = 1;
    uint64_t version = 1;
    bool stopped = false;
};

}  // namespace tessivar::preview
