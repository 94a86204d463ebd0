#include "platform/ui/UIActivityIndicatorView.h"

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIAppearance.h"

#include <cmath>
#include <numbers>

std::shared_ptr<UIActivityIndicatorView> UIActivityIndicatorView::create(std::int64_t style) {
    auto v = std::shared_ptr<UIActivityIndicatorView>(new UIActivityIndicatorView(style));
    v->commonInit();
    return v;
}

UIActivityIndicatorView::UIActivityIndicatorView(std::int64_t style) : UIView(CGRectZero), style_(style) {
    CGSize s = intrinsicContentSize();
    setBounds(CGRectMake(0, 0, s.width, s.height));
    setOpaque(false);
    setHidden(true); // hidden while stopped, until it starts
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(std::int64_t style) {
    style_ = style;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(std::optional<UIColor> color) {
    color_ = color;
    setNeedsDisplay();
    markDisplayChanged();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_)
        setHidden(hides);
}

void UIActivityIndicatorView::startAnimating() {
    if (animating_)
        return;
    animating_ = true;
    setHidden(false);
    auto loop = NSRunLoop::main();
    if (!loop)
        return;
    std::weak_ptr<UIActivityIndicatorView> weak =
        std::static_pointer_cast<UIActivityIndicatorView>(shared_from_this());
    // The spokes show the time alone, so the spinner needs only the latest frame before anyone
    // looks: a long wait with nothing else moving does not step through its frames.
    frames_ = loop->addFrameObserver(
        [weak](double now) {
            auto self = weak.lock();
            if (!self)
                return;
            int phase = static_cast<int>(std::floor(now * 12)) % 12;
            if (phase != self->phase_) {
                self->phase_ = phase;
                self->setNeedsDisplay();
                markDisplayChanged();
            }
        },
        NSRunLoopCommonModes, FrameCadence::LatestFrame);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    frames_.reset();
    if (hidesWhenStopped_)
        setHidden(true);
}

CGSize UIActivityIndicatorView::intrinsicContentSize() const {
    return style_ == UIActivityIndicatorViewStyleWhiteLarge ? CGSizeMake(37, 37) : CGSizeMake(20, 20);
}

void UIActivityIndicatorView::drawRect(CGRect /*rect*/) {
    CGContextRef ctx = CGContext::current();
    if (!ctx)
        return;
    UIColor base = color_.value_or(style_ == UIActivityIndicatorViewStyleGray ? UIColor::grayColor()
                                                                              : UIColor::whiteColor());
    CGRect b = bounds();
    double outer = std::min(b.size.width, b.size.height) / 2;
    double inner = outer * 0.45;
    CGContextSetLineWidth(ctx, outer * 0.16);
    CGContextSetLineCap(ctx, kCGLineCapRound);
    for (int i = 0; i < 12; ++i) {
        // The brightest spoke is the current phase; the ones behind it fade out.
        int age = (phase_ - i + 12) % 12;
        double a = (i * 30.0 - 90.0) * std::numbers::pi / 180;
        CGContextSetStrokeColorWithColor(
            ctx, base.colorWithAlphaComponent(base.alpha() * (1.0 - age / 14.0)).rgba);
        CGContextMoveToPoint(ctx, b.midX() + inner * std::cos(a), b.midY() + inner * std::sin(a));
        CGContextAddLineToPoint(ctx, b.midX() + (outer - outer * 0.08) * std::cos(a),
                                b.midY() + (outer - outer * 0.08) * std::sin(a));
        CGContextStrokePath(ctx);
    }
}

void UIActivityIndicatorView::applyAppearance() {
    UIView::applyAppearance();
    if (auto color = UIAppearance::colorFor(*this, "UIActivityIndicatorView", "color"))
        setColor(color);
}
