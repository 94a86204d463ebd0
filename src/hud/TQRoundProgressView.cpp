#include "hud/TQRoundProgressView.h"

#include "hud/TQSystemGeneration.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIGraphics.h"

#include <cmath>
#include <numbers>

std::shared_ptr<TQRoundProgressView> TQRoundProgressView::create() {
    return create(CGRectMake(0, 0, 37, 37));
}

std::shared_ptr<TQRoundProgressView> TQRoundProgressView::create(CGRect frame) {
    auto v = std::shared_ptr<TQRoundProgressView>(new TQRoundProgressView(frame));
    v->commonInit();
    return v;
}

TQRoundProgressView::TQRoundProgressView(CGRect frame) : TQProgressIndicatorView(frame) {}

void TQRoundProgressView::setProgressTintColor(std::optional<UIColor> color) {
    setRequiredColor(progressTintColor_, color);
}

void TQRoundProgressView::setBackgroundTintColor(std::optional<UIColor> color) {
    setRequiredColor(backgroundTintColor_, color);
}

void TQRoundProgressView::drawRect(CGRect /*rect*/) {
    const double start = -std::numbers::pi / 2;
    // The sweep is formed in single precision, as the indicator's progress is a float.
    const float sweep = 2.0f * static_cast<float>(std::numbers::pi) * progress();
    const double end = start + static_cast<double>(sweep);
    if (annular_)
        drawAnnular(bounds(), start, end);
    else
        drawPie(bounds(), start, end);
}

void TQRoundProgressView::drawAnnular(CGRect b, double start, double end) const {
    const bool pre7 = TQIsPre7System();
    const CGFloat lineWidth = pre7 ? 5 : 2;
    const CGPoint center = CGPointMake(b.midX(), b.midY());
    const CGFloat radius = (b.size.width - lineWidth) / 2;

    auto track = UIBezierPath::bezierPath();
    track->setLineWidth(lineWidth);
    track->setLineCapStyle(kCGLineCapButt);
    track->addArcWithCenter(center, radius, start, start + 2 * std::numbers::pi, true);
    UIColorSet(backgroundTintColor_);
    track->stroke();

    auto arc = UIBezierPath::bezierPath();
    arc->setLineWidth(lineWidth);
    arc->setLineCapStyle(pre7 ? kCGLineCapRound : kCGLineCapSquare);
    arc->addArcWithCenter(center, radius, start, end, true);
    UIColorSet(progressTintColor_);
    arc->stroke();
}

void TQRoundProgressView::drawPie(CGRect b, double start, double end) const {
    const bool pre7 = TQIsPre7System();
    CGContextRef ctx = UIGraphicsGetCurrentContext();
    const CGFloat lineWidth = 2;
    const CGRect circle = CGRectInset(b, lineWidth / 2, lineWidth / 2);
    const CGPoint center = CGPointMake(b.midX(), b.midY());

    CGContextSetStrokeColorWithColor(ctx, progressTintColor_.rgba);
    CGContextSetFillColorWithColor(ctx, backgroundTintColor_.rgba);
    CGContextSetLineWidth(ctx, lineWidth);
    if (pre7)
        CGContextFillEllipseInRect(ctx, circle);
    CGContextStrokeEllipseInRect(ctx, circle);

    if (pre7) {
        // The older look: a filled sector from twelve o'clock.
        CGContextSetFillColorWithColor(ctx, progressTintColor_.rgba);
        CGContextMoveToPoint(ctx, center.x, center.y);
        CGContextAddArc(ctx, center.x, center.y, b.size.width / 2 - lineWidth, start, end, 0);
        CGContextClosePath(ctx);
        CGContextFillPath(ctx);
        return;
    }

    // A 4-point band whose outer edge touches the view's edge; copy blending lets it replace the
    // outline under it instead of compositing over it.
    auto band = UIBezierPath::bezierPath();
    band->setLineCapStyle(kCGLineCapButt);
    band->setLineWidth(lineWidth * 2);
    band->addArcWithCenter(center, b.size.width / 2 - (lineWidth * 2) / 2, start, end, true);
    CGContextSetBlendMode(ctx, kCGBlendModeCopy);
    UIColorSet(progressTintColor_);
    band->stroke();
}

void TQRoundProgressView::applyAppearance() {
    UIView::applyAppearance();
    if (auto color = UIAppearance::colorFor(*this, "TQRoundProgressView", "progressTintColor"))
        setProgressTintColor(color);
    if (auto color = UIAppearance::colorFor(*this, "TQRoundProgressView", "backgroundTintColor"))
        setBackgroundTintColor(color);
}
