#include "confetti/OCConfettiRandom.h"
#include "confetti/OCConfettiArea.h"

#include <gtest/gtest.h>

namespace {

TEST(OCConfettiRandomTest, FloatDrawsReachBothEndsInEitherOrder) {
    EXPECT_EQ(OCRandomFloatBetween(1, 5, 0), 1.0);
    EXPECT_EQ(OCRandomFloatBetween(1, 5, 0x7FFFFFFF), 5.0);
    EXPECT_EQ(OCRandomFloatBetween(1, 5, 0xFFFFFFFF), 5.0); // only the low 31 bits count
    EXPECT_EQ(OCRandomFloatBetween(1, 5, 0x80000000), 1.0);
    EXPECT_EQ(OCRandomFloatBetween(-100, -400, 0), -100.0);
    EXPECT_EQ(OCRandomFloatBetween(-100, -400, 0x7FFFFFFF), -400.0);
    for (int i = 0; i < 1000; ++i) {
        double v = OCConfettiArea::randomFloatBetween(-100, -400);
        EXPECT_GE(v, -400.0);
        EXPECT_LE(v, -100.0);
    }
}

TEST(OCConfettiRandomTest, IntegerDrawsNeverReachTheUpperBound) {
    EXPECT_EQ(OCRandomIntegerFrom(0, 4, 3), 3);
    EXPECT_EQ(OCRandomIntegerFrom(0, 4, 4), 0);
    EXPECT_EQ(OCRandomIntegerFrom(0, 4, 0xFFFFFFFF), 3); // a large draw stays positive
    EXPECT_EQ(OCRandomIntegerFrom(10, 10, 12345), 10);
    EXPECT_EQ(OCConfettiArea::randomIntegerFrom(7, 7), 7);
    for (int i = 0; i < 1000; ++i) {
        auto v = OCConfettiArea::randomIntegerFrom(0, 4);
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 4);
    }
}

} // namespace
