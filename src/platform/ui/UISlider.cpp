#include "platform/ui/UISlider.h"

#include "platform/foundation/NSLog.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/layers/CALayer.h"

#include <algorithm>
#include <cmath>

namespace {}

std::shared_ptr<UISlider> UISlider::create(CGRect frame) {
    auto s = std::shared_ptr<UISlider>(new UISlider(frame));
    s->commonInit();
    return s;
}

void UISlider::commonInit() {
    UIControl::commonInit();
    setBackgroundColor(std::nullopt);
    thumb_ = UIView::create(CGRectMake(0, 0, kThumbSize, kThumbSize));
    thumb_->setBackgroundColor(UIColor::whiteColor());
    thumb_->layer()->setCornerRadius(kThumbSize / 2);
    thumb_->layer()->setBorderWidth(0.5);
    thumb_->layer()->setBorderColor(UIColor::colorWithWhite(0, 0.2));
    thumb_->setUserInteractionEnabled(false);
    addSubview(thumb_);
    placeThumb();
}

std::string UISlider::accessibilityText() const {
    return NSStringWithFormat("%@", {PlistValue(value_)});
}

void UISlider::setValue(double value, bool animated) {
    if (!std::isfinite(value))
        return;
    value_ = std::clamp(value, min_, max_);
    if (animated)
        UIView::animateWithDuration(0.2, [this] { placeThumb(); });
    else
        UIView::performWithoutAnimation([this] { placeThumb(); });
    setNeedsDisplay();
}

void UISlider::setMinimumValue(double v) {
    if (!std::isfinite(v))
        return;
    min_ = v;
    max_ = std::max(max_, v);
    setValue(value_, false);
}

void UISlider::setMaximumValue(double v) {
    if (!std::isfinite(v))
        return;
    max_ = v;
    min_ = std::min(min_, v);
    setValue(value_, false);
}

void UISlider::setMinimumTrackTintColor(std::optional<UIColor> c) {
    minTint_ = c;
    setNeedsDisplay();
}

CGPoint UISlider::thumbCenterForValue(double value) const {
    CGFloat travel = std::max<CGFloat>(0, bounds().width() - kThumbSize);
    double fraction = max_ > min_ ? (std::clamp(value, min_, max_) - min_) / (max_ - min_) : 0;
    return CGPointMake(bounds().minX() + kThumbSize / 2 + travel * fraction, bounds().midY());
}

double UISlider::valueForPoint(CGPoint p) const {
    CGFloat travel = bounds().width() - kThumbSize;
    if (!(travel > 0))
        return min_;
    double fraction = std::clamp((p.x - bounds().minX() - kThumbSize / 2) / travel, 0.0, 1.0);
    return min_ + fraction * (max_ - min_);
}

void UISlider::placeThumb() {
    thumb_->setCenter(thumbCenterForValue(value_));
}

void UISlider::layoutSubviews() {
    UIView::performWithoutAnimation([this] { placeThumb(); });
}

void UISlider::drawRect(CGRect) {
    CGFloat split = thumbCenterForValue(value_).x;
    CGFloat left = bounds().minX() + 2, right = bounds().maxX() - 2, y = bounds().midY() - kTrackHeight / 2;
    UIColorSetFill(minTint_.value_or(*tintColor()));
    UIBezierPath::bezierPathWithRoundedRect(
        CGRectMake(left, y, std::max<CGFloat>(0, split - left), kTrackHeight), 1)
        ->fill();
    UIColorSetFill(UIColor::systemGray4Color());
    UIBezierPath::bezierPathWithRoundedRect(
        CGRectMake(split, y, std::max<CGFloat>(0, right - split), kTrackHeight), 1)
        ->fill();
}

void UISlider::moveTo(CGPoint p) {
    double before = value_;
    setValue(valueForPoint(CGPointMake(p.x - grabOffset_, p.y)), false);
    if (continuous_ && value_ != before)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISlider::touchBegan(CGPoint p) {
    if (!isEnabled())
        return false;
    valueAtTouch_ = value_;
    CGPoint c = thumbCenterForValue(value_);
    // A finger on the thumb keeps its grip where it took it; a touch on the track jumps there.
    grabOffset_ = std::abs(p.x - c.x) <= kThumbSize / 2 ? p.x - c.x : 0;
    setHighlighted(true);
    moveTo(p);
    return true;
}

void UISlider::touchMoved(CGPoint p) {
    moveTo(p);
}

void UISlider::touchEnded(CGPoint p) {
    moveTo(p);
    setHighlighted(false);
    if (!continuous_ && value_ != valueAtTouch_)
        sendActionsForControlEvents(UIControlEventValueChanged);
    sendActionsForControlEvents(UIControlEventTouchUpInside);
}

void UISlider::touchCancelled() {
    setHighlighted(false);
}
