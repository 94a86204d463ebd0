#include "platform/prefslibs/ColourSwatchView.h"

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cmath>

namespace {

// The shape of a swatch inside `box`: a circle, or a rounded rectangle.
void addShape(const CGContextRef& c, ColourSwatchStyle style, CGRect box) {
    CGFloat radius = 0;
    switch (style) {
    case ColourSwatchStyle::Well:
    case ColourSwatchStyle::Circle:
        CGContextAddEllipseInRect(c, box);
        return;
    case ColourSwatchStyle::Box:
        radius = 3;
        break;
    case ColourSwatchStyle::Preview:
        radius = 10;
        break;
    }
    radius = std::min({radius, box.width() / 2, box.height() / 2});
    const CGFloat x0 = box.minX(), y0 = box.minY(), x1 = box.maxX(), y1 = box.maxY();
    CGContextMoveToPoint(c, x0 + radius, y0);
    CGContextAddArcToPoint(c, x1, y0, x1, y1, radius);
    CGContextAddArcToPoint(c, x1, y1, x0, y1, radius);
    CGContextAddArcToPoint(c, x0, y1, x0, y0, radius);
    CGContextAddArcToPoint(c, x0, y0, x1, y0, radius);
    CGContextClosePath(c);
}

// White and light-grey squares under a colour that may be translucent.
void fillCheckerboard(const CGContextRef& c, CGRect box, CGFloat square) {
    CGContextSetGrayFillColor(c, 1, 1);
    CGContextFillRect(c, box);
    CGContextSetGrayFillColor(c, 0.8, 1);
    const int columns = static_cast<int>(std::ceil(box.width() / square));
    const int rows = static_cast<int>(std::ceil(box.height() / square));
    for (int row = 0; row < rows; ++row)
        for (int column = row % 2; column < columns; column += 2)
            CGContextFillRect(
                c, CGRectMake(box.minX() + column * square, box.minY() + row * square, square, square));
}

} // namespace

std::shared_ptr<ColourSwatchView> ColourSwatchView::create(ColourSwatchStyle style, UIColor colour) {
    auto view = std::shared_ptr<ColourSwatchView>(new ColourSwatchView(style, colour));
    view->commonInit();
    view->setUserInteractionEnabled(false);
    return view;
}

ColourSwatchView::ColourSwatchView(ColourSwatchStyle style, UIColor colour)
    : UIView(CGRectMake(0, 0, sizeOf(style).width, sizeOf(style).height)), style_(style), colour_(colour) {}

CGSize ColourSwatchView::sizeOf(ColourSwatchStyle style) {
    switch (style) {
    case ColourSwatchStyle::Well:
        return CGSizeMake(kWellDiameter + 2 * kWellShadowMargin, kWellDiameter + 2 * kWellShadowMargin);
    case ColourSwatchStyle::Circle:
        return CGSizeMake(kCircleDiameter, kCircleDiameter);
    case ColourSwatchStyle::Box:
        return CGSizeMake(100, 29);
    case ColourSwatchStyle::Preview:
        return CGSizeMake(100, 100);
    }
    return CGSizeMake(0, 0);
}

void ColourSwatchView::setColour(UIColor colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    setNeedsDisplay();
}

void ColourSwatchView::drawRect(CGRect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    CGRect box = bounds();
    if (style_ == ColourSwatchStyle::Well) {
        // A faint shadow just outside the well: a soft dark ring, the blur of radius 1 it stands for.
        box = CGRectInset(box, kWellShadowMargin, kWellShadowMargin);
        CGContextSetGrayFillColor(c, 0, 0.12);
        CGContextFillEllipseInRect(c, CGRectInset(box, -1.5, -1.5));
        CGContextSetGrayFillColor(c, 0, 0.2);
        CGContextFillEllipseInRect(c, CGRectInset(box, -0.75, -0.75));
    }

    const bool checkered = style_ == ColourSwatchStyle::Well || style_ == ColourSwatchStyle::Preview;
    CGContextSaveGState(c);
    addShape(c, style_, box);
    CGContextClip(c);
    if (checkered)
        fillCheckerboard(c, box, style_ == ColourSwatchStyle::Well ? 4 : 10);
    CGContextSetFillColorWithColor(c, colour_.rgba);
    CGContextFillRect(c, box);
    CGContextRestoreGState(c);

    // The border lies inside the shape's edge.
    CGFloat width = kBorderWidth;
    UIColor border = borderColor();
    if (style_ == ColourSwatchStyle::Well) {
        const CGFloat scale = UIScreen::mainScreen()->scale();
        width = (scale >= 3 ? 2 : 1) / std::max<CGFloat>(scale, 1);
        border = UIColor::whiteColor();
    } else if (style_ == ColourSwatchStyle::Preview) {
        width = 1;
        border = UIColor::separatorColor();
    }
    CGContextSetStrokeColorWithColor(c, border.rgba);
    CGContextSetLineWidth(c, width);
    addShape(c, style_, CGRectInset(box, width / 2, width / 2));
    CGContextStrokePath(c);
}
