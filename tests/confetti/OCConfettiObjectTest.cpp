#include "confetti/OCConfettiObject.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceRandom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kStep = UIDynamicAnimator::kStepInterval;

struct Recorder : OCConfettiObjectDelegate {
    void needToDeallocateConfettiObject(const std::shared_ptr<OCConfettiObject>& object) override {
        told.push_back(object.get());
        if (drop)
            drop(object);
    }
    std::vector<const OCConfettiObject*> told;
    std::function<void(const std::shared_ptr<OCConfettiObject>&)> drop;
};

class OCConfettiObjectTest : public testing::Test {
protected:
    void SetUp() override {
        loop = NSRunLoop::installMain(ManualClock::create());
        area = UIView::create(CGRectMake(0, 0, 300, 100));
        animator = UIDynamicAnimator::create(area);
        gravity = UIGravityBehavior::create();
        gravity->setMagnitude(0.5);
        animator->addBehavior(gravity);
    }
    // A piece attached as the area attaches it, optionally without gravity acting on it (so its
    // velocity stays where a test puts it).
    std::shared_ptr<OCConfettiObject> attach(CGPoint center, CGPoint velocity, bool falls = true) {
        auto view = UIView::create(CGRectMake(center.x - 4, center.y - 4, 8, 8));
        auto piece = OCConfettiObject::create(view, area->bounds(), animator, gravity);
        piece->setLinearVelocity(velocity);
        piece->setDelegate(recorder);
        area->addSubview(view);
        animator->addBehavior(piece->fallingBehavior());
        if (falls)
            gravity->addItem(view);
        return piece;
    }
    CGPoint velocityOf(OCConfettiObject& piece) {
        return piece.fallingBehavior()->linearVelocityForItem(*piece.confettiView());
    }

    std::shared_ptr<NSRunLoop> loop;
    std::shared_ptr<UIView> area;
    std::shared_ptr<UIDynamicAnimator> animator;
    std::shared_ptr<UIGravityBehavior> gravity;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(OCConfettiObjectTest, ANewPieceAndItsBehaviourBuiltOnFirstRequest) {
    auto view = UIView::create(CGRectMake(0, 0, 8, 8));
    auto piece = OCConfettiObject::create(view, area->bounds(), animator, gravity);
    EXPECT_EQ(piece->linearVelocity(), CGPointMake(0, 0));
    EXPECT_EQ(piece->swayLength(), 0.0);
    EXPECT_EQ(piece->density(), 1.0);
    EXPECT_EQ(piece->swayType(), OCConfettiObject::SwayNone);
    EXPECT_FALSE(piece->builtFallingBehavior());

    piece->setLinearVelocity({30, -200});
    auto behavior = piece->fallingBehavior();
    ASSERT_TRUE(behavior);
    EXPECT_EQ(piece->fallingBehavior(), behavior); // the same one, asked twice
    EXPECT_EQ(behavior->items(), std::vector<std::shared_ptr<UIView>>{view});
    EXPECT_TRUE(behavior->hasAction());
    EXPECT_EQ(behavior->linearVelocityForItem(*view), CGPointMake(30, -200)); // handed over on joining
    animator->addBehavior(behavior);
    EXPECT_EQ(behavior->linearVelocityForItem(*view), CGPointMake(30, -200));
}

TEST_F(OCConfettiObjectTest, SwaysAndBrakesOnlyWhenFallingFasterThanFifty) {
    DeviceRandom::ScopedSeed seed(1);
    auto piece = attach({150, 20}, {0, -100});
    piece->setSwayLength(20);
    auto behavior = piece->fallingBehavior();
    // Thrown upward at 100 points/s with 500 points/s² of gravity: vy passes 50 after 0.3 s.
    int steps = 0;
    while (velocityOf(*piece).y <= 50) {
        EXPECT_EQ(piece->swayType(), OCConfettiObject::SwayNone);
        EXPECT_EQ(behavior->resistance(), 0);
        animator->step(kStep);
        ++steps;
    }
    EXPECT_NEAR(steps, 18.5, 0.5); // 50 points/s is reached after 18 steps, give or take rounding
    // The first qualifying step only records the focal point and picks a direction...
    EXPECT_NE(piece->swayType(), OCConfettiObject::SwayNone);
    EXPECT_EQ(piece->swayFocalPointX(), 150);
    EXPECT_EQ(velocityOf(*piece).x, 0);
    double vy = velocityOf(*piece).y;
    EXPECT_DOUBLE_EQ(behavior->resistance(), vy / 0.5 / 1.0 / 100.0);
    // ...and the push comes with the next one.
    bool left = piece->swayType() == OCConfettiObject::SwayLeft;
    animator->step(kStep);
    EXPECT_NEAR(velocityOf(*piece).x, left ? -10 : 10, 1e-9);
}

TEST_F(OCConfettiObjectTest, ResistanceFollowsSpeedGravityAndDensity) {
    auto piece = attach({150, 20}, {0, 150}, /*falls=*/false); // vy stays 150 through the first step
    piece->setDensity(0.5);
    animator->step(kStep);
    EXPECT_DOUBLE_EQ(piece->fallingBehavior()->resistance(), 6.0); // 150 / 0.5 / 0.5 / 100
    // Gravity of magnitude 0 would divide by zero: the last resistance stays.
    gravity->setMagnitude(0);
    animator->step(kStep);
    EXPECT_DOUBLE_EQ(piece->fallingBehavior()->resistance(), 6.0);
}

TEST_F(OCConfettiObjectTest, SwayTurnsBackPastHalfItsLength) {
    DeviceRandom::ScopedSeed seed(2);
    auto piece = attach({150, 20}, {0, 100}, false);
    piece->setSwayLength(0);
    animator->step(kStep); // records the focal point
    auto first = piece->swayType();
    // With a sway length of 0 the direction turns on the first step the centre is past the
    // focal point; pushed 10 points/s a step, that takes a few steps.
    for (int i = 0; i < 10 && piece->swayType() == first; ++i)
        animator->step(kStep);
    EXPECT_NE(piece->swayType(), first);
    double x = piece->confettiView()->center().x;
    EXPECT_TRUE(first == OCConfettiObject::SwayLeft ? x < 150 : x > 150);
}

TEST_F(OCConfettiObjectTest, CoinIsFairOverManyPieces) {
    auto piece = attach({0, 0}, {});
    int heads = 0;
    for (int i = 0; i < 2000; ++i)
        heads += piece->flipCoinIsHeads();
    EXPECT_NEAR(heads, 1000, 120);
}

TEST_F(OCConfettiObjectTest, RemovedOnlyOnceStrictlyBelowTheHeightAndTellsTheDelegateOnce) {
    auto piece = attach({150, 100}, {0, 0}, false); // the centre exactly on the height
    auto view = piece->confettiView();
    auto behavior = piece->fallingBehavior();
    animator->step(kStep);
    EXPECT_TRUE(recorder->told.empty());
    EXPECT_EQ(view->superview(), area);

    behavior->addLinearVelocity({0, 6}, view); // 0.1 points past the height after one step
    animator->step(kStep);
    EXPECT_EQ(recorder->told, std::vector<const OCConfettiObject*>{piece.get()});
    EXPECT_FALSE(piece->builtFallingBehavior());
    EXPECT_FALSE(piece->confettiView());
    EXPECT_FALSE(view->superview());
    EXPECT_FALSE(behavior->hasAction());
    EXPECT_TRUE(behavior->items().empty());
    EXPECT_FALSE(behavior->dynamicAnimator());
    EXPECT_EQ(animator->behaviors(), std::vector<std::shared_ptr<UIDynamicBehavior>>{gravity});
    EXPECT_EQ(animator->itemCount(), 0u);

    piece->cleanupObject(); // a second cleanup finds nothing to do
    EXPECT_EQ(recorder->told.size(), 1u);
}

TEST_F(OCConfettiObjectTest, PiecesFreedByTheirDelegateFromInsideTheStep) {
    // The delegate drops the last reference to each piece while the animator steps; pieces
    // that fall out together must all go, each once, and the animator falls idle.
    std::vector<std::shared_ptr<OCConfettiObject>> live;
    recorder->drop = [&](const std::shared_ptr<OCConfettiObject>& object) { std::erase(live, object); };
    for (int i = 0; i < 50; ++i)
        live.push_back(attach({3.0 * i, 90 + 0.1 * i}, {0, 100}));
    while (!live.empty() && loop->now() < 5)
        loop->advanceBy(kStep);
    EXPECT_TRUE(live.empty());
    EXPECT_EQ(recorder->told.size(), 50u);
    EXPECT_EQ(animator->itemCount(), 0u);
    EXPECT_TRUE(area->subviews().empty());
    EXPECT_FALSE(animator->isRunning());
}

TEST(OCConfettiObjectReachTest, OnlyPiecesFarOutOrNotAtAnyPointAreOutOfReach) {
    const CGRect screen = CGRectMake(0, 0, 375, 667); // reach: 10 heights, 6670 points
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(OCConfettiObject::isOutOfReach({-6669, -6669}, {-500, -900}, screen));
    EXPECT_FALSE(OCConfettiObject::isOutOfReach({375 + 6669, 1e9}, {}, screen)); // below: the height rule
    EXPECT_TRUE(OCConfettiObject::isOutOfReach({-6671, 300}, {}, screen));
    EXPECT_TRUE(OCConfettiObject::isOutOfReach({187, -6671}, {}, screen));
    EXPECT_TRUE(OCConfettiObject::isOutOfReach({std::nan(""), 300}, {}, screen));
    EXPECT_TRUE(OCConfettiObject::isOutOfReach({187, 300}, {-inf, 0}, screen));
}

} // namespace
