#include "hud/TQBarProgressView.h"

#include "hud/TQSystemGeneration.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIGraphics.h"

#include <cmath>
#include <numbers>

std::shared_ptr<TQBarProgressView> TQBarProgressView::create() {
    return create(CGRectMake(0, 0, 120, 20));
}

std::shared_ptr<TQBarProgressView> TQBarProgressView::create(CGRect frame) {
    auto v = std::shared_ptr<TQBarProgressView>(new TQBarProgressView(frame));
    v->commonInit();
    return v;
}

TQBarProgressView::TQBarProgressView(CGRect frame) : TQProgressIndicatorView(frame) {}

CGSize TQBarProgressView::intrinsicContentSize() const {
    return CGSizeMake(120, TQIsPre7System() ? 20 : 10);
}

void TQBarProgressView::setProgressRemainingColor(std::optional<UIColor> color) {
    setRequiredColor(progressRemainingColor_, color);
}

void TQBarProgressView::setProgressColor(std::optional<UIColor> color) {
    setRequiredColor(progressColor_, color);
}

void TQBarProgressView::drawRect(CGRect rect) {
    CGContextRef ctx = UIGraphicsGetCurrentContext();
    const CGFloat w = rect.size.width, h = rect.size.height;
    const CGFloat R = h / 2 - 2;
    const CGFloat r = R - 2;
    const CGFloat a = static_cast<CGFloat>(progress()) * w;

    // The capsule outline, inset 2 points, filled with the remaining colour.
    CGContextSetLineWidth(ctx, 2);
    if (lineColor_)
        CGContextSetStrokeColorWithColor(ctx, lineColor_->rgba);
    CGContextSetFillColorWithColor(ctx, progressRemainingColor_.rgba);
    CGContextMoveToPoint(ctx, 2, h / 2);
    CGContextAddArcToPoint(ctx, 2, 2, R + 2, 2, R);
    CGContextAddArcToPoint(ctx, w - 2, 2, w - 2, h / 2, R);
    CGContextAddArcToPoint(ctx, w - 2, h - 2, w - R - 2, h - 2, R);
    CGContextAddArcToPoint(ctx, 2, h - 2, 2, h / 2, R);
    // Without a line colour there is nothing to outline with: only the fill is drawn.
    CGContextDrawPath(ctx, lineColor_ ? kCGPathFillStroke : kCGPathFill);

    CGContextSetFillColorWithColor(ctx, progressColor_.rgba);
    const CGFloat rightStart = w - r - 4;
    if (a >= r + 4 && a <= rightStart) {
        // Middle: the left cap and a straight right edge at a.
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(ctx, a, 4);
        CGContextAddLineToPoint(ctx, a, h / 2);
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(ctx, a, h - 4);
        CGContextAddLineToPoint(ctx, a, h / 2);
        CGContextFillPath(ctx);
    } else if (a > r + 4) {
        // Right end: the fill follows the right cap's curve up to a.
        const CGFloat x = a - rightStart;
        double angle = std::acos(x / r);
        if (std::isnan(angle))
            angle = 0;
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(ctx, rightStart, 4);
        CGContextAddArc(ctx, rightStart, h / 2, r, std::numbers::pi, -angle, 0);
        CGContextAddLineToPoint(ctx, a, h / 2);
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(ctx, rightStart, h - 4);
        CGContextAddArc(ctx, rightStart, h / 2, r, -std::numbers::pi, angle, 1);
        CGContextAddLineToPoint(ctx, a, h / 2);
        CGContextFillPath(ctx);
    } else if (a > 0) {
        // Left end: the whole rounded left cap as soon as there is any progress.
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(ctx, r + 4, h / 2);
        CGContextMoveToPoint(ctx, 4, h / 2);
        CGContextAddArcToPoint(ctx, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(ctx, r + 4, h / 2);
        CGContextFillPath(ctx);
    }
}

void TQBarProgressView::applyAppearance() {
    UIView::applyAppearance();
    if (auto color = UIAppearance::colorFor(*this, "TQBarProgressView", "progressColor"))
        setProgressColor(color);
    if (auto color = UIAppearance::colorFor(*this, "TQBarProgressView", "lineColor"))
        setLineColor(color);
}
