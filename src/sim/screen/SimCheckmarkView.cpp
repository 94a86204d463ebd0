#include "sim/screen/SimCheckmarkView.h"

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIGraphics.h"

#include <algorithm>

std::shared_ptr<SimCheckmarkView> SimCheckmarkView::create() {
    auto view = std::make_shared<SimCheckmarkView>(Private{});
    view->commonInit();
    view->setBackgroundColor(UIColor::clearColor());
    return view;
}

void SimCheckmarkView::drawRect(CGRect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context)
        return;
    CGRect b = bounds();
    // The stroke is scaled with the view so a larger custom frame keeps the same proportions.
    double unit = std::min(b.width(), b.height()) / kSide;
    UIColor colour = tintColor().value_or(UIColor::blackColor());
    CGContextSetStrokeColorWithColor(context, colour.rgba);
    CGContextSetLineWidth(context, 3.5 * unit);
    CGContextSetLineCap(context, kCGLineCapRound);
    CGContextSetLineJoin(context, kCGLineJoinRound);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, b.minX() + 7 * unit, b.minY() + 19 * unit);
    CGContextAddLineToPoint(context, b.minX() + 15 * unit, b.minY() + 27 * unit);
    CGContextAddLineToPoint(context, b.minX() + 30 * unit, b.minY() + 10 * unit);
    CGContextStrokePath(context);
}
