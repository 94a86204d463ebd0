#include "platform/ui/UIStepper.h"

#include "platform/foundation/NSAssertionHandler.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

constexpr CGFloat kCornerRadius = 8;
constexpr CGFloat kGlyphHalfLength = 7;
constexpr CGFloat kGlyphWeight = 2;
constexpr CGFloat kDividerHeight = 18;

UIColor fillColor(bool pressed) {
    return pressed ? UIColor::resolved(UIColor::colorWithWhite(0.82, 1), UIColor::colorWithWhite(0.32, 1))
                   : UIColor::resolved(UIColor::colorWithRed(0.933, 0.933, 0.941, 1),
                                       UIColor::colorWithRed(0.180, 0.180, 0.192, 1));
}

} // namespace

std::shared_ptr<UIStepper> UIStepper::create(CGRect frame) {
    auto s = std::shared_ptr<UIStepper>(
        new UIStepper(CGRectMake(frame.origin.x, frame.origin.y, kWidth, kHeight)));
    s->commonInit();
    return s;
}

void UIStepper::setFrame(CGRect frame) {
    frame.size = CGSizeMake(kWidth, kHeight);
    UIControl::setFrame(frame);
}

void UIStepper::setValue(double value) {
    double clamped = std::clamp(value, minimum_, maximum_);
    if (clamped == value_)
        return;
    value_ = clamped;
    markDisplayChanged();
}

void UIStepper::setMinimumValue(double minimum) {
    minimum_ = minimum;
    maximum_ = std::max(maximum_, minimum_);
    value_ = std::clamp(value_, minimum_, maximum_);
    markDisplayChanged();
}

void UIStepper::setMaximumValue(double maximum) {
    maximum_ = maximum;
    minimum_ = std::min(minimum_, maximum_);
    value_ = std::clamp(value_, minimum_, maximum_);
    markDisplayChanged();
}

void UIStepper::setStepValue(double step) {
    if (!(step > 0)) {
        NSAssertionHandler::fail("Invalid parameter not satisfying: stepValue > 0");
        return;
    }
    step_ = step;
}

int UIStepper::halfAtPoint(CGPoint p) const {
    if (!pointInside(p))
        return 0;
    return p.x < kWidth / 2 ? -1 : 1;
}

std::string UIStepper::accessibilityText() const {
    std::ostringstream text;
    text << value_;
    return text.str();
}

void UIStepper::stepBy(int direction) {
    double next = std::clamp(value_ + direction * step_, minimum_, maximum_);
    if (next == value_)
        return;
    value_ = next;
    markDisplayChanged();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UIStepper::touchBegan(CGPoint p) {
    int half = halfAtPoint(p);
    if (!isEnabled() || half == 0 || (half < 0 ? !canDecrement() : !canIncrement()))
        return false;
    pressedHalf_ = half;
    setHighlighted(true);
    sendActionsForControlEvents(UIControlEventTouchDown);
    return true;
}

void UIStepper::touchEnded(CGPoint p) {
    int half = pressedHalf_;
    pressedHalf_ = 0;
    setHighlighted(false);
    if (half == 0 || halfAtPoint(p) != half)
        return;
    stepBy(half);
    sendActionsForControlEvents(UIControlEventTouchUpInside);
}

void UIStepper::touchCancelled() {
    pressedHalf_ = 0;
    setHighlighted(false);
}

void UIStepper::drawRect(CGRect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    const CGFloat half = kWidth / 2;
    UIColorSetFill(fillColor(false));
    UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, kWidth, kHeight), kCornerRadius)->fill();
    // The pressed half darkens inside the box's rounded outline.
    if (pressedHalf_ != 0) {
        CGContextSaveGState(c);
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, kWidth, kHeight), kCornerRadius)->addClip();
        UIColorSetFill(fillColor(true));
        UIRectFill(CGRectMake(pressedHalf_ < 0 ? 0 : half, 0, half, kHeight));
        CGContextRestoreGState(c);
    }
    UIColorSetFill(UIColor::separatorColor());
    UIRectFill(CGRectMake(half - 0.5, (kHeight - kDividerHeight) / 2, 1, kDividerHeight));

    auto glyphColor = [](bool active) {
        return active ? UIColor::labelColor() : UIColor::labelColor().colorWithAlphaComponent(0.25);
    };
    const CGFloat midY = kHeight / 2;
    const CGFloat minusX = half / 2, plusX = half + half / 2;
    UIColorSetFill(glyphColor(canDecrement()));
    UIRectFill(
        CGRectMake(minusX - kGlyphHalfLength, midY - kGlyphWeight / 2, 2 * kGlyphHalfLength, kGlyphWeight));
    UIColorSetFill(glyphColor(canIncrement()));
    UIRectFill(
        CGRectMake(plusX - kGlyphHalfLength, midY - kGlyphWeight / 2, 2 * kGlyphHalfLength, kGlyphWeight));
    UIRectFill(
        CGRectMake(plusX - kGlyphWeight / 2, midY - kGlyphHalfLength, kGlyphWeight, 2 * kGlyphHalfLength));
}
