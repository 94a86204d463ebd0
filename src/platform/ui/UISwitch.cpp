#include "platform/ui/UISwitch.h"

#include "platform/ui/layers/CALayer.h"

namespace {
constexpr CGFloat kThumb = 27;
constexpr CGFloat kInset = 2;
} // namespace

std::shared_ptr<UISwitch> UISwitch::create(CGRect frame) {
    auto s =
        std::shared_ptr<UISwitch>(new UISwitch(CGRectMake(frame.origin.x, frame.origin.y, kWidth, kHeight)));
    s->commonInit();
    return s;
}

void UISwitch::commonInit() {
    UIControl::commonInit();
    layer()->setCornerRadius(kHeight / 2);
    thumb_ = UIView::create(CGRectMake(kInset, kInset, kThumb, kThumb));
    thumb_->setBackgroundColor(UIColor::whiteColor());
    thumb_->layer()->setCornerRadius(kThumb / 2);
    thumb_->layer()->setBorderWidth(0.5);
    thumb_->layer()->setBorderColor(UIColor::colorWithWhite(0, 0.15));
    thumb_->setUserInteractionEnabled(false);
    addSubview(thumb_);
    UIView::performWithoutAnimation([this] { applyState(); });
}

void UISwitch::setFrame(CGRect frame) {
    frame.size = CGSizeMake(kWidth, kHeight);
    UIControl::setFrame(frame);
}

void UISwitch::applyState() {
    // The rim shows only while off; on, the green fills the whole track.
    // In the dark style the off track is filled with the rim's grey, as the system draws it.
    const UIColor rim = UIColor::systemGray5Color();
    setBackgroundColor(on_ ? onTintColor() : UIColor::resolved(UIColor::whiteColor(), rim));
    layer()->setBorderWidth(on_ ? 0 : 1.5);
    layer()->setBorderColor(rim);
    CGFloat x = on_ ? kWidth - kInset - kThumb / 2 : kInset + kThumb / 2;
    thumb_->setCenter(CGPointMake(x, kHeight / 2));
}

void UISwitch::setOn(bool on, bool animated) {
    if (on == on_)
        return;
    on_ = on;
    if (animated)
        UIView::animateWithDuration(0.25, 0, UIViewAnimationOptionBeginFromCurrentState,
                                    [this] { applyState(); }, {});
    else
        UIView::performWithoutAnimation([this] { applyState(); });
}

void UISwitch::setOnTintColor(std::optional<UIColor> color) {
    onTint_ = color;
    UIView::performWithoutAnimation([this] { applyState(); });
}

void UISwitch::setEnabled(bool enabled) {
    UIControl::setEnabled(enabled);
    setAlpha(enabled ? 1 : 0.5);
}

bool UISwitch::touchBegan(CGPoint p) {
    if (!isEnabled())
        return false;
    touchStart_ = p;
    dragged_ = false;
    setHighlighted(true);
    sendActionsForControlEvents(UIControlEventTouchDown);
    return true;
}

void UISwitch::touchMoved(CGPoint p) {
    if (std::abs(p.x - touchStart_.x) > 4)
        dragged_ = true;
}

void UISwitch::touchEnded(CGPoint p) {
    setHighlighted(false);
    // A drag decides by the side the finger ends on; a tap flips.
    bool next = dragged_ ? p.x > kWidth / 2 : !on_;
    if (next != on_) {
        setOn(next, true);
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
    if (pointInside(p))
        sendActionsForControlEvents(UIControlEventTouchUpInside);
}

void UISwitch::touchCancelled() {
    setHighlighted(false);
}
