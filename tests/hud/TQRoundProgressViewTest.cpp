#include "hud/TQRoundProgressView.h"

#include "HudTestSupport.h"
#include "platform/foundation/NSKeyValueCoding.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kRoundScale = 2;

// The pixel at `radius` from the centre of a 100 x 100 view, at an angle in degrees measured
// clockwise on screen from twelve o'clock.
CGImage::Pixel polar(const CGImage& image, double radius, double degreesFromTwelve) {
    double a = (degreesFromTwelve - 90) * std::numbers::pi / 180;
    return pixelAtPoint(image, 50 + radius * std::cos(a), 50 + radius * std::sin(a), kRoundScale);
}

std::shared_ptr<TQRoundProgressView> redOverBlue(bool annular, float progress) {
    auto v = TQRoundProgressView::create(CGRectMake(0, 0, 100, 100));
    v->setProgressTintColor(UIColor::redColor());
    v->setBackgroundTintColor(UIColor::blueColor());
    v->setAnnular(annular);
    v->setProgress(progress);
    return v;
}

class TQRoundProgressViewTest : public HudTest {};

TEST_F(TQRoundProgressViewTest, DefaultsAndSize) {
    auto v = TQRoundProgressView::create();
    EXPECT_EQ(v->frame(), CGRectMake(0, 0, 37, 37));
    EXPECT_EQ(v->intrinsicContentSize(), CGSizeMake(37, 37));
    EXPECT_EQ(v->progressTintColor(), UIColor::whiteColor());
    EXPECT_EQ(v->backgroundTintColor(), UIColor::colorWithWhite(1, 0.1));
    EXPECT_EQ(v->backgroundColor(), UIColor::clearColor());
    EXPECT_FALSE(v->isOpaque());
    EXPECT_FALSE(v->isAnnular());
    EXPECT_EQ(v->progress(), 0.0f);
}

TEST_F(TQRoundProgressViewTest, RedrawsOnlyOnRealChanges) {
    auto v = TQRoundProgressView::create();
    v->clearNeedsDisplay();
    v->setProgress(0);
    v->setProgressTintColor(UIColor::whiteColor());
    v->setBackgroundTintColor(UIColor::colorWithWhite(1, 0.1));
    v->setAnnular(true);
    EXPECT_FALSE(v->needsDisplay());
    v->setProgress(0.5f);
    EXPECT_TRUE(v->needsDisplay());
    v->clearNeedsDisplay();
    v->setBackgroundTintColor(UIColor::redColor());
    EXPECT_TRUE(v->needsDisplay());
}

TEST_F(TQRoundProgressViewTest, NoneColoursAreCallerErrors) {
    auto v = TQRoundProgressView::create();
    expectAssertion([&] { v->setProgressTintColor(std::nullopt); }, "The color should not be nil.");
    expectAssertion([&] { v->setBackgroundTintColor(std::nullopt); }, "The color should not be nil.");
    EXPECT_EQ(v->progressTintColor(), UIColor::whiteColor());
}

TEST_F(TQRoundProgressViewTest, ProgressIsSetByKey) {
    auto v = TQRoundProgressView::create();
    EXPECT_TRUE(v->respondsToSelector("setProgress:"));
    EXPECT_TRUE(NSKeyValueSetValue(*v, PlistValue(0.75), "progress"));
    EXPECT_EQ(v->progress(), 0.75f);
}

TEST_F(TQRoundProgressViewTest, AnnularQuarterPaintsTheTopRightArcOverTheTrack) {
    auto image = drawViewContent(*redOverBlue(true, 0.25f), kRoundScale);
    // The 2-point ring lies between radius 48 and 50.
    for (double deg : {10.0, 45.0, 80.0})
        EXPECT_TRUE(isColor(polar(*image, 49, deg), 255, 0, 0)) << deg;
    for (double deg : {100.0, 180.0, 270.0, 350.0})
        EXPECT_TRUE(isColor(polar(*image, 49, deg), 0, 0, 255)) << deg;
    EXPECT_TRUE(isClear(polar(*image, 45, 45))); // inside the ring
    EXPECT_TRUE(isClear(pixelAtPoint(*image, 50, 50, kRoundScale)));
    // Square caps reach one point past twelve and three o'clock.
    EXPECT_TRUE(isColor(pixelAtPoint(*image, 49.25, 1.25, kRoundScale), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAtPoint(*image, 98.75, 50.5, kRoundScale), 255, 0, 0));
    EXPECT_TRUE(isColor(pixelAtPoint(*image, 98.75, 52.5, kRoundScale), 0, 0, 255));
}

TEST_F(TQRoundProgressViewTest, PieQuarterDrawsABandInsideTheOutlineAndLeavesTheInsideEmpty) {
    auto image = drawViewContent(*redOverBlue(false, 0.25f), kRoundScale);
    // The outline circle (radius 48 to 50) is in the progress colour all round.
    for (double deg : {45.0, 135.0, 225.0, 315.0})
        EXPECT_TRUE(isColor(polar(*image, 49, deg), 255, 0, 0)) << deg;
    // The 4-point band (radius 46 to 50) covers only the first quarter.
    EXPECT_TRUE(isColor(polar(*image, 47, 45), 255, 0, 0));
    EXPECT_TRUE(isClear(polar(*image, 47, 135)));
    EXPECT_TRUE(isClear(polar(*image, 47, 300)));
    // Nothing fills the circle's interior, not even the background tint.
    EXPECT_TRUE(isClear(polar(*image, 30, 45)));
    EXPECT_TRUE(isClear(pixelAtPoint(*image, 50, 50, kRoundScale)));
}

TEST_F(TQRoundProgressViewTest, PieBandReplacesTheOutlineColourWithCopyBlending) {
    auto v = redOverBlue(false, 0.25f);
    v->setProgressTintColor(UIColor::colorWithRed(1, 0, 0, 0.5));
    auto image = drawViewContent(*v, kRoundScale);
    // Where band and outline overlap the band's half-transparent colour replaces the outline
    // instead of compositing over it to a more opaque red.
    auto overlap = polar(*image, 49, 45);
    auto outlineOnly = polar(*image, 49, 225);
    EXPECT_NEAR(overlap.a, 128, 6);
    EXPECT_NEAR(outlineOnly.a, 128, 6);
}

TEST_F(TQRoundProgressViewTest, PreSevenVariants) {
    ScopedSystemVersion pre7(kCFCoreFoundationVersionNumber_iOS_6_1);
    auto ring = drawViewContent(*redOverBlue(true, 0.25f), kRoundScale);
    // A 5-point ring: radius 45 to 50.
    EXPECT_TRUE(isColor(polar(*ring, 46, 45), 255, 0, 0));
    EXPECT_TRUE(isColor(polar(*ring, 46, 200), 0, 0, 255));
    EXPECT_TRUE(isClear(polar(*ring, 43, 200)));

    auto pie = drawViewContent(*redOverBlue(false, 0.25f), kRoundScale);
    // A filled background disc with a filled progress sector.
    EXPECT_TRUE(isColor(polar(*pie, 30, 45), 255, 0, 0));
    EXPECT_TRUE(isColor(polar(*pie, 30, 200), 0, 0, 255));
    EXPECT_TRUE(isColor(polar(*pie, 49, 200), 255, 0, 0)); // the outline
}

TEST_F(TQRoundProgressViewTest, ProgressBeyondOneSweepsPastAFullTurn) {
    auto image = drawViewContent(*redOverBlue(true, 1.5f), kRoundScale);
    for (double deg : {45.0, 135.0, 225.0, 315.0})
        EXPECT_TRUE(isColor(polar(*image, 49, deg), 255, 0, 0)) << deg;
}

} // namespace
