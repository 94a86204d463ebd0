#include "confetti/L360ConfettiArea.h"
#include "confetti/L360ConfettiRandom.h"

#include <gtest/gtest.h>

namespace {

TEST(L360ConfettiRandomTest, FloatDrawsReachBothEndsInEitherOrder) {
    EXPECT_EQ(L360RandomFloatBetween(1, 5, 0), 1.0);
    EXPECT_EQ(L360RandomFloatBetween(1, 5, 0x7FFFFFFF), 5.0);
    EXPECT_EQ(L360RandomFloatBetween(1, 5, 0xFFFFFFFF), 5.0); // only the low 31 bits count
    EXPECT_EQ(L360RandomFloatBetween(1, 5, 0x80000000), 1.0);
    EXPECT_EQ(L360RandomFloatBetween(-100, -400, 0), -100.0);
    EXPECT_EQ(L360RandomFloatBetween(-100, -400, 0x7FFFFFFF), -400.0);
    for (int i = 0; i < 1000; ++i) {
        double v = L360ConfettiArea::randomFloatBetween(-100, -400);
        EXPECT_GE(v, -400.0);
        EXPECT_LE(v, -100.0);
    }
}

TEST(L360ConfettiRandomTest, IntegerDrawsNeverReachTheUpperBound) {
    EXPECT_EQ(L360RandomIntegerFrom(0, 4, 3), 3);
    EXPECT_EQ(L360RandomIntegerFrom(0, 4, 4), 0);
    EXPECT_EQ(L360RandomIntegerFrom(0, 4, 0xFFFFFFFF), 3); // a large draw stays positive
    EXPECT_EQ(L360RandomIntegerFrom(10, 10, 12345), 10);
    EXPECT_EQ(L360ConfettiArea::randomIntegerFrom(7, 7), 7);
    for (int i = 0; i < 1000; ++i) {
        auto v = L360ConfettiArea::randomIntegerFrom(0, 4);
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 4);
    }
}

struct Colours : L360ConfettiAreaDelegate {
    bool implementsColorsForConfettiArea() const override { return implements; }
    std::optional<std::vector<UIColor>>
    colorsForConfettiArea(const std::shared_ptr<L360ConfettiArea>&) override {
        return answer;
    }
    bool implements = true;
    std::optional<std::vector<UIColor>> answer;
};

TEST(L360ConfettiAreaTest, CommonInitDefaultsAndColourRefreshOnEveryEmit) {
    auto area = L360ConfettiArea::create(CGRectMake(0, 0, 375, 667));
    EXPECT_EQ(area->swayLength(), 50.0);
    EXPECT_EQ(area->blastSpread(), 0.1);
    EXPECT_FALSE(area->colors());
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);

    area->burstAt(area->center(), 10, 0); // no pieces, but the colours still refresh
    EXPECT_EQ(area->colors(), L360ConfettiArea::defaultColors());
    EXPECT_EQ(L360ConfettiArea::defaultColors().size(), 7u);
    EXPECT_EQ(L360ConfettiArea::defaultColors()[3], UIColor::colorWithRed(1, 0.5, 0, 1));

    auto delegate = std::make_shared<Colours>();
    delegate->answer = std::vector<UIColor>{UIColor::blackColor()};
    area->setDelegate(delegate);
    area->blastFrom(area->center(), 1.57, 1000, 10, 5);
    EXPECT_EQ(area->colors(), delegate->answer);
    delegate->answer = std::nullopt; // "no list at all" is its answer, not a reason for defaults
    area->blastConfettiType("L360ConfettiView", area->center(), 0, 500, 3);
    EXPECT_FALSE(area->colors());
    delegate->implements = false;
    area->burstAt(area->center(), 10, 60);
    EXPECT_EQ(area->colors(), L360ConfettiArea::defaultColors());
    delegate.reset(); // weak: the area does not keep it
    EXPECT_FALSE(area->delegate());
    ASSERT_EQ(area->emits().size(), 4u);
    EXPECT_EQ(area->emits()[1].kind, L360ConfettiArea::Emit::Kind::Blast);
    EXPECT_EQ(area->emits()[2].confettiType, "L360ConfettiView");
}

} // namespace
