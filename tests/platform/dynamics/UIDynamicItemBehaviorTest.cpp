#include "platform/dynamics/UIDynamicItemBehavior.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/dynamics/UIDynamicAnimator.h"

#include <gtest/gtest.h>

namespace {

TEST(UIDynamicItemBehaviorTest, VelocityBeforeJoiningIsHandedOverOnce) {
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto reference = UIView::create(CGRectMake(0, 0, 100, 100));
    auto animator = UIDynamicAnimator::create(reference);
    auto v = UIView::create(CGRectMake(0, 0, 10, 10));
    auto stranger = UIView::create(CGRectMake(0, 0, 10, 10));
    auto b = UIDynamicItemBehavior::create({v});
    b->addLinearVelocity({10, -20}, v);
    b->addLinearVelocity({5, 0}, v);
    b->addLinearVelocity({99, 99}, stranger); // not one of its items
    EXPECT_EQ(b->linearVelocityForItem(*v), CGPointMake(15, -20));
    EXPECT_EQ(b->linearVelocityForItem(*stranger), CGPointMake(0, 0));
    animator->addBehavior(b);
    EXPECT_EQ(b->linearVelocityForItem(*v), CGPointMake(15, -20));
    animator->removeBehavior(b);
    animator->addBehavior(b); // a new body: the handed-over velocity is not given twice
    EXPECT_EQ(b->linearVelocityForItem(*v), CGPointMake(0, 0));
}

TEST(UIDynamicItemBehaviorTest, ManyItemsAreFoundAndRemovedByIdentity) {
    // Past the size where the list keeps an index, and back below it.
    auto b = UIDynamicItemBehavior::create({});
    std::vector<std::shared_ptr<UIView>> views;
    for (int i = 0; i < 40; ++i) {
        views.push_back(UIView::create(CGRectMake(i, 0, 1, 1)));
        b->addItem(views.back());
        b->addLinearVelocity({static_cast<double>(i), 0}, views.back());
    }
    b->addItem(views[3]); // already there
    EXPECT_EQ(b->items().size(), 40u);
    for (int i = 0; i < 40; i += 2)
        b->removeItem(views[static_cast<std::size_t>(i)]);
    EXPECT_EQ(b->items().size(), 20u);
    for (int i = 0; i < 40; ++i) {
        double expected = i % 2 ? i : 0;
        EXPECT_EQ(b->linearVelocityForItem(*views[static_cast<std::size_t>(i)]).x, expected) << i;
    }
}

} // namespace
