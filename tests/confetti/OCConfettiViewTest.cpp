#include "confetti/OCConfettiView.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/NSValue.h"
#include "platform/ui/layers/CABasicAnimation.h"
#include "platform/ui/layers/CALayer.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

class OCConfettiViewTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }
    std::shared_ptr<NSRunLoop> loop;
    std::shared_ptr<UIView> parent = UIView::create(CGRectMake(0, 0, 100, 100));
};

TEST_F(OCConfettiViewTest, FlipsOnceAboutTheAxisOfItsType) {
    auto view = OCConfettiView::create(CGRectMake(10, 10, 8, 8), 4, OCConfettiView::FlutterAxisX);
    EXPECT_FALSE(view->animationAdded());
    EXPECT_TRUE(view->layer()->animationKeys().empty());

    parent->addSubview(view);
    EXPECT_TRUE(view->animationAdded());
    ASSERT_EQ(view->layer()->animationKeys(), std::vector<std::string>{"OCConfettiRotationAnimation"});
    auto flip = view->layer()->animationForKey("OCConfettiRotationAnimation");
    EXPECT_EQ(flip->keyPath(), "transform");
    EXPECT_DOUBLE_EQ(flip->duration(), 0.25);
    EXPECT_EQ(flip->repeatCount(), 500.0f);
    EXPECT_TRUE(flip->fromValue().isNone()); // from the layer's own transform
    EXPECT_EQ(NSValue::transformOf(flip->toValue()), CATransform3DMakeRotation(std::numbers::pi, 1, 0, 0));

    // Taken out and put in again: still the one flutter.
    view->removeFromSuperview();
    parent->addSubview(view);
    EXPECT_EQ(view->layer()->animationKeys().size(), 1u);
    EXPECT_EQ(view->layer()->animationForKey("OCConfettiRotationAnimation"), flip);
    EXPECT_EQ(view->frame(), CGRectMake(10, 10, 8, 8));
}

TEST_F(OCConfettiViewTest, UnknownTypesFlipLikeTypeZero) {
    using Axis = std::array<double, 3>;
    EXPECT_EQ(OCConfettiView::flutterAxis(0), (Axis{-1, 1, 0}));
    EXPECT_EQ(OCConfettiView::flutterAxis(1), (Axis{1, 1, 0}));
    EXPECT_EQ(OCConfettiView::flutterAxis(2), (Axis{1, 0, 0}));
    EXPECT_EQ(OCConfettiView::flutterAxis(3), (Axis{0, 1, 0}));
    EXPECT_EQ(OCConfettiView::flutterAxis(-1), (Axis{-1, 1, 0}));

    auto view = OCConfettiView::create(CGRectMake(0, 0, 8, 8), 1, 7);
    parent->addSubview(view);
    auto flip = view->layer()->animationForKey("OCConfettiRotationAnimation");
    ASSERT_TRUE(flip);
    EXPECT_DOUBLE_EQ(flip->duration(), 1.0);
    EXPECT_EQ(NSValue::transformOf(flip->toValue()), CATransform3DMakeRotation(std::numbers::pi, -1, 1, 0));
}

} // namespace
