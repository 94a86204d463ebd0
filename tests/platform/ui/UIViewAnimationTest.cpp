#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIViewAnimationState.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class UIViewAnimationTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }
    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(UIViewAnimationTest, ModelChangesAtOnceWhileTheScreenFollowsTheCurve) {
    auto view = UIView::create(CGRectMake(0, 0, 100, 100));
    bool done = false, finishedFlag = false;
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(0); },
        [&](bool finished) {
            done = true;
            finishedFlag = finished;
        });
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_DOUBLE_EQ(view->presentationAlpha(), 1);
    loop->advanceBy(0.5);
    EXPECT_NEAR(view->presentationAlpha(), 0.5, 0.02);
    EXPECT_FALSE(done);
    loop->advanceBy(0.51);
    EXPECT_TRUE(done);
    EXPECT_TRUE(finishedFlag);
    EXPECT_EQ(view->presentationAlpha(), 0);
    EXPECT_FALSE(view->hasAnimations());
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(UIViewAnimationTest, ABlockThatThrowsLeavesNoAnimationStateBehind) {
    auto view = UIView::create(CGRectMake(0, 0, 100, 100));
    // An assertion handler may throw out of an animation block; the next change must not be
    // recorded into the finished block's frame, nor stay suppressed.
    EXPECT_THROW(UIView::animateWithDuration(
                     1.0, 0, 0, [] { throw std::runtime_error("assertion"); }, nullptr),
                 std::runtime_error);
    EXPECT_THROW(UIView::performWithoutAnimation([] { throw std::runtime_error("assertion"); }),
                 std::runtime_error);
    view->setAlpha(0.5);
    EXPECT_FALSE(view->hasAnimations());
    EXPECT_EQ(view->presentationAlpha(), 0.5);
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(0); }, nullptr);
    EXPECT_TRUE(view->hasAnimations());
    loop->advanceBy(0.5);
    EXPECT_NEAR(view->presentationAlpha(), 0.25, 0.02);
}

TEST_F(UIViewAnimationTest, ABlockRecordsTheChangesOfItsOwnDeviceOnly) {
    auto here = UIView::create(CGRectMake(0, 0, 100, 100));
    std::shared_ptr<UIView> there;
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            here->setAlpha(0);
            DeviceEnvironment::Scope next;
            there = UIView::create(CGRectMake(0, 0, 100, 100));
            there->setAlpha(0); // no block is recorded on that device: at once
            UIView::performWithoutAnimation([&] { there->setAlpha(0.5); });
        },
        nullptr);
    EXPECT_TRUE(here->hasAnimations());
    EXPECT_FALSE(there->hasAnimations());
    EXPECT_EQ(there->presentationAlpha(), 0.5);
    loop->advanceBy(0.5);
    EXPECT_NEAR(here->presentationAlpha(), 0.5, 0.02);
}

TEST_F(UIViewAnimationTest, RemovalAndReplacementFinishWithFalse) {
    auto view = UIView::create(CGRectMake(0, 0, 100, 100));
    std::vector<bool> results;
    UIView::animateWithDuration(
        1.0,
        [&] {
            view->setCenter({200, 200});
        },
        [&](bool f) { results.push_back(f); });
    loop->advanceBy(0.3);
    CGPoint midway = view->presentationCenter();
    // A second animation of the same property starts where the first one is on screen.
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionBeginFromCurrentState,
        [&] {
            view->setCenter({0, 0});
        },
        [&](bool f) { results.push_back(f); });
    EXPECT_EQ(view->presentationCenter(), midway);
    loop->advanceBy(0.1);
    ASSERT_EQ(results, std::vector<bool>{false});
    view->removeAllAnimations();
    loop->runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{false, false}));
    EXPECT_EQ(view->presentationCenter(), (CGPoint{0, 0}));
}

TEST_F(UIViewAnimationTest, CriticallyDampedSpringSettlesWithoutOvershoot) {
    UIViewAnimationState::Timing timing;
    timing.duration = 0.3;
    timing.spring = true;
    timing.dampingRatio = 1;
    double previous = 0;
    for (double t = 0; t <= 0.3; t += 0.005) {
        double p = UIViewAnimationState::progress(timing, t);
        EXPECT_GE(p, previous - 1e-12);
        EXPECT_LE(p, 1.0);
        previous = p;
    }
    EXPECT_GT(UIViewAnimationState::progress(timing, 0.29), 0.99);
    EXPECT_EQ(UIViewAnimationState::progress(timing, 0.3), 1.0);
}

TEST_F(UIViewAnimationTest, DelayHoldsTheOldValueAndNoChangeStillCompletes) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(0.2, 0.5, UIViewAnimationOptionCurveLinear, [&] { view->setAlpha(0.5); }, {});
    loop->advanceBy(0.4);
    EXPECT_DOUBLE_EQ(view->presentationAlpha(), 1);
    loop->advanceBy(0.4);
    EXPECT_DOUBLE_EQ(view->presentationAlpha(), 0.5);

    bool called = false;
    UIView::animateWithDuration(
        0.2, [] {}, [&](bool f) { called = f; });
    EXPECT_FALSE(called); // never synchronously
    loop->runUntilIdle();
    EXPECT_TRUE(called);
}

TEST_F(UIViewAnimationTest, AViewDestroyedMidAnimationCompletesItsGroup) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    std::optional<bool> result;
    UIView::animateWithDuration(
        1.0, [&] { view->setAlpha(0); }, [&](bool f) { result = f; });
    view.reset();
    loop->advanceBy(2);
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
}

} // namespace
