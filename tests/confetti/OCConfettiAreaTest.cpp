#include "confetti/OCConfettiArea.h"
#include "confetti/OCConfettiRandom.h"

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

struct Colours : OCConfettiAreaDelegate {
    bool implementsColorsForConfettiArea() const override { return implements; }
    std::optional<std::vector<UIColor>>
    colorsForConfettiArea(const std::shared_ptr<OCConfettiArea>&) override {
        return answer;
    }
    bool implements = true;
    std::optional<std::vector<UIColor>> answer;
};

TEST(OCConfettiAreaTest, CommonInitDefaultsAndColourRefreshOnEveryEmit) {
    auto area = OCConfettiArea::create(CGRectMake(0, 0, 375, 667));
    EXPECT_EQ(area->swayLength(), 50.0);
    EXPECT_EQ(area->blastSpread(), 0.1);
    EXPECT_FALSE(area->colors());
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);

    area->burstAt(area->center(), 10, 0); // no pieces, but the colours still refresh
    EXPECT_EQ(area->colors(), OCConfettiArea::defaultColors());
    EXPECT_EQ(OCConfettiArea::defaultColors().size(), 7u);
    EXPECT_EQ(OCConfettiArea::defaultColors()[3], UIColor::colorWithRed(1, 0.5, 0, 1));

    auto delegate = std::make_shared<Colours>();
    delegate->answer = std::vector<UIColor>{UIColor::blackColor()};
    area->setDelegate(delegate);
    area->blastFrom(area->center(), 1.57, 1000, 10, 5);
    EXPECT_EQ(area->colors(), delegate->answer);
    delegate->answer = std::nullopt; // "no list at all" is its answer, not a reason for defaults
    area->blastConfettiType("OCConfettiView", area->center(), 0, 500, 3);
    EXPECT_FALSE(area->colors());
    delegate->implements = false;
    area->burstAt(area->center(), 10, 60);
    EXPECT_EQ(area->colors(), OCConfettiArea::defaultColors());
    delegate.reset(); // weak: the area does not keep it
    EXPECT_FALSE(area->delegate());
    ASSERT_EQ(area->emits().size(), 4u);
    EXPECT_EQ(area->emits()[1].kind, OCConfettiArea::Emit::Kind::Blast);
    EXPECT_EQ(area->emits()[2].confettiType, "OCConfettiView");
}

} // namespace
