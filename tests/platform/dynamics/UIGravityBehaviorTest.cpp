#include "platform/dynamics/UIGravityBehavior.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/dynamics/UIDynamicAnimator.h"
#include "platform/dynamics/UIDynamicItemBehavior.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(UIGravityBehaviorTest, MagnitudeDirectionAndAngleStayInStep) {
    auto g = UIGravityBehavior::create();
    EXPECT_EQ(g->gravityDirection(), CGVectorMake(0, 1)); // straight down at 1000 points/s²
    EXPECT_EQ(g->acceleration(), CGVectorMake(0, 1000));
    g->setMagnitude(0.5);
    EXPECT_EQ(g->gravityDirection(), CGVectorMake(0, 0.5)); // exactly: no rounding dust sideways
    g->setGravityDirection({3, 4});
    EXPECT_DOUBLE_EQ(g->magnitude(), 5);
    EXPECT_DOUBLE_EQ(g->angle(), std::atan2(4, 3));
    g->setMagnitude(0);
    EXPECT_EQ(g->magnitude(), 0);
    g->setMagnitude(2); // the angle survives a zero magnitude
    EXPECT_NEAR(g->gravityDirection().dx, 1.2, 1e-12);
    EXPECT_NEAR(g->gravityDirection().dy, 1.6, 1e-12);
    g->setMagnitude(NAN); // ignored
    EXPECT_DOUBLE_EQ(g->magnitude(), 2);
}

TEST(UIGravityBehaviorTest, ChangesReachItemsAlreadyFalling) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto reference = UIView::create(CGRectMake(0, 0, 100, 100));
    auto animator = UIDynamicAnimator::create(reference);
    auto v = UIView::create(CGRectMake(0, 0, 10, 10));
    auto g = UIGravityBehavior::create({v});
    auto probe = UIDynamicItemBehavior::create({v});
    animator->addBehavior(g);
    animator->addBehavior(probe);
    g->setMagnitude(0.5);
    animator->step(0.1);
    EXPECT_NEAR(probe->linearVelocityForItem(*v).y, 50, 1e-9);
    g->setAngle(0); // to the right now
    animator->step(0.1);
    EXPECT_NEAR(probe->linearVelocityForItem(*v).x, 50, 1e-9);
    EXPECT_NEAR(probe->linearVelocityForItem(*v).y, 50, 1e-9);
}

} // namespace
