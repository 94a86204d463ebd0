#include "hud/TQBarProgressView.h"

#include "HudTestSupport.h"

namespace {

constexpr double kBarScale = 4;

std::shared_ptr<CGImage> drawBar(float progress, double height = 10) {
    auto bar = TQBarProgressView::create(CGRectMake(0, 0, 120, height));
    bar->setLineColor(UIColor::greenColor());
    bar->setProgressRemainingColor(UIColor::blueColor());
    bar->setProgressColor(UIColor::redColor());
    bar->setProgress(progress);
    return drawViewContent(*bar, kBarScale);
}

bool red(const CGImage& image, double x, double y) {
    return isColor(pixelAtPoint(image, x, y, kBarScale), 255, 0, 0);
}
bool blue(const CGImage& image, double x, double y) {
    return isColor(pixelAtPoint(image, x, y, kBarScale), 0, 0, 255);
}

class TQBarProgressViewTest : public HudTest {};

TEST_F(TQBarProgressViewTest, DefaultsAndSizes) {
    auto bar = TQBarProgressView::create();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 0, 120, 20));
    EXPECT_EQ(bar->intrinsicContentSize(), CGSizeMake(120, 10));
    EXPECT_EQ(bar->lineColor(), UIColor::whiteColor());
    EXPECT_EQ(bar->progressRemainingColor(), UIColor::clearColor());
    EXPECT_EQ(bar->progressColor(), UIColor::whiteColor());
    EXPECT_FALSE(bar->isOpaque());
    ScopedSystemVersion pre7(kCFCoreFoundationVersionNumber_iOS_6_1);
    EXPECT_EQ(bar->intrinsicContentSize(), CGSizeMake(120, 20));
}

TEST_F(TQBarProgressViewTest, SettersCompareAndCheck) {
    auto bar = TQBarProgressView::create();
    bar->clearNeedsDisplay();
    bar->setProgress(0);
    bar->setProgressColor(UIColor::whiteColor());
    bar->setLineColor(UIColor::redColor()); // a plain store
    EXPECT_FALSE(bar->needsDisplay());
    bar->setLineColor(std::nullopt); // no check on the line colour
    EXPECT_FALSE(bar->lineColor().has_value());
    expectAssertion([&] { bar->setProgressColor(std::nullopt); }, "The color should not be nil.");
    expectAssertion([&] { bar->setProgressRemainingColor(std::nullopt); }, "The color should not be nil.");
    bar->setProgressRemainingColor(UIColor::blackColor());
    EXPECT_TRUE(bar->needsDisplay());
}

TEST_F(TQBarProgressViewTest, NoProgressFillsNothing) {
    auto image = drawBar(0);
    EXPECT_TRUE(blue(*image, 4.5, 5));
    EXPECT_TRUE(blue(*image, 60, 5));
    // The outline is the line colour, 2 points wide around a capsule inset by 2.
    EXPECT_TRUE(isColor(pixelAtPoint(*image, 60, 2, kBarScale), 0, 255, 0));
    EXPECT_TRUE(isClear(pixelAtPoint(*image, 60, 0.5, kBarScale)));
}

TEST_F(TQBarProgressViewTest, TinyProgressFillsTheWholeLeftCap) {
    auto image = drawBar(0.01f); // a = 1.2: the left-end case
    EXPECT_TRUE(red(*image, 4.6, 5));
    EXPECT_TRUE(blue(*image, 5.5, 5));
    EXPECT_TRUE(blue(*image, 30, 5));
}

TEST_F(TQBarProgressViewTest, HalfProgressEndsStraightAtTheMiddle) {
    auto image = drawBar(0.5f); // a = 60
    EXPECT_TRUE(red(*image, 5, 5));
    EXPECT_TRUE(red(*image, 30, 4.4));
    EXPECT_TRUE(red(*image, 59.6, 4.4));
    EXPECT_TRUE(red(*image, 59.6, 5.6));
    EXPECT_TRUE(blue(*image, 60.4, 5));
    EXPECT_TRUE(blue(*image, 30, 3.5)); // the fill is 2 points inside the outline
}

TEST_F(TQBarProgressViewTest, FullAndBeyondStopAtTheRightCap) {
    for (float p : {1.0f, 1.5f}) {
        auto image = drawBar(p);
        EXPECT_TRUE(red(*image, 100, 5)) << p;
        EXPECT_TRUE(red(*image, 115.5, 5)) << p;
        EXPECT_FALSE(red(*image, 117, 5)) << p;
    }
    // Just into the right-end case the fill follows the cap's curve up to a.
    auto image = drawBar(115.5f / 120);
    EXPECT_TRUE(red(*image, 115.2, 5));
    EXPECT_FALSE(red(*image, 116, 5));
}

TEST_F(TQBarProgressViewTest, TallerBarsScaleTheCaps) {
    auto image = drawBar(0.5f, 20); // R = 8, r = 6
    EXPECT_TRUE(red(*image, 30, 5));
    EXPECT_TRUE(red(*image, 59.5, 15));
    EXPECT_TRUE(blue(*image, 61, 10));
    EXPECT_FALSE(red(*image, 5, 5)); // the rounded corner of the fill
}

} // namespace
