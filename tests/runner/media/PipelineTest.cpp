// The clip pipeline without video: stages as threads passing numbers, so
// order, bounds and every way of stopping can be driven exactly.
#include "runner/media/Pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tessivar;

// Waits until `done` holds, for a state another thread reaches (a producer
// parked on a full queue); the few seconds' limit only ends a broken run.
template <class F>
bool eventually(F done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// Three stages as ffglrun runs them: a source thread, the caller's thread
// in the middle and a sink thread; `fail` picks the stage that throws at item 5.
struct ThreeStages {
    Pipeline p;
    BoundedQueue<int>& first = p.MakeQueue<int>(2);
    BoundedQueue<int>& second = p.MakeQueue<int>(2);
    std::vector<int> received;
    bool sinkFinished = false;

    void Run(int count, const std::string& fail = "") {
        p.Start([this, count, fail] {
            for (int i = 0; count < 0 || i < count; ++i) {
                if (fail == "source" && i == 5) throw std::runtime_error("source failed");
                first.Push(i);
            }
            first.Close();
        });
        p.Start([this, fail] {
            int v = 0;
            while (second.Pop(v)) {
                if (fail == "sink" && v == 50) throw std::runtime_error("sink failed");
                received.push_back(v);
            }
            sinkFinished = true;
        });
        p.Run([this, fail] {
            int v = 0;
            while (first.Pop(v)) {
                if (fail == "middle" && v == 5) throw std::runtime_error("middle failed");
                second.Push(v * 10);
            }
            second.Close();
        });
    }
};

TEST(Pipeline, EveryItemArrivesOnceInOrderThroughSmallQueues) {
    ThreeStages s;
    s.Run(500);
    s.p.Finish();
    ASSERT_EQ(s.received.size(), 500u);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(s.received[size_t(i)], i * 10) << "at " << i;
    EXPECT_TRUE(s.sinkFinished);
}

TEST(Pipeline, AQueueTakesItsCapacityAndBlocksTheNextPushUntilAPop) {
    Pipeline p;
    auto& q = p.MakeQueue<int>(3);
    std::atomic<int> pushed{0};
    p.Start([&] {
        for (int i = 0; i < 4; ++i) {
            q.Push(i);
            ++pushed;
        }
        q.Close();
    });
    // The producer is parked inside its fourth push, three items queued; a
    // queue that took a fourth would never see it wait.
    ASSERT_TRUE(eventually([&] { return q.PushesWaiting() == 1; })) << "pushed " << pushed << " without waiting";
    EXPECT_EQ(pushed, 3);
    EXPECT_EQ(q.Size(), 3u);
    int v = -1;
    ASSERT_TRUE(q.Pop(v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(eventually([&] { return pushed == 4; })) << "a pop freed no room";
    for (int expect = 1; expect < 4; ++expect) {
        ASSERT_TRUE(q.Pop(v));
        EXPECT_EQ(v, expect);
    }
    EXPECT_FALSE(q.Pop(v)) << "a closed, drained queue must answer false";
    p.Finish();
}

// Whichever stage fails, with the others blocked on full or empty queues or
// producing without end: every thread ends, the sink never finishes (a
// writer would rename half a clip into place) and the first failure comes out.
TEST(Pipeline, AFailureInAnyStageStopsEveryStageAndIsRethrown) {
    for (const std::string stage : {"source", "middle", "sink"}) {
        SCOPED_TRACE(stage);
        ThreeStages s;
        s.Run(-1, stage);
        try {
            s.p.Finish();
            ADD_FAILURE() << "no failure came out";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), stage + " failed");
        }
        EXPECT_FALSE(s.sinkFinished);
        EXPECT_LE(s.received.size(), 5u);
    }
}

TEST(Pipeline, OnlyTheFirstFailureIsReported) {
    Pipeline p;
    auto& q = p.MakeQueue<int>(1);
    p.Start([&] {
        int v = 0;
        try {
            q.Pop(v);
        } catch (const Cancelled&) {
            throw std::runtime_error("second");  // a stage failing while it unwinds
        }
    });
    p.Run([] { throw std::runtime_error("first"); });
    try {
        p.Finish();
        FAIL() << "no failure came out";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "first");
    }
}

// The frame count is reached: the middle stage cancels only its upstream
// queue; the endless source unwinds and the sink still finishes normally.
TEST(Pipeline, AConsumerThatWantsNoMoreEndsItsSourceQuietly) {
    Pipeline p;
    auto& in = p.MakeQueue<int>(2);
    auto& out = p.MakeQueue<int>(2);
    std::vector<int> got;
    bool finished = false;
    p.Start([&] {
        for (int i = 0;; ++i) in.Push(i);
    });
    p.Start([&] {
        int v = 0;
        while (out.Pop(v)) got.push_back(v);
        finished = true;
    });
    p.Run([&] {
        int v = 0;
        for (int n = 0; n < 3 && in.Pop(v); ++n) out.Push(v);
        in.Cancel();
        out.Close();
    });
    p.Finish();
    EXPECT_TRUE(finished);
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2}));
}

TEST(Pipeline, LeftWithoutFinishItCancelsAndJoinsItsThreads) {
    std::atomic<bool> ended{false};
    {
        Pipeline p;
        auto& q = p.MakeQueue<int>(1);
        p.Start([&] {
            try {
                for (;;) q.Push(1);
            } catch (const Cancelled&) {
                ended = true;
                throw;
            }
        });
    }  // a std::thread destroyed while joinable would end the process
    EXPECT_TRUE(ended);
}

// Buffers handed back come out again with their memory, up to the number
// kept; one past it is let go, and an empty recycler answers an empty item.
TEST(Recycler, KeepsUpToItsLimitAndHandsBuffersBackWithTheirMemory) {
    tessivar::Recycler<std::vector<int>> spares(2);
    EXPECT_TRUE(spares.Take().empty());
    std::vector<int> a(1000, 1), b(2000, 2), c(3000, 3);
    const int* memoryOfB = b.data();
    spares.Give(std::move(a));
    spares.Give(std::move(b));
    spares.Give(std::move(c));  // one past the limit
    const std::vector<int> first = spares.Take();
    EXPECT_EQ(first.size(), 2000u);
    EXPECT_EQ(first.data(), memoryOfB);
    EXPECT_EQ(spares.Take().size(), 1000u);
    EXPECT_TRUE(spares.Take().empty());
}

}  // namespace
