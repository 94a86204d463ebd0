#include "platform/dispatch/NSTimer.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A timer target as the HUD is one: it answers a selector that takes the firing timer.
class Target : public NSObject {
public:
    static std::shared_ptr<Target> create() { return std::make_shared<Target>(); }

    void handleTimer(std::shared_ptr<NSTimer> timer) {
        times.push_back(NSRunLoop::main()->now());
        userInfos.push_back(timer ? timer->userInfo() : PlistValue("no timer"));
        if (onFire)
            onFire();
        if (invalidateOnFire && timer)
            timer->invalidate();
    }

    const SelectorTable* selectorTable() const override {
        static const SelectorTable table({{"handleTimer:", SelectorTable::bind(&Target::handleTimer)}});
        return &table;
    }

    std::vector<double> times;
    std::vector<PlistValue> userInfos;
    bool invalidateOnFire = false;
    std::function<void()> onFire;
};

class NSTimerTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }
    void TearDown() override { NSRunLoop::installMain(nullptr); }

    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(NSTimerTest, OneShotFiresOnceAtItsFireDateWithTheTimerAndReleasesItsTarget) {
    loop->advanceBy(0.25);
    auto target = Target::create();
    std::weak_ptr<Target> weakTarget = target;
    std::weak_ptr<NSTimer> weakTimer;
    {
        auto timer = NSTimer::timerWithTimeInterval(0.5, target, "handleTimer:", PlistValue(true), false);
        EXPECT_DOUBLE_EQ(timer->fireDate(), 0.75);
        EXPECT_DOUBLE_EQ(timer->timeInterval(), 0); // one-shot timers report no interval
        loop->addTimer(timer, NSRunLoopCommonModes);
        weakTimer = timer;
    }
    // The record outlives the target, which the timer is about to release.
    auto times = std::make_shared<std::vector<double>>();
    target->onFire = [times] { times->push_back(NSRunLoop::main()->now()); };
    target.reset(); // the loop holds the timer, the timer holds its target

    loop->advanceBy(0.499);
    EXPECT_TRUE(times->empty());
    EXPECT_FALSE(weakTarget.expired());
    loop->advanceBy(0.001);
    EXPECT_EQ(*times, (std::vector<double>{0.75}));

    // Fired: the loop has let go of the timer and the timer of its target.
    EXPECT_TRUE(weakTimer.expired());
    EXPECT_TRUE(weakTarget.expired());
}

TEST_F(NSTimerTest, AnInvalidatedTimerNeverFiresAndDropsItsTarget) {
    auto target = Target::create();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1, target, "handleTimer:", {}, true);
    EXPECT_TRUE(timer->isValid());
    timer->invalidate();
    timer->invalidate(); // a second call is harmless
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(target.use_count(), 1);
    EXPECT_TRUE(timer->userInfo().isNone());

    loop->advanceBy(5);
    EXPECT_TRUE(target->times.empty());
    timer->fire();
    EXPECT_TRUE(target->times.empty());
    loop->addTimer(timer, NSDefaultRunLoopMode); // ignored
    loop->advanceBy(5);
    EXPECT_TRUE(target->times.empty());
}

TEST_F(NSTimerTest, RepeatingTimerInvalidatingItselfFromItsCallbackFiresOnce) {
    auto target = Target::create();
    target->invalidateOnFire = true;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1, target, "handleTimer:", {}, true);
    loop->advanceBy(10);
    EXPECT_EQ(target->times, (std::vector<double>{1}));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(NSTimerTest, RepeatingTimerKeepsItsCadenceAndSkipsMissedFires) {
    auto target = Target::create();
    NSTimer::scheduledTimerWithTimeInterval(0.5, target, "handleTimer:", PlistValue(true), false);
    std::vector<double> fires;
    auto timer = NSTimer::timerWithTimeInterval(1, true, [&](const auto&) { fires.push_back(loop->now()); });
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 1);
    loop->addTimer(timer, NSDefaultRunLoopMode);

    loop->advanceBy(3.5);
    EXPECT_EQ(fires, (std::vector<double>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(timer->fireDate(), 4);
    EXPECT_EQ(target->times, (std::vector<double>{0.5}));
    EXPECT_EQ(target->userInfos, (std::vector<PlistValue>{PlistValue(true)}));

    // Held back by the tracking mode over three fire dates: one late fire, then the old grid.
    loop->setCurrentMode(UITrackingRunLoopMode);
    loop->advanceBy(2.75);
    EXPECT_EQ(fires.size(), 3u);
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->runUntilIdle();
    EXPECT_EQ(fires, (std::vector<double>{1, 2, 3, 6.25}));
    EXPECT_DOUBLE_EQ(timer->fireDate(), 7);

    // fire() runs the callback outside the schedule, which it leaves alone.
    timer->fire();
    EXPECT_EQ(fires.size(), 5u);
    EXPECT_DOUBLE_EQ(timer->fireDate(), 7);
    loop->advanceBy(0.75);
    EXPECT_EQ(fires.back(), 7);
    timer->invalidate();
}

TEST_F(NSTimerTest, TimersFarAheadFireAtTheirTimesWithinALongAdvance) {
    // A follower of the frames, as a headless screen or a spinner is, does not make the loop
    // step through the day's frames, nor does it move a timer off its time.
    int followerSteps = 0;
    FrameSubscription follower = loop->addFrameObserver([&](double) { ++followerSteps; },
                                                        NSRunLoopCommonModes, FrameCadence::LatestFrame);
    std::vector<double> once, every;
    auto oneShot = NSTimer::scheduledTimerWithTimeInterval(1000, false,
                                                           [&](const auto&) { once.push_back(loop->now()); });
    auto repeating = NSTimer::scheduledTimerWithTimeInterval(
        30000, true, [&](const auto&) { every.push_back(loop->now()); });

    loop->advanceBy(999.999);
    EXPECT_TRUE(once.empty());
    loop->advanceBy(86400);
    EXPECT_EQ(once, (std::vector<double>{1000}));
    EXPECT_FALSE(oneShot->isValid());
    EXPECT_EQ(every, (std::vector<double>{30000, 60000}));
    EXPECT_LE(followerSteps, 12);
    repeating->invalidate();
}

TEST_F(NSTimerTest, ModesDecideWhetherATimerFires) {
    std::vector<std::string> fired;
    auto common = NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { fired.push_back("common"); });
    auto tracking =
        NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { fired.push_back("tracking"); });
    auto defaults =
        NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { fired.push_back("default"); });
    loop->addTimer(common, NSRunLoopCommonModes);
    loop->addTimer(tracking, UITrackingRunLoopMode);
    loop->addTimer(defaults, NSDefaultRunLoopMode);

    loop->setCurrentMode(UITrackingRunLoopMode);
    loop->advanceBy(2);
    EXPECT_EQ(fired, (std::vector<std::string>{"common", "tracking"}));
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->advanceBy(0);
    EXPECT_EQ(fired, (std::vector<std::string>{"common", "tracking", "default"}));
}

TEST_F(NSTimerTest, TimerWithAnOwnerStopsOnceTheOwnerIsGone) {
    auto owner = std::make_shared<int>(0);
    auto timer = NSTimer::timerWithTimeInterval(1, owner, true, [o = std::weak_ptr<int>(owner)](const auto&) {
        if (auto alive = o.lock())
            ++*alive;
    });
    loop->addTimer(timer, NSDefaultRunLoopMode);
    loop->advanceBy(2);
    EXPECT_EQ(*owner, 2);
    owner.reset();
    loop->advanceBy(1);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(NSTimerTest, EqualFireDatesFireInTheOrderTheTimersWereAdded) {
    std::vector<int> order;
    std::vector<std::shared_ptr<NSTimer>> timers;
    for (int i = 0; i < 4; ++i)
        timers.push_back(
            NSTimer::timerWithTimeInterval(1, false, [&order, i](const auto&) { order.push_back(i); }));
    for (int i : {2, 0, 3, 1})
        loop->addTimer(timers[static_cast<std::size_t>(i)], NSRunLoopCommonModes);
    loop->advanceBy(1);
    EXPECT_EQ(order, (std::vector<int>{2, 0, 3, 1}));
}

TEST_F(NSTimerTest, ReplacingTheRunLoopReleasesItsTimers) {
    auto target = Target::create();
    std::weak_ptr<NSTimer> weakTimer =
        NSTimer::scheduledTimerWithTimeInterval(1, target, "handleTimer:", {}, false);
    EXPECT_FALSE(weakTimer.expired());
    loop = NSRunLoop::installMain(ManualClock::create());
    EXPECT_TRUE(weakTimer.expired());
    EXPECT_EQ(target.use_count(), 1);

    NSRunLoop::installMain(nullptr);
    auto orphan = NSTimer::scheduledTimerWithTimeInterval(1, false, [](const auto&) {});
    EXPECT_TRUE(orphan->isValid()); // logged; nothing to run it on
}

} // namespace
