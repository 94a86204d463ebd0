#include "platform/ui/UIToolbar.h"

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIVisualEffectView.h"

std::shared_ptr<UIToolbar> UIToolbar::create(CGRect frame) {
    auto v = std::shared_ptr<UIToolbar>(new UIToolbar(frame));
    v->commonInit();
    return v;
}

void UIToolbar::setBarTintColor(std::optional<UIColor> color) {
    barTintColor_ = color;
    setNeedsDisplay();
}

void UIToolbar::setTranslucent(bool translucent) {
    translucent_ = translucent;
    setNeedsDisplay();
}

void UIToolbar::drawRect(CGRect /*rect*/) {
    CGContextRef ctx = CGContext::current();
    if (!ctx)
        return;
    // The platform's default bar is a light grey; a translucent bar lets a blur of its backdrop
    // show through its tint.
    UIColor tint = barTintColor_.value_or(
        UIColor::resolved(UIColor::colorWithWhite(0.97, 1), UIColor::colorWithWhite(0.11, 1)));
    if (translucent_) {
        UIDrawBackdropBlur(ctx, bounds(), 20, &blurCache_);
        tint = tint.colorWithAlphaComponent(tint.alpha() * 0.85);
    }
    CGContextSetFillColorWithColor(ctx, tint.rgba);
    CGContextFillRect(ctx, bounds());
}
