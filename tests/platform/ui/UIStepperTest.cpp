// The stepper, checked on what it paints where and on what touches do to its value.

#include "platform/ui/UIStepper.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/ui/UIRenderer.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>

namespace {

class UIStepperTest : public ::testing::Test {
protected:
    void SetUp() override {
        root->setBackgroundColor(UIColor::whiteColor());
        root->addSubview(stepper);
        stepper->setMinimumValue(0);
        stepper->setMaximumValue(3);
        stepper->addAction([this](UIControl&) { changes.push_back(stepper->value()); },
                           UIControlEventValueChanged);
    }
    void tap(CGPoint p) {
        if (stepper->touchBegan(p))
            stepper->touchEnded(p);
    }
    CGImageRef render() { return UIRenderer(2).renderFrame(*root); }

    std::shared_ptr<UIView> root = UIView::create(CGRectMake(0, 0, 120, 50));
    std::shared_ptr<UIStepper> stepper = UIStepper::create(CGRectMake(10, 10, 500, 500));
    std::vector<double> changes;
    static constexpr CGPoint kMinus{20, 16};
    static constexpr CGPoint kPlus{75, 16};
};

bool dark(const CGImage::Pixel& p) {
    return p.a > 200 && p.r < 90 && p.g < 90 && p.b < 90;
}

// Dark pixels inside a box of the stepper's coordinates (points), in the 2x image.
int darkIn(const CGImageRef& image, CGFloat x0, CGFloat y0, CGFloat x1, CGFloat y1) {
    return pixels::count(image, int(2 * (10 + x0)), int(2 * (10 + y0)), int(2 * (10 + x1)),
                         int(2 * (10 + y1)), dark);
}

} // namespace

TEST_F(UIStepperTest, IsAGreyRoundedBoxWithAMinusAndAPlusThatFadeAtTheEndsOfTheRange) {
    EXPECT_EQ(stepper->frame().size, CGSizeMake(94, 32));
    stepper->setValue(1);
    CGImageRef image = render();
    // The grey box, not white, and clear of the rounded corner.
    EXPECT_TRUE(pixels::near(pixels::at(image, 10 + 5, 10 + 16, 2), 238, 238, 240, 255, 6));
    EXPECT_TRUE(pixels::near(pixels::at(image, 10 + 0.5, 10 + 0.5, 2), 255, 255, 255, 255, 6));
    // The minus is a bar: dark across its middle, nothing above or below it.
    EXPECT_GT(darkIn(image, 18, 15, 29, 17), 20);
    EXPECT_EQ(darkIn(image, 18, 6, 29, 13), 0);
    // The plus has a vertical bar as well.
    EXPECT_GT(darkIn(image, 69, 15, 80, 17), 20);
    EXPECT_GT(darkIn(image, 69, 9, 72, 13), 4);

    // At the minimum the minus fades, and so does the plus at the maximum.
    stepper->setValue(0);
    image = render();
    EXPECT_EQ(darkIn(image, 18, 15, 29, 17), 0);
    EXPECT_GT(darkIn(image, 69, 15, 80, 17), 20);
    stepper->setValue(3);
    image = render();
    EXPECT_GT(darkIn(image, 18, 15, 29, 17), 20);
    EXPECT_EQ(darkIn(image, 69, 15, 80, 17), 0);
}

TEST_F(UIStepperTest, TapsStepWithinTheRangeAndTellOnlyRealChanges) {
    tap(kPlus);
    tap(kPlus);
    EXPECT_EQ(stepper->value(), 2);
    tap(kMinus);
    EXPECT_EQ(changes, (std::vector<double>{1, 2, 1}));
    tap(kPlus);
    tap(kPlus);
    tap(kPlus); // already at the maximum: refused, no event
    EXPECT_EQ(stepper->value(), 3);
    EXPECT_EQ(changes.size(), 5u);
    EXPECT_FALSE(stepper->touchBegan(kPlus));

    // A finger that slides to the other half, or is taken over by a scroll, changes nothing.
    ASSERT_TRUE(stepper->touchBegan(kMinus));
    stepper->touchEnded(kPlus);
    ASSERT_TRUE(stepper->touchBegan(kMinus));
    stepper->touchCancelled();
    EXPECT_EQ(stepper->value(), 3);
    EXPECT_FALSE(stepper->isHighlighted());

    // Setting the value is not a change of the user's, and a disabled stepper takes no touch.
    stepper->setValue(-10);
    EXPECT_EQ(stepper->value(), 0);
    stepper->setEnabled(false);
    EXPECT_FALSE(stepper->touchBegan(kPlus));
    EXPECT_EQ(changes.size(), 5u);
}

TEST_F(UIStepperTest, StepsAndRangesKeepTheValueInside) {
    stepper->setStepValue(2.5);
    stepper->setMaximumValue(4);
    tap(kPlus);
    tap(kPlus);
    EXPECT_EQ(changes, (std::vector<double>{2.5, 4}));
    stepper->setMaximumValue(1);
    EXPECT_EQ(stepper->value(), 1);
    stepper->setMinimumValue(7);
    EXPECT_EQ(stepper->maximumValue(), 7);
    EXPECT_EQ(stepper->value(), 7);
    EXPECT_THROW(stepper->setStepValue(0), AssertionFailure);
    EXPECT_EQ(stepper->stepValue(), 2.5);
}
