#include "runner/media/Pipeline.h"

namespace tessivar {

Pipeline::~Pipeline() {
    CancelAll();
    for (std::thread& t : threads)
        if (t.joinable()) t.join();
}

void Pipeline::Start(std::function<void()> stage) {
    threads.emplace_back([this, stage = std::move(stage)] { Guarded(stage); });
}

void Pipeline::Run(const std::function<void()>& stage) { Guarded(stage); }

void Pipeline::Guarded(const std::function<void()>& stage) {
    try {
        stage();
    } catch (const Cancelled&) {
        // Another stage failed, the run was stopped, or the consumer wanted
        // no more: this stage's work is simply over.
    } catch (...) {
        Fail(std::current_exception());
    }
}

void Pipeline::Fail(std::exception_ptr failure) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!firstFailure) firstFailure = failure;
    }
    CancelAll();
}

void Pipeline::CancelAll() {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& q : queues) q->Cancel();
}

void Pipeline::Finish() {
    for (std::thread& t : threads)
        if (t.joinable()) t.join();
    threads.clear();
    std::lock_guard<std::mutex> lock(mutex);
    if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace tessivar
