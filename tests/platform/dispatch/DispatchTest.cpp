#include "platform/dispatch/Dispatch.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

class DispatchTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(clock); }
    void TearDown() override {
        dispatch_global_queue_drain_for_testing();
        NSRunLoop::installMain(nullptr);
    }

    std::shared_ptr<ManualClock> clock = ManualClock::create(10);
    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(DispatchTest, DispatchTimeCountsNanosecondsOnTheMainClock) {
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 0), 10 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), 10 * NSEC_PER_SEC + NSEC_PER_SEC / 2);
    EXPECT_EQ(dispatch_time(5, -10), DISPATCH_TIME_NOW);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -1), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER - 5, 10), DISPATCH_TIME_FOREVER);
}

TEST_F(DispatchTest, DispatchAfterOneSecondRunsAtThatSecond) {
    double ranAt = -1;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [&] { ranAt = loop->now(); });
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), [&] { ADD_FAILURE() << "ran forever"; });
    loop->advanceBy(0.999);
    EXPECT_EQ(ranAt, -1);
    loop->advanceBy(0.001);
    EXPECT_DOUBLE_EQ(ranAt, 11);
    loop->advanceBy(1000);
}

TEST_F(DispatchTest, MainQueueKeepsEachThreadsOrder) {
    constexpr int kThreads = 4, kTasks = 200;
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i)
                dispatch_async(dispatch_get_main_queue(),
                               [&, t, i] { seen[static_cast<std::size_t>(t)].push_back(i); });
        });
    }
    for (auto& th : threads)
        th.join();
    loop->runUntilIdle();
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<std::size_t>(kTasks));
        for (int i = 0; i < kTasks; ++i)
            EXPECT_EQ(s[static_cast<std::size_t>(i)], i);
    }
}

TEST_F(DispatchTest, GlobalQueueWorksOffTheMainThreadAndReportsBackThroughTheMainQueue) {
    constexpr int kJobs = 64;
    std::mutex mutex;
    std::set<std::thread::id> workers;
    std::atomic<int> offMain{0};
    std::vector<int> results; // touched only on the main thread
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    EXPECT_FALSE(global->isMain());
    EXPECT_TRUE(dispatch_get_main_queue()->isMain());
    for (int i = 0; i < kJobs; ++i) {
        dispatch_async(global, [&, i] {
            if (!NSRunLoop::isMainThread())
                ++offMain;
            {
                std::lock_guard lock(mutex);
                workers.insert(std::this_thread::get_id());
            }
            dispatch_async(dispatch_get_main_queue(), [&, i] {
                EXPECT_TRUE(NSRunLoop::isMainThread());
                results.push_back(i * i);
            });
        });
    }
    dispatch_global_queue_drain_for_testing();
    EXPECT_EQ(offMain.load(), kJobs);
    EXPECT_EQ(workers.count(std::this_thread::get_id()), 0u);
    EXPECT_TRUE(results.empty()); // nothing reaches the main thread until its loop runs
    loop->runUntilIdle();
    EXPECT_EQ(results.size(), static_cast<std::size_t>(kJobs));
}

TEST_F(DispatchTest, DelayedGlobalWorkIsHandedOverOnTheMainClock) {
    std::atomic<bool> ran{false};
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * static_cast<std::int64_t>(NSEC_PER_SEC)),
                   dispatch_get_global_queue(0, 0), [&] { ran = !NSRunLoop::isMainThread(); });
    loop->advanceBy(1.999);
    dispatch_global_queue_drain_for_testing();
    EXPECT_FALSE(ran);
    loop->advanceBy(0.001);
    dispatch_global_queue_drain_for_testing();
    EXPECT_TRUE(ran);
}

TEST_F(DispatchTest, MainQueueWithoutARunLoopLogsAndDrops) {
    NSRunLoop::installMain(nullptr);
    std::vector<std::string> lines;
    Subscription sink = NSLogAddSink([&](const std::string& line) { lines.push_back(line); });
    NSLogSetEchoToStderr(false);
    bool ran = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ran = true; });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 1), dispatch_get_main_queue(), [&] { ran = true; });
    NSLogSetEchoToStderr(true);
    sink.reset();
    EXPECT_FALSE(ran);
    EXPECT_EQ(lines.size(), 2u);

    // The global queue's delayed hand-off then runs on the real clock.
    std::promise<bool> delayed;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 1000), dispatch_get_global_queue(0, 0),
                   [&] { delayed.set_value(!NSRunLoop::isMainThread()); });
    EXPECT_TRUE(delayed.get_future().get());
}

} // namespace
