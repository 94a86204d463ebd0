#include "platform/dynamics/UIDynamicAnimator.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dynamics/UIDynamicItemBehavior.h"
#include "platform/dynamics/UIGravityBehavior.h"

#include <gtest/gtest.h>

namespace {

class UIDynamicAnimatorTest : public testing::Test {
protected:
    void SetUp() override {
        clock = ManualClock::create();
        loop = NSRunLoop::installMain(clock);
        reference = UIView::create(CGRectMake(0, 0, 400, 800));
        animator = UIDynamicAnimator::create(reference);
    }
    std::shared_ptr<UIView> piece(double x = 100, double y = 100) {
        auto v = UIView::create(CGRectMake(x - 5, y - 5, 10, 10));
        reference->addSubview(v);
        return v;
    }
    std::shared_ptr<ManualClock> clock;
    std::shared_ptr<NSRunLoop> loop;
    std::shared_ptr<UIView> reference;
    std::shared_ptr<UIDynamicAnimator> animator;
};

TEST_F(UIDynamicAnimatorTest, StepsAtSixtyHertzOnlyWhileItHasItems) {
    auto gravity = UIGravityBehavior::create();
    animator->addBehavior(gravity);
    EXPECT_FALSE(animator->isRunning());
    EXPECT_FALSE(loop->hasFrameObservers()); // a behaviour without items moves nothing

    auto v = piece();
    gravity->addItem(v);
    EXPECT_TRUE(animator->isRunning());
    EXPECT_EQ(animator->itemCount(), 1u);
    loop->advanceBy(1.0);
    // Semi-implicit Euler at 1000 points/s²: after n steps of h, y = y0 + g·h²·n(n+1)/2.
    const double h = UIDynamicAnimator::kStepInterval, n = 60;
    EXPECT_NEAR(v->center().y, 100 + 1000 * h * h * n * (n + 1) / 2, 1e-6);
    EXPECT_EQ(v->center().x, 100);

    gravity->removeItem(v);
    EXPECT_FALSE(animator->isRunning());
    EXPECT_FALSE(loop->hasFrameObservers()); // idle: no wake-ups
    CGPoint rest = v->center();
    loop->advanceBy(1.0);
    EXPECT_EQ(v->center(), rest);
}

TEST_F(UIDynamicAnimatorTest, ResistanceDampsStablyAtAnyValue) {
    auto v = piece();
    auto b = UIDynamicItemBehavior::create({v});
    b->addLinearVelocity({300, 0}, v);
    animator->addBehavior(b);
    animator->step(UIDynamicAnimator::kStepInterval);
    EXPECT_DOUBLE_EQ(b->linearVelocityForItem(*v).x, 300); // resistance 0: no damping
    b->setResistance(2);
    animator->step(0.5);
    EXPECT_DOUBLE_EQ(b->linearVelocityForItem(*v).x, 150); // v / (1 + 2·0.5)
    // Huge resistance and a huge step: the velocity shrinks towards 0 and never flips sign.
    b->setResistance(1e12);
    animator->step(10);
    double vx = b->linearVelocityForItem(*v).x;
    EXPECT_GE(vx, 0);
    EXPECT_LT(vx, 1e-6);
    b->setResistance(-5); // negative counts as none
    EXPECT_EQ(b->resistance(), 0);
}

TEST_F(UIDynamicAnimatorTest, ItemsSharedByBehavioursAreOneBody) {
    auto v = piece();
    auto gravity = UIGravityBehavior::create({v});
    gravity->setMagnitude(0.5);
    auto item = UIDynamicItemBehavior::create({v});
    animator->addBehavior(item);
    animator->addBehavior(gravity);
    EXPECT_EQ(animator->itemCount(), 1u);
    animator->step(0.1);
    EXPECT_NEAR(item->linearVelocityForItem(*v).y, 50, 1e-9); // gravity's velocity, seen by the item
    animator->removeBehavior(item);
    EXPECT_EQ(animator->itemCount(), 1u);
    animator->removeBehavior(gravity);
    EXPECT_EQ(animator->itemCount(), 0u);
    EXPECT_FALSE(gravity->dynamicAnimator());
    EXPECT_TRUE(animator->behaviors().empty());
}

TEST_F(UIDynamicAnimatorTest, ActionsMayRemoveThemselvesAndOthersMidStep) {
    auto gravity = UIGravityBehavior::create();
    animator->addBehavior(gravity);
    std::vector<std::shared_ptr<UIDynamicItemBehavior>> owned;
    std::vector<int> runs(6, 0);
    for (int i = 0; i < 6; ++i) {
        auto v = piece(10.0 * i, 0);
        auto b = UIDynamicItemBehavior::create({v});
        gravity->addItem(v);
        owned.push_back(b);
        animator->addBehavior(b);
    }
    // 1 cleans itself up and drops the last reference to its behaviour from inside its action;
    // 3 removes 4 (later in the list) and 0 (earlier); 5 adds a new behaviour.
    int addedRuns = 0;
    auto cleanup = [&](int i) {
        auto b = owned[i];
        auto v = b->items()[0];
        b->removeItem(v);
        b->setAction(nullptr);
        animator->removeBehavior(b);
        gravity->removeItem(v);
        v->removeFromSuperview();
        owned[i].reset();
    };
    for (int i = 0; i < 6; ++i) {
        owned[i]->setAction([&, i] {
            ++runs[i];
            if (i == 1 && runs[i] == 1)
                cleanup(1);
            if (i == 3 && runs[i] == 1) {
                cleanup(4);
                cleanup(0);
            }
            if (i == 5 && runs[i] == 1) {
                auto extra = UIDynamicItemBehavior::create({piece()});
                extra->setAction([&] { ++addedRuns; });
                animator->addBehavior(extra);
            }
        });
    }
    animator->step(UIDynamicAnimator::kStepInterval);
    EXPECT_EQ(runs, (std::vector<int>{1, 1, 1, 1, 0, 1})); // 4 removed before its turn: skipped
    EXPECT_EQ(addedRuns, 0);                               // added this step: from the next
    EXPECT_EQ(animator->behaviorCount(), 5u);              // gravity, 2, 3, 5, extra
    EXPECT_EQ(animator->itemCount(), 4u);
    animator->step(UIDynamicAnimator::kStepInterval);
    EXPECT_EQ(runs, (std::vector<int>{1, 1, 2, 2, 0, 2}));
    EXPECT_EQ(addedRuns, 1);
}

TEST_F(UIDynamicAnimatorTest, DestroyingTheAnimatorLeavesBehavioursUsable) {
    auto v = piece();
    auto b = UIDynamicItemBehavior::create({v});
    auto gravity = UIGravityBehavior::create({v});
    animator->addBehavior(b);
    animator->addBehavior(gravity);
    animator.reset();
    EXPECT_FALSE(loop->hasFrameObservers());
    EXPECT_FALSE(b->dynamicAnimator());
    b->removeItem(v); // nothing to tell any more
    gravity->removeItem(v);
    loop->advanceBy(0.1);
}

TEST_F(UIDynamicAnimatorTest, LateFramesCatchUpWithAFewStepsOnly) {
    auto v = piece();
    auto b = UIDynamicItemBehavior::create({v});
    b->addLinearVelocity({0, 60}, v);
    int steps = 0;
    b->setAction([&] { ++steps; });
    animator->addBehavior(b);
    loop->advanceBy(0.5);
    EXPECT_EQ(steps, 30);
    clock->set(clock->now() + 1.0); // the loop was busy for a second: one late frame
    loop->advanceBy(0);
    EXPECT_EQ(steps, 30 + 4);
    loop->advanceBy(UIDynamicAnimator::kStepInterval);
    EXPECT_EQ(steps, 30 + 4 + 1); // and back to one step a frame
}

} // namespace
