#include "platform/dispatch/NSRunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

class NSRunLoopTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(clock); }
    void TearDown() override { NSRunLoop::installMain(nullptr); }

    // Records what ran and the clock time it saw while running.
    std::function<void()> record(std::string name) {
        return [this, name] { ran.push_back(name + "@" + std::to_string(loop->now())); };
    }
    // A delayed task whose handle the test keeps to its end.
    void at(double time, std::function<void()> task) {
        held.push_back(loop->enqueueAt(time, std::move(task)));
    }

    std::shared_ptr<ManualClock> clock = ManualClock::create();
    std::shared_ptr<NSRunLoop> loop;
    std::vector<std::string> ran;
    std::vector<Subscription> held;
};

TEST_F(NSRunLoopTest, DelayedTasksRunAtTheirOwnTimesInTimeOrder) {
    at(2, record("b"));
    at(1, record("a"));
    at(3.5, record("c"));

    loop->advanceBy(0.999);
    EXPECT_TRUE(ran.empty());
    loop->advanceBy(0.001);
    EXPECT_EQ(ran, (std::vector<std::string>{"a@1.000000"}));
    EXPECT_DOUBLE_EQ(loop->now(), 1);

    loop->advanceBy(5);
    EXPECT_EQ(ran, (std::vector<std::string>{"a@1.000000", "b@2.000000", "c@3.500000"}));
    EXPECT_DOUBLE_EQ(loop->now(), 6);
}

TEST_F(NSRunLoopTest, EqualDeadlinesRunInRegistrationOrderAfterTheQueue) {
    at(1, record("first"));
    at(1, record("second"));
    at(0.5, [this] {
        // Due at the same time as the two above but registered later, so it runs after them;
        // the plain task runs before any timed work.
        at(1, record("third"));
        loop->enqueue(record("queued"));
    });
    loop->advanceBy(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"queued@0.500000", "first@1.000000", "second@1.000000",
                                             "third@1.000000"}));
}

TEST_F(NSRunLoopTest, WorkScheduledWithinTheAdvancedWindowRunsAtItsTime) {
    at(1, [this] {
        ran.push_back("outer");
        at(loop->now() + 0.25, record("inner"));
        at(loop->now() + 5, record("late"));
    });
    loop->advanceBy(2);
    EXPECT_EQ(ran, (std::vector<std::string>{"outer", "inner@1.250000"}));
}

TEST_F(NSRunLoopTest, ADelayedTaskRunsOnlyWhileItsHandleIsHeld) {
    auto kept = loop->enqueueAt(1, record("kept"));
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> captured = token;
    {
        auto dropped = loop->enqueueAt(1, [this, token] { ran.push_back("dropped"); });
    }
    token.reset();
    EXPECT_TRUE(captured.expired()) << "a cancelled task lets go of what it holds at once";
    auto reset = loop->enqueueAt(2, record("reset"));
    reset.reset();
    reset.reset(); // again: nothing
    auto fromWorker = loop->enqueueAt(1.5, record("worker"));
    std::thread([&] { fromWorker.reset(); }).join();
    loop->enqueueAt(3, record("released")).release();
    Subscription later = loop->enqueueAt(4, record("later"));
    at(3.5, [&] { later.reset(); }); // a task may cancel another
    loop->advanceBy(5);
    EXPECT_EQ(ran, (std::vector<std::string>{"kept@1.000000", "released@3.000000"}));
    kept.reset(); // after it ran: nothing to cancel

    // A handle may outlive its loop.
    Subscription outliving = loop->enqueueAt(100, record("never"));
    loop = NSRunLoop::installMain(ManualClock::create());
    outliving.reset();
    loop->advanceBy(200);
    EXPECT_EQ(ran.size(), 2u);
}

TEST_F(NSRunLoopTest, RunUntilIdleRunsWhatIsDueWithoutMovingTime) {
    at(0, record("due"));
    at(1, record("later"));
    loop->enqueue(record("queued"));
    loop->runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"queued@0.000000", "due@0.000000"}));
    EXPECT_DOUBLE_EQ(loop->now(), 0);
}

TEST_F(NSRunLoopTest, FrameObserversStepOnTheFrameGridUntilCancelled) {
    clock->set(0.01);
    std::vector<double> frames;
    FrameSubscription sub = loop->addFrameObserver([&](double now) {
        EXPECT_DOUBLE_EQ(now, loop->now());
        frames.push_back(now);
    });
    EXPECT_TRUE(loop->hasFrameObservers());

    // Registered between frames: the first step is at the next multiple of 1/60 s.
    loop->advanceBy(NSRunLoop::kFrameInterval - 0.01 - 0.0001);
    EXPECT_TRUE(frames.empty());
    loop->advanceBy(0.0001);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_DOUBLE_EQ(frames[0], NSRunLoop::kFrameInterval);

    loop->advanceBy(1);
    ASSERT_EQ(frames.size(), 61u);
    EXPECT_NEAR(frames.back(), 61 * NSRunLoop::kFrameInterval, 1e-9);

    {
        FrameSubscription moved = std::move(sub);
        EXPECT_FALSE(sub);
    }
    EXPECT_FALSE(loop->hasFrameObservers());
    loop->advanceBy(1);
    EXPECT_EQ(frames.size(), 61u);
}

TEST_F(NSRunLoopTest, FrameObserverMayCancelItselfAndOthersFromItsStep) {
    int a = 0, b = 0;
    FrameSubscription subB;
    FrameSubscription subA = loop->addFrameObserver([&](double) {
        ++a;
        subA.reset();
        subB.reset();
    });
    subB = loop->addFrameObserver([&](double) { ++b; });
    loop->advanceBy(1);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(NSRunLoopTest, ModesGateFrameObserversAndMissedFramesAreNotReplayed) {
    int common = 0;
    std::vector<double> defaults;
    FrameSubscription c = loop->addFrameObserver([&](double) { ++common; });
    FrameSubscription d =
        loop->addFrameObserver([&](double t) { defaults.push_back(t); }, NSDefaultRunLoopMode);

    loop->setCurrentMode(UITrackingRunLoopMode);
    EXPECT_EQ(loop->currentMode(), UITrackingRunLoopMode);
    loop->advanceBy(0.5);
    EXPECT_EQ(common, 30);
    EXPECT_TRUE(defaults.empty());

    // Back in the default mode the observer steps once, at the latest frame, not 30 times.
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->runUntilIdle();
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_NEAR(defaults[0], 0.5, 1e-9);
    loop->advanceBy(NSRunLoop::kFrameInterval);
    EXPECT_EQ(defaults.size(), 2u);

    // The common modes are not a mode the loop can run in.
    loop->setCurrentMode(NSRunLoopCommonModes);
    EXPECT_EQ(loop->currentMode(), NSDefaultRunLoopMode);
}

TEST_F(NSRunLoopTest, LatestFrameObserversSkipIdleFramesAndCatchUpAroundOtherWork) {
    std::vector<double> steps;
    FrameSubscription follower = loop->addFrameObserver(
        [&](double now) {
            EXPECT_DOUBLE_EQ(now, loop->now());
            steps.push_back(now);
        },
        NSRunLoopCommonModes, FrameCadence::LatestFrame);
    std::vector<double> seenByTask;
    at(100.005, [&] {
        seenByTask = steps;
        ran.push_back("task@" + std::to_string(loop->now()));
    });

    loop->advanceBy(1000);
    // The first frame; the latest frame before the task (and nothing between); the first frame
    // after it; and the last frame of the advance. Not 60,000 frames.
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_NEAR(steps[0], NSRunLoop::kFrameInterval, 1e-9);
    EXPECT_NEAR(steps[1], 100, 1e-9);
    EXPECT_NEAR(steps[2], 100 + NSRunLoop::kFrameInterval, 1e-9);
    EXPECT_NEAR(steps[3], 1000, 1e-9);
    EXPECT_EQ(seenByTask, (std::vector<double>{steps[0], steps[1]}));
    EXPECT_EQ(ran, (std::vector<std::string>{"task@100.005000"}));
    EXPECT_DOUBLE_EQ(loop->now(), 1000);

    // Code outside the loop may have changed what the observer follows: the next run gives it
    // the next frame, and nothing more while nothing else happens.
    steps.clear();
    loop->runUntilIdle();
    EXPECT_TRUE(steps.empty()) << "the next frame is not due yet";
    loop->advanceBy(0.5);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_NEAR(steps[0], 1000 + NSRunLoop::kFrameInterval, 1e-9);
    EXPECT_NEAR(steps[1], 1000.5, 1e-9);
}

TEST_F(NSRunLoopTest, LatestFrameObserversStepOnEveryFrameWhileAnotherObserverDoes) {
    std::vector<std::string> order;
    FrameSubscription follower = loop->addFrameObserver(
        [&](double now) { order.push_back("follower@" + std::to_string(std::lround(now * 60))); },
        NSRunLoopCommonModes, FrameCadence::LatestFrame);
    int animatorSteps = 0;
    FrameSubscription animator = loop->addFrameObserver([&](double now) {
        order.push_back("animator@" + std::to_string(std::lround(now * 60)));
        if (++animatorSteps == 3)
            animator.reset();
    });

    loop->advanceBy(10);
    // In registration order on each frame, as before; then the follower sees the animator's
    // last frame on the next one, and catches up once at the end.
    EXPECT_EQ(order, (std::vector<std::string>{"follower@1", "animator@1", "follower@2", "animator@2",
                                               "follower@3", "animator@3", "follower@4", "follower@600"}));

    // Registered after the animator, the follower steps after it on each frame.
    order.clear();
    animatorSteps = 0;
    FrameSubscription second = loop->addFrameObserver([&](double now) {
        order.push_back("animator@" + std::to_string(std::lround(now * 60)));
        if (++animatorSteps == 2)
            second.reset();
    });
    FrameSubscription late = loop->addFrameObserver(
        [&](double now) { order.push_back("late@" + std::to_string(std::lround(now * 60))); },
        NSRunLoopCommonModes, FrameCadence::LatestFrame);
    follower.reset();
    loop->advanceBy(1);
    EXPECT_EQ(order,
              (std::vector<std::string>{"animator@601", "late@601", "animator@602", "late@602", "late@660"}));
}

TEST_F(NSRunLoopTest, MainThreadIsTheInstallingThread) {
    EXPECT_TRUE(NSRunLoop::isMainThread());
    EXPECT_EQ(NSRunLoop::main(), loop);
    EXPECT_EQ(NSRunLoop::currentRunLoop(), loop);
    bool workerIsMain = true;
    bool workerHasLoop = true;
    std::thread([&] {
        workerIsMain = NSRunLoop::isMainThread();
        workerHasLoop = NSRunLoop::currentRunLoop() != nullptr;
    }).join();
    EXPECT_FALSE(workerIsMain);
    EXPECT_FALSE(workerHasLoop);

    auto replacement = NSRunLoop::installMain(ManualClock::create());
    EXPECT_EQ(NSRunLoop::main(), replacement);
    NSRunLoop::installMain(nullptr);
    EXPECT_EQ(NSRunLoop::main(), nullptr);
    EXPECT_FALSE(NSRunLoop::isMainThread());
}

TEST_F(NSRunLoopTest, ManualRunEndsWhenStoppedOrOutOfWork) {
    at(3, [this] { loop->stop(); });
    at(4, record("after-stop"));
    loop->run();
    EXPECT_DOUBLE_EQ(loop->now(), 3);
    EXPECT_TRUE(ran.empty());
    loop->run(); // nothing left after the 4 s task: returns instead of hanging
    EXPECT_EQ(ran, (std::vector<std::string>{"after-stop@4.000000"}));
    loop->runUntil(10);
    EXPECT_DOUBLE_EQ(loop->now(), 10);
}

// The real-clock loop sleeps until woken; these tests only check that each wake-up ends the run.
class RealClockRunLoopTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(RealClock::create()); }
    void TearDown() override { NSRunLoop::installMain(nullptr); }
    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(RealClockRunLoopTest, WakesForATaskEnqueuedFromAnotherThread) {
    std::atomic<bool> ranOnMain{false};
    std::thread worker([&] {
        loop->enqueue([&] {
            ranOnMain = NSRunLoop::isMainThread();
            loop->stop();
        });
    });
    loop->run();
    worker.join();
    EXPECT_TRUE(ranOnMain);
}

TEST_F(RealClockRunLoopTest, WakesForAStopFromAnotherThreadAndKeepsAnEarlyStop) {
    // Each run has a distant deadline, so a lost stop fails the test instead of hanging it: the
    // run must end well before the deadline.
    constexpr double kWatchdog = 30;
    // A stop sent before the run starts ends that run at once.
    std::thread early([&] { loop->stop(); });
    early.join();
    double deadline = loop->now() + kWatchdog;
    loop->runUntil(deadline);
    EXPECT_LT(loop->now(), deadline);

    // A stop sent from another thread while the loop sleeps wakes it.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop->stop();
    });
    deadline = loop->now() + kWatchdog;
    loop->runUntil(deadline);
    late.join();
    EXPECT_LT(loop->now(), deadline);
}

TEST_F(RealClockRunLoopTest, WakesForTimedWorkAndFramesAndAtTheDeadline) {
    auto stop = loop->enqueueAt(loop->now() + 0.02, [&] { loop->stop(); });
    loop->run();

    int frames = 0;
    FrameSubscription sub = loop->addFrameObserver([&](double) {
        if (++frames == 3)
            loop->stop();
    });
    loop->run();
    EXPECT_EQ(frames, 3);
    sub.reset();

    loop->runUntil(loop->now() + 0.02);
}

// A window's loop runs up to "now" between events: what is due by then runs in that call, and
// what is due later waits.
TEST_F(RealClockRunLoopTest, ARunUpToNowRunsWhatIsAlreadyDue) {
    std::vector<std::string> ran;
    loop->enqueue([&] { ran.push_back("queued"); });
    auto late = loop->enqueueAt(loop->now() - 1, [&] { ran.push_back("overdue"); });
    auto later = loop->enqueueAt(loop->now() + 3600, [&] { ran.push_back("later"); });
    loop->runUntil(loop->now());
    EXPECT_EQ(ran, (std::vector<std::string>{"queued", "overdue"}));
    // A deadline already past runs what is due too.
    loop->enqueue([&] { ran.push_back("again"); });
    loop->runUntil(loop->now() - 5);
    EXPECT_EQ(ran.back(), "again");
}

} // namespace
