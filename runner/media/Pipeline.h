// Pipeline -- stages of a clip run working at once: each on a thread of its
// own (decode, encode) or on the caller's (the GL thread, which alone may
// touch the context), joined by small bounded queues.
//
//     Pipeline p;
//     auto& decoded = p.MakeQueue<Picture>(2);
//     auto& rendered = p.MakeQueue<Picture>(2);
//     p.Start([&] { Picture f; while (reader.Next(f)) decoded.Push(std::move(f)); decoded.Close(); });
//     p.Start([&] { Picture f; while (rendered.Pop(f)) writer.Write(f); writer.Finish(); });
//     p.Run([&] { Picture f; while (decoded.Pop(f)) rendered.Push(render(f)); rendered.Close(); });
//     p.Finish();   // joins; rethrows the first stage's failure
//
// Order: every queue has one producer and one consumer and is first in,
// first out, so frames leave a stage in the order they came.
//
// Stopping: a stage fails by throwing (an interruption, noticed by the GL
// stage between frames, is thrown like any failure). The first failure
// cancels every queue, which makes every other stage's next Push or Pop (or
// the one it is waiting in) throw Cancelled; the stage unwinds without
// finishing its work, so a writer is never finished on half the frames.
// Finish rethrows that first failure once every thread has ended. A consumer
// that wants no more (the frame count reached) cancels only its upstream
// queue: the producer unwinds quietly and the rest of the pipeline ends
// normally.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tessivar {

// Thrown out of Push and Pop on a cancelled queue; the pipeline takes it as
// a stage's quiet end, not as a failure.
struct Cancelled {};

class QueueBase {
public:
    virtual ~QueueBase() = default;
    virtual void Cancel() = 0;
};

// A first-in first-out queue of at most `capacity` items between two threads.
template <class T>
class BoundedQueue : public QueueBase {
public:
    explicit BoundedQueue(size_t limit) : capacity(limit < 1 ? 1 : limit) {}

    // Waits while full. Throws Cancelled once the queue is cancelled.
    void Push(T item) {
        std::unique_lock<std::mutex> lock(mutex);
        auto room = [&] { return cancelled || items.size() < capacity; };
        if (!room()) {
            ++pushesWaiting;
            changed.wait(lock, room);
            --pushesWaiting;
        }
        if (cancelled) throw Cancelled{};
        items.push_back(std::move(item));
        changed.notify_all();
    }
    // Waits while empty and open. False once closed and drained; throws
    // Cancelled once the queue is cancelled, whatever it still holds.
    bool Pop(T& item) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return cancelled || closed || !items.empty(); });
        if (cancelled) throw Cancelled{};
        if (items.empty()) return false;
        item = std::move(items.front());
        items.pop_front();
        changed.notify_all();
        return true;
    }
    // The producer is done: the consumer gets what is left, then false.
    void Close() {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        changed.notify_all();
    }
    // Drops what is queued; every wait, now and later, throws Cancelled.
    void Cancel() override {
        std::deque<T> dropped;
        {
            std::lock_guard<std::mutex> lock(mutex);
            cancelled = true;
            dropped.swap(items);
            changed.notify_all();
        }
    }
    size_t Capacity() const { return capacity; }
    // What it holds, and how many Push calls wait for room, at this moment:
    // for a test to see a producer parked on a full queue.
    size_t Size() const {
        std::lock_guard<std::mutex> lock(mutex);
        return items.size();
    }
    size_t PushesWaiting() const {
        std::lock_guard<std::mutex> lock(mutex);
        return pushesWaiting;
    }

private:
    const size_t capacity;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<T> items;
    size_t pushesWaiting = 0;
    bool closed = false;
    bool cancelled = false;
};

// Frames' buffers handed back by a later stage for an earlier one to fill
// again: a 1080p picture taken from the system anew every frame is cleared
// by it page by page, a tenth of a clip run's CPU time. Keeps at most
// `keep`; Take answers an empty T when none is spare.
template <class T>
class Recycler {
public:
    explicit Recycler(size_t limit) : keep(limit) {}
    void Give(T&& item) {
        std::lock_guard<std::mutex> lock(mutex);
        if (items.size() < keep) items.push_back(std::move(item));
    }
    T Take() {
        std::lock_guard<std::mutex> lock(mutex);
        if (items.empty()) return T();
        T item = std::move(items.back());
        items.pop_back();
        return item;
    }

private:
    std::mutex mutex;
    std::vector<T> items;
    size_t keep;
};

class Pipeline {
public:
    Pipeline() = default;
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    // Cancels and joins whatever still runs (a Finish that was never reached).
    ~Pipeline();

    // A queue owned by the pipeline and cancelled with it.
    template <class T>
    BoundedQueue<T>& MakeQueue(size_t capacity) {
        auto queue = std::make_unique<BoundedQueue<T>>(capacity);
        BoundedQueue<T>& ref = *queue;
        std::lock_guard<std::mutex> lock(mutex);
        queues.push_back(std::move(queue));
        return ref;
    }

    // Runs `stage` on a thread of its own.
    void Start(std::function<void()> stage);
    // Runs `stage` on the calling thread, with the same handling of failures.
    void Run(const std::function<void()>& stage);
    // Joins every thread; then rethrows the first failure.
    void Finish();

private:
    void Guarded(const std::function<void()>& stage);
    void Fail(std::exception_ptr failure);
    void CancelAll();

    std::mutex mutex;
    std::vector<std::unique_ptr<QueueBase>> queues;
    std::vector<std::thread> threads;
    std::exception_ptr firstFailure;
};

}  // namespace tessivar
