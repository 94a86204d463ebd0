#include "platform/ui/layers/CABasicAnimation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CABasicAnimationTest, CyclesRepeatFromTheStartAndEndAfterAllRepeats) {
    auto a = CABasicAnimation::animationWithKeyPath("transform");
    a->setDuration(0.25);
    a->setRepeatCount(500);
    a->setBeginTime(10);
    EXPECT_EQ(a->keyPath(), "transform");
    EXPECT_LT(a->fractionAt(9.99), 0); // not begun
    EXPECT_DOUBLE_EQ(a->fractionAt(10), 0);
    EXPECT_NEAR(a->fractionAt(10.125), 0.5, 1e-9);
    EXPECT_NEAR(a->fractionAt(10.25 + 0.0625), 0.25, 1e-9); // the second cycle starts again at 0
    EXPECT_DOUBLE_EQ(a->activeDuration(), 125);
    EXPECT_FALSE(a->hasEndedAt(134.9));
    EXPECT_TRUE(a->hasEndedAt(135));
    EXPECT_LT(a->fractionAt(135), 0);

    a->setRepeatCount(1.5f); // a fraction ends part way through a cycle
    EXPECT_DOUBLE_EQ(a->activeDuration(), 0.375);
    a->setRepeatCount(0); // once
    EXPECT_DOUBLE_EQ(a->activeDuration(), 0.25);
    a->setRepeatCount(INFINITY);
    EXPECT_FALSE(a->hasEndedAt(1e12));
    a->setDuration(0); // the platform's default
    EXPECT_DOUBLE_EQ(a->cycleDuration(), 0.25);
    a->setAutoreverses(true);
    EXPECT_NEAR(a->fractionAt(10.375), 0.5, 1e-9); // on the way back
}

TEST(CABasicAnimationTest, ACopyIsIndependent) {
    auto a = CABasicAnimation::animationWithKeyPath("transform");
    a->setToValue(PlistValue(1.0));
    a->setDuration(2);
    auto c = a->copy();
    a->setDuration(5);
    EXPECT_EQ(c->duration(), 2);
    EXPECT_EQ(c->toValue(), PlistValue(1.0));
    EXPECT_TRUE(c->fromValue().isNone());
}

} // namespace
