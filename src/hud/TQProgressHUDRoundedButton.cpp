#include "hud/TQProgressHUDRoundedButton.h"

#include "platform/ui/layers/CALayer.h"

#include <cmath>

std::shared_ptr<TQProgressHUDRoundedButton> TQProgressHUDRoundedButton::create(CGRect frame) {
    auto b = std::shared_ptr<TQProgressHUDRoundedButton>(new TQProgressHUDRoundedButton(frame));
    b->commonInit();
    return b;
}

std::shared_ptr<TQProgressHUDRoundedButton> TQProgressHUDRoundedButton::buttonWithType(std::int64_t type) {
    // Only the custom type exists for this class; the HUD asks for nothing else.
    (void)type;
    return create(CGRectZero);
}

void TQProgressHUDRoundedButton::commonInit() {
    UIButton::commonInit();
    layer()->setBorderWidth(1);
}

void TQProgressHUDRoundedButton::layoutSubviews() {
    UIButton::layoutSubviews();
    // A pill: the corner radius follows the height, rounded up to a whole point.
    layer()->setCornerRadius(std::ceil(bounds().size.height / 2));
}

CGSize TQProgressHUDRoundedButton::intrinsicContentSize() const {
    // Without an action the button is unused and must take no room in the HUD's stack.
    if (allControlEvents() == 0)
        return CGSizeZero;
    CGSize size = UIButton::intrinsicContentSize();
    size.width += 20;
    return size;
}

void TQProgressHUDRoundedButton::setTitleColor(std::optional<UIColor> color, UIControlState state) {
    UIButton::setTitleColor(color, state);
    // Re-apply the highlight so its background follows the new colours.
    setHighlighted(isHighlighted());
    layer()->setBorderColor(color);
}

void TQProgressHUDRoundedButton::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    UIColor base = titleColorForState(UIControlStateSelected);
    setBackgroundColor(highlighted ? base.colorWithAlphaComponent(0.1) : UIColor::clearColor());
}
