#include "platform/ui/layers/CALayer.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/NSValue.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIView.h"
#include "platform/ui/layers/CABasicAnimation.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {
constexpr double pi = std::numbers::pi;

class CALayerTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }

    // A flip about the vertical axis lasting one second, repeated.
    static std::shared_ptr<CABasicAnimation> flip() {
        auto a = CABasicAnimation::animationWithKeyPath("transform");
        a->setDuration(1);
        a->setRepeatCount(3);
        a->setToValue(PlistValue(NSValue::valueWithCATransform3D(CATransform3DMakeRotation(pi, 0, 1, 0))));
        return a;
    }
    std::shared_ptr<NSRunLoop> loop;
};

TEST_F(CALayerTest, ALayerKeptAfterItsViewStandsAlone) {
    std::shared_ptr<CALayer> layer;
    {
        auto view = UIView::create(CGRectMake(0, 0, 10, 10));
        layer = view->layer();
        // Inside an animation block, a change of the layer's transform animates its view.
        UIView::animateWithDuration(
            1.0, 0, 0, [&] { layer->setTransform(CATransform3DMakeScale(2, 2, 1)); }, nullptr);
        EXPECT_TRUE(view->hasAnimations());
    }
    // The view is gone; the layer still takes changes, with nothing to animate (under ASan, a
    // pointer to the old view would be a use after free here).
    UIView::animateWithDuration(
        1.0, 0, 0, [&] { layer->setTransform(CATransform3DIdentity); }, nullptr);
    layer->setCornerRadius(3);
    loop->advanceBy(2);
    EXPECT_EQ(layer->cornerRadius(), 3);
}

TEST_F(CALayerTest, ALayerKnowsItsViewWeaklyAndEvenWhenNeverHandedOut) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    // The view's own transform goes through its layer, which has not been asked for yet.
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] { view->setTransform(CGAffineTransformMakeScale(3, 3)); }, nullptr);
    EXPECT_TRUE(view->hasAnimations());
    loop->advanceBy(0.5);
    EXPECT_NEAR(view->presentationTransform().m11, 2, 1e-9);
    // A layer kept elsewhere does not keep its view.
    std::weak_ptr<UIView> weak = view;
    auto layer = view->layer();
    view.reset();
    EXPECT_TRUE(weak.expired());
    // A layer of no view takes changes inside a block with nothing to animate.
    auto alone = std::make_shared<CALayer>();
    UIView::animateWithDuration(
        1.0, 0, 0, [&] { alone->setTransform(CATransform3DMakeScale(2, 2, 1)); }, nullptr);
    EXPECT_EQ(alone->transform(), CATransform3DMakeScale(2, 2, 1));
}

TEST_F(CALayerTest, ALayerThatGoesWhileAnotherDeviceIsCurrentLeavesNothingBehind) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    view->layer()->addAnimation(flip(), "flip");
    EXPECT_TRUE(loop->hasFrameObservers());
    {
        DeviceEnvironment::Scope next;
        view.reset(); // not in this device's set of animated layers
    }
    // This device's set drops it when it next looks (under ASan, a pointer to the old layer
    // would be a use after free here), and the loop then sleeps.
    loop->advanceBy(4);
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(CALayerTest, AnimationsByKeyReplaceAndRemove) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    auto& layer = *view->layer();
    auto a = flip();
    layer.addAnimation(a, "flip");
    layer.addAnimation(CABasicAnimation::animationWithKeyPath("opacity"), "fade");
    EXPECT_EQ(layer.animationKeys(), (std::vector<std::string>{"flip", "fade"}));
    auto running = layer.animationForKey("flip");
    ASSERT_TRUE(running);
    EXPECT_NE(running, a); // the layer runs a copy...
    a->setDuration(100);   // ...which later changes do not reach
    EXPECT_EQ(running->duration(), 1);
    layer.addAnimation(flip(), "flip"); // same key: replaced, and now last
    EXPECT_EQ(layer.animationKeys(), (std::vector<std::string>{"fade", "flip"}));
    layer.removeAnimationForKey("fade");
    EXPECT_EQ(layer.animationKeys(), std::vector<std::string>{"flip"});
    EXPECT_FALSE(layer.animationForKey("fade"));
    layer.addAnimation(nullptr, "none");
    EXPECT_EQ(layer.animationKeys().size(), 1u);
}

TEST_F(CALayerTest, EvaluatedOnTheClockAndDroppedAfterTheEnd) {
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    view->layer()->addAnimation(flip(), "flip");
    EXPECT_TRUE(loop->hasFrameObservers());                          // keeps the screen drawing
    EXPECT_EQ(view->presentationTransform(), CATransform3DIdentity); // starts from the layer's own
    loop->advanceBy(0.25);
    EXPECT_NEAR(view->presentationTransform().m11, std::cos(pi / 4), 1e-9);
    loop->advanceBy(1.0); // the second cycle, a quarter in
    EXPECT_NEAR(view->presentationTransform().m11, std::cos(pi / 4), 1e-9);
    EXPECT_EQ(view->layer()->transform(), CATransform3DIdentity); // the model is untouched
    loop->advanceBy(2.0);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
    EXPECT_EQ(view->presentationTransform(), CATransform3DIdentity);
    EXPECT_FALSE(loop->hasFrameObservers()); // idle again
}

TEST_F(CALayerTest, AFlipNarrowsThePieceToAnEdgeOnScreen) {
    // A red square 40 points wide on white, flipping about the vertical axis.
    auto root = UIView::create(CGRectMake(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto piece = UIView::create(CGRectMake(30, 30, 40, 40));
    piece->setBackgroundColor(UIColor::redColor());
    root->addSubview(piece);
    auto redWidth = [&] {
        auto image = UIRenderer::imageOfView(*root, 1)->CGImage();
        return pixels::count(image, 0, 50, 100, 51, pixels::red);
    };
    int resting = redWidth();
    EXPECT_NEAR(resting, 40, 1);
    piece->layer()->addAnimation(flip(), "flip");
    loop->advanceBy(0.25); // a quarter of the way: cos(45°) of the width
    int quarter = redWidth();
    EXPECT_LT(quarter, resting);
    EXPECT_NEAR(quarter, 40 * std::cos(pi / 4), 2);
    loop->advanceBy(0.25); // half way: edge-on
    EXPECT_LE(redWidth(), 1);
    loop->advanceBy(0.5); // a cycle's end looks like its start
    EXPECT_NEAR(redWidth(), resting, 1);
    EXPECT_EQ(piece->frame(), CGRectMake(30, 30, 40, 40)); // drawn only: the frame stays
}

} // namespace
