#include "hud/TQBackgroundView.h"

#include "hud/TQSystemGeneration.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/ui/layers/CALayer.h"

std::shared_ptr<TQBackgroundView> TQBackgroundView::create(CGRect frame) {
    auto v = std::shared_ptr<TQBackgroundView>(new TQBackgroundView(frame));
    v->commonInit();
    return v;
}

void TQBackgroundView::commonInit() {
    UIView::commonInit();
    if (!TQIsPre7System()) {
        style_ = TQBackgroundStyleBlurred;
        blurEffectStyle_ = UIBlurEffectStyleLight;
        color_ = UIColor::colorWithWhite(TQIsPre8System() ? 0.95 : 0.8, 0.6);
    } else {
        style_ = TQBackgroundStyleFlat;
        color_ = UIColor::colorWithWhite(0, 0.8);
    }
    setClipsToBounds(true);
    updateForBackgroundStyle();
}

void TQBackgroundView::setStyle(std::int64_t style) {
    if (style == TQBackgroundStyleBlurred && TQIsPre7System())
        style = TQBackgroundStyleFlat;
    if (style == style_)
        return;
    style_ = style;
    updateForBackgroundStyle();
}

void TQBackgroundView::setBlurEffectStyle(std::int64_t style) {
    if (style == blurEffectStyle_)
        return;
    blurEffectStyle_ = style;
    updateForBackgroundStyle();
}

void TQBackgroundView::setColor(std::optional<UIColor> color) {
    NSAssert(color.has_value(), "The color should not be nil.");
    if (!color || *color == color_)
        return;
    color_ = *color;
    updateViewsForColor(*color);
}

void TQBackgroundView::updateForBackgroundStyle() {
    if (style_ == TQBackgroundStyleBlurred) {
        // A blur layer already present (the blur style changed while blurred) is replaced rather
        // than left under the new one, so the view always holds exactly one.
        if (auto old = effectView())
            old->removeFromSuperview();
        if (auto old = toolbar())
            old->removeFromSuperview();
        setEffectView(nullptr);
        setToolbar(nullptr);
        if (!TQIsPre8System()) {
            auto effect = UIVisualEffectView::create(UIBlurEffect::effectWithStyle(blurEffectStyle_));
            addSubview(effect);
            effect->setFrame(bounds());
            effect->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
            setBackgroundColor(color_);
            layer()->setAllowsGroupOpacity(false);
            setEffectView(effect);
        } else {
            auto bar = UIToolbar::create(CGRectInset(bounds(), -100, -100));
            bar->setBarTintColor(color_);
            bar->setTranslucent(true);
            addSubview(bar);
            setToolbar(bar);
        }
        return;
    }
    if (!TQIsPre8System()) {
        if (auto effect = effectView())
            effect->removeFromSuperview();
        setEffectView(nullptr);
    } else {
        if (auto bar = toolbar())
            bar->removeFromSuperview();
        setToolbar(nullptr);
    }
    setBackgroundColor(color_);
}

void TQBackgroundView::updateViewsForColor(const UIColor& color) {
    if (style_ == TQBackgroundStyleBlurred && TQIsPre8System()) {
        if (auto bar = toolbar())
            bar->setBarTintColor(color);
        return;
    }
    setBackgroundColor(color_);
}

void TQBackgroundView::layoutSubviews() {
    UIView::layoutSubviews();
    // The blur view follows the view's size by its autoresizing; the older toolbar stands 100
    // points out on every side.
    if (auto bar = toolbar())
        bar->setFrame(CGRectInset(bounds(), -100, -100));
}
