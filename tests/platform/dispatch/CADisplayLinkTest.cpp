#include "platform/dispatch/CADisplayLink.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Sampler : public NSObject {
public:
    void updateProgressFromProgressObject() { times.push_back(NSRunLoop::main()->now()); }

    const SelectorTable* selectorTable() const override {
        static const SelectorTable table({{"updateProgressFromProgressObject",
                                           SelectorTable::bind(&Sampler::updateProgressFromProgressObject)}});
        return &table;
    }

    std::vector<double> times;
};

class CADisplayLinkTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }
    void TearDown() override { NSRunLoop::installMain(nullptr); }

    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(CADisplayLinkTest, StepsItsTargetEveryFrameInTheDefaultModeOnlyUntilInvalidated) {
    auto sampler = std::make_shared<Sampler>();
    std::weak_ptr<CADisplayLink> weakLink;
    {
        auto link = CADisplayLink::displayLinkWithTarget(sampler, "updateProgressFromProgressObject");
        link->addToRunLoop(loop, NSDefaultRunLoopMode);
        link->addToRunLoop(loop, NSDefaultRunLoopMode); // once is enough
        weakLink = link;
    }
    ASSERT_FALSE(weakLink.expired()); // the run loop holds the link
    EXPECT_EQ(sampler.use_count(), 2);

    loop->advanceBy(0.1);
    ASSERT_EQ(sampler->times.size(), 6u);
    EXPECT_NEAR(weakLink.lock()->timestamp(), 0.1, 1e-9);
    EXPECT_DOUBLE_EQ(weakLink.lock()->duration(), NSRunLoop::kFrameInterval);

    loop->setCurrentMode(UITrackingRunLoopMode);
    loop->advanceBy(0.1);
    EXPECT_EQ(sampler->times.size(), 6u);
    loop->setCurrentMode(NSDefaultRunLoopMode);
    loop->advanceBy(NSRunLoop::kFrameInterval);
    EXPECT_EQ(sampler->times.size(), 8u); // one catch-up step, then the next frame

    weakLink.lock()->invalidate();
    EXPECT_TRUE(weakLink.expired());
    EXPECT_EQ(sampler.use_count(), 1);
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(CADisplayLinkTest, BlockMayInvalidateItsOwnLink) {
    int steps = 0;
    auto link = CADisplayLink::displayLinkWithBlock([&](const auto& l) {
        if (++steps == 3)
            l->invalidate();
    });
    link->addToRunLoop(loop, NSRunLoopCommonModes);
    loop->advanceBy(1);
    EXPECT_EQ(steps, 3);
    EXPECT_FALSE(link->isValid());
    link->addToRunLoop(loop, NSRunLoopCommonModes); // an invalid link stays off the loop
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(CADisplayLinkTest, PausedLinkStaysAliveWithoutWakingTheLoop) {
    int steps = 0;
    std::weak_ptr<CADisplayLink> weakLink;
    {
        auto link = CADisplayLink::displayLinkWithBlock([&](const auto&) { ++steps; });
        link->addToRunLoop(loop, NSRunLoopCommonModes);
        link->setPaused(true);
        weakLink = link;
    }
    EXPECT_FALSE(loop->hasFrameObservers());
    loop->advanceBy(1);
    EXPECT_EQ(steps, 0);
    ASSERT_FALSE(weakLink.expired());

    weakLink.lock()->setPaused(false);
    loop->advanceBy(NSRunLoop::kFrameInterval);
    EXPECT_EQ(steps, 1);

    weakLink.lock()->removeFromRunLoop(loop, NSRunLoopCommonModes);
    EXPECT_TRUE(weakLink.expired());
}

} // namespace
