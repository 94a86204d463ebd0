#pragma once

// A −/+ stepper (UIKit's UIStepper) in the iOS look: a 94 x 32 point rounded box of light grey
// fill, split by a hairline into a minus half and a plus half. A tap on a half moves the value one
// step down or up, within the minimum and the maximum, and sends UIControlEventValueChanged when
// the value changed. A half that cannot move further (the value at its end of the range) draws
// its glyph faded and ignores taps.
//
//     auto stepper = UIStepper::create();
//     stepper->setMinimumValue(0);
//     stepper->setMaximumValue(10);
//     stepper->setValue(4);
//     stepper->addAction([](UIControl& c) { use(static_cast<UIStepper&>(c).value()); },
//                        UIControlEventValueChanged);
//
// The value moves when the finger lifts inside the half it went down on, so a touch that a
// scrolling list takes over changes nothing.

#include "platform/ui/UIControl.h"
#include "platform/ui/UITouchResponder.h"

#include <memory>
#include <optional>

class UIStepper : public UIControl, public UITouchResponder {
public:
    static constexpr CGFloat kWidth = 94;
    static constexpr CGFloat kHeight = 32;

    // The frame's size is ignored: a stepper is always 94 x 32 points.
    static std::shared_ptr<UIStepper> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UIStepper"; }

    double value() const { return value_; }
    // Clamped to the range; sends no event, as on the platform.
    void setValue(double value);
    double minimumValue() const { return minimum_; }
    // A minimum above the maximum raises the maximum to it; the value follows into the range.
    void setMinimumValue(double minimum);
    double maximumValue() const { return maximum_; }
    // A maximum below the minimum lowers the minimum to it; the value follows into the range.
    void setMaximumValue(double maximum);
    double stepValue() const { return step_; }
    // The step must be above 0 (an assertion otherwise).
    void setStepValue(double step);

    // Whether the half can move the value further.
    bool canDecrement() const { return isEnabled() && value_ > minimum_; }
    bool canIncrement() const { return isEnabled() && value_ < maximum_; }
    // The half under a point of the stepper's own coordinates: -1 minus, +1 plus, 0 outside.
    int halfAtPoint(CGPoint p) const;

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize) const override { return CGSizeMake(kWidth, kHeight); }
    std::string accessibilityText() const override;
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override;

    bool touchBegan(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override;

protected:
    explicit UIStepper(CGRect frame) : UIControl(frame) {}

private:
    // Moves one step in `direction` (-1 or +1) and tells the targets when the value changed.
    void stepBy(int direction);

    double value_ = 0;
    double minimum_ = 0;
    double maximum_ = 100;
    double step_ = 1;
    int pressedHalf_ = 0;
};
