#include "platform/graphics/UIBezierPath.h"

#include <cairo.h>

namespace {
// Runs `draw` with the path as the context's only path, then puts back whatever path the
// context was building: UIKit's fill and stroke do not disturb the caller's path.
template <class F> void withOwnPath(const CGContextRef& c, const CGPath& path, F&& draw) {
    cairo_t* cr = c->cairo();
    cairo_path_t* saved = cairo_copy_path(cr);
    cairo_new_path(cr);
    path.appendToCairo(cr);
    draw();
    cairo_new_path(cr);
    if (saved->status == CAIRO_STATUS_SUCCESS && saved->num_data > 0)
        cairo_append_path(cr, saved);
    cairo_path_destroy(saved);
}
} // namespace

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPath() {
    return std::shared_ptr<UIBezierPath>(new UIBezierPath);
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect) {
    auto p = bezierPath();
    p->path_.addRect(rect);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(CGRect rect) {
    auto p = bezierPath();
    p->path_.addEllipseInRect(rect);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius) {
    auto p = bezierPath();
    p->path_.addRoundedRect(rect, cornerRadius, cornerRadius);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithArcCenter(CGPoint center, CGFloat radius,
                                                                    CGFloat startAngle, CGFloat endAngle,
                                                                    bool clockwise) {
    auto p = bezierPath();
    p->addArcWithCenter(center, radius, startAngle, endAngle, clockwise);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithCGPath(const ::CGPath& path) {
    auto p = bezierPath();
    p->path_ = path;
    return p;
}

// fill and stroke draw with the context's own blend mode and alpha (a caller may have set
// kCGBlendModeCopy for them); the WithBlendMode variants replace the mode and scale the alpha.
void UIBezierPath::fill() const {
    draw(CGContext::current(), true, std::nullopt, 1);
}
void UIBezierPath::stroke() const {
    draw(CGContext::current(), false, std::nullopt, 1);
}
void UIBezierPath::fillWithBlendMode(CGBlendMode mode, CGFloat alpha) const {
    draw(CGContext::current(), true, mode, alpha);
}
void UIBezierPath::strokeWithBlendMode(CGBlendMode mode, CGFloat alpha) const {
    draw(CGContext::current(), false, mode, alpha);
}
void UIBezierPath::fillInContext(const CGContextRef& c) const {
    draw(c, true, std::nullopt, 1);
}
void UIBezierPath::strokeInContext(const CGContextRef& c) const {
    draw(c, false, std::nullopt, 1);
}

void UIBezierPath::draw(const CGContextRef& c, bool fill, std::optional<CGBlendMode> mode,
                        CGFloat alpha) const {
    if (!c)
        return;
    c->saveGState();
    if (!fill) {
        CGContextSetLineWidth(c, lineWidth_);
        CGContextSetLineCap(c, lineCap_);
        CGContextSetLineJoin(c, lineJoin_);
        CGContextSetMiterLimit(c, miterLimit_);
    }
    if (mode)
        CGContextSetBlendMode(c, *mode);
    if (alpha != 1)
        CGContextSetAlpha(c, c->state().alpha * alpha);
    withOwnPath(c, path_, [&] {
        CGContextDrawPath(c, !fill ? kCGPathStroke : evenOdd_ ? kCGPathEOFill : kCGPathFill);
    });
    c->restoreGState();
}

void UIBezierPath::addClip() const {
    CGContextRef c = CGContext::current();
    if (!c)
        return;
    withOwnPath(c, path_, [&] { evenOdd_ ? CGContextEOClip(c) : CGContextClip(c); });
}
