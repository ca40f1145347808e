#include "runner/preview/Hub.h"

#include "runner/Module.h"

namespace tessivar::preview {

bool Hub::Push(std::vector<Command> batch, uint64_t& seq) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped || commands.size() + batch.size() > kMaxPendingCommands) return false;
        for (Command& c : batch) {
            c.seq = nextSeq++;
            commands.push_back(std::move(c));
        }
        seq = nextSeq - 1;
    }
    commandArrived.notify_all();
    return true;
}

std::vector<Command> Hub::Take() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Command> out(std::make_move_iterator(commands.begin()), std::make_move_iterator(commands.end()));
    commands.clear();
    return out;
}

void Hub::WaitForCommands(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    commandArrived.wait_until(lock, deadline, [this] { return stopped || !commands.empty(); });
}

std::shared_ptr<const EncodedFrame> Hub::WaitFrame(uint64_t after, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    frameArrived.wait_for(lock, timeout, [&] { return stopped || (frame && frame->id > after); });
    return frame && frame->id > after ? frame : nullptr;
}

std::shared_ptr<const EncodedFrame> Hub::LastFrame() const {
    std::lock_guard<std::mutex> lock(mutex);
    return frame;
}

void Hub::PublishFrame(std::shared_ptr<const EncodedFrame> f) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        frame = std::move(f);
    }
    frameArrived.notify_all();
}

void Hub::PublishModule(std::shared_ptr<const ModuleInfo> info) {
    std::lock_guard<std::mutex> lock(mutex);
    module = std::move(info);
    ++build;
    ++version;
}

std::shared_ptr<const ModuleInfo> Hub::Module(uint64_t& b) const {
    std::lock_guard<std::mutex> lock(mutex);
    b = build;
    return module;
}

void Hub::PublishSession(nlohmann::json s) {
    std::lock_guard<std::mutex> lock(mutex);
    if (s == session && sessionBuild == build) return;
    session = std::move(s);
    sessionBuild = build;
    ++version;
}

void Hub::Log(const std::string& kind, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    ++version;
    if (!log.empty() && log.back().kind == kind && log.back().text == text) {
        ++log.back().repeats;
        return;
    }
    log.push_back({nextLogId++, kind, text, 1});
    if (log.size() > kMaxLogEntries) log.pop_front();
}

std::string Hub::StateText() const {
    std::lock_guard<std::mutex> lock(mutex);
    nlohmann::json state = session;
    state["version"] = version;
    state["build"] = sessionBuild;
    auto& entries = state["log"] = nlohmann::json::array();
    for (const LogEntry& e : log)
        entries.push_back({{"id", e.id}, {"kind", e.kind}, {"text", e.text}, {"repeats", e.repeats}});
    // Texts come from the module and the driver: anything not UTF-8 is
    // replaced rather than failing the whole answer.
    return state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

uint64_t Hub::StateVersion() const {
    std::lock_guard<std::mutex> lock(mutex);
    return version;
}

void Hub::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    commandArrived.notify_all();
    frameArrived.notify_all();
}

bool Hub::Stopped() const {
    std::lock_guard<std::mutex> lock(mutex);
    return stopped;
}

}  // namespace tessivar::preview
