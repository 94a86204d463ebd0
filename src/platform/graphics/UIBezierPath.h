#pragma once

// A path with its own stroke settings (UIKit's UIBezierPath), drawn into the current context:
// the one UIGraphicsGetCurrentContext answers, which the renderer sets while a view draws.
//
//     auto ring = UIBezierPath::bezierPathWithArcCenter(c, r, -M_PI_2, 3 * M_PI_2, true);
//     ring->setLineWidth(2);
//     ring->setLineCapStyle(kCGLineCapSquare);
//     ring->stroke();
//
// `clockwise` keeps UIKit's sense: in the y-down coordinates of a view, true runs clockwise on
// screen (the angle increases). This is the opposite of CGContextAddArc's raw flag.
//
// fill and stroke use the context's current fill or stroke colour, blend mode and alpha, and
// leave the context's own state and current path as they found them.

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGPath.h"

#include <memory>
#include <optional>

class UIBezierPath {
public:
    static std::shared_ptr<UIBezierPath> bezierPath();
    static std::shared_ptr<UIBezierPath> bezierPathWithRect(CGRect rect);
    static std::shared_ptr<UIBezierPath> bezierPathWithOvalInRect(CGRect rect);
    static std::shared_ptr<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, CGFloat cornerRadius);
    static std::shared_ptr<UIBezierPath> bezierPathWithArcCenter(CGPoint center, CGFloat radius,
                                                                 CGFloat startAngle, CGFloat endAngle,
                                                                 bool clockwise);
    static std::shared_ptr<UIBezierPath> bezierPathWithCGPath(const ::CGPath& path);
    UIBezierPath(const UIBezierPath&) = delete;
    UIBezierPath& operator=(const UIBezierPath&) = delete;

    // Construction.
    void moveToPoint(CGPoint p) { path_.moveToPoint(p); }
    void addLineToPoint(CGPoint p) { path_.addLineToPoint(p); }
    void addCurveToPoint(CGPoint end, CGPoint controlPoint1, CGPoint controlPoint2) {
        path_.addCurveToPoint(controlPoint1, controlPoint2, end);
    }
    void addQuadCurveToPoint(CGPoint end, CGPoint controlPoint) {
        path_.addQuadCurveToPoint(controlPoint, end);
    }
    void addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                          bool clockwise) {
        path_.addArc(center, radius, startAngle, endAngle, !clockwise);
    }
    void closePath() { path_.closeSubpath(); }
    void removeAllPoints() { path_.removeAllPoints(); }
    void appendPath(const UIBezierPath& other) { path_.addPath(other.path_); }
    void applyTransform(const CGAffineTransform& t) { path_.applyTransform(t); }

    // Properties.
    const ::CGPath& CGPath() const { return path_; }
    void setCGPath(const ::CGPath& path) { path_ = path; }
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    CGLineCap lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(CGLineCap cap) { lineCap_ = cap; }
    CGLineJoin lineJoinStyle() const { return lineJoin_; }
    void setLineJoinStyle(CGLineJoin join) { lineJoin_ = join; }
    CGFloat miterLimit() const { return miterLimit_; }
    void setMiterLimit(CGFloat limit) { miterLimit_ = limit; }
    bool usesEvenOddFillRule() const { return evenOdd_; }
    void setUsesEvenOddFillRule(bool evenOdd) { evenOdd_ = evenOdd; }
    bool isEmpty() const { return path_.isEmpty(); }
    CGPoint currentPoint() const { return path_.currentPoint(); }
    // The box of the path's points, control points included, as the platform reports it.
    CGRect bounds() const { return path_.boundingBox(); }
    bool containsPoint(CGPoint p) const { return path_.containsPoint(p, evenOdd_); }

    // Drawing into the current context.
    void fill() const;
    void stroke() const;
    void fillWithBlendMode(CGBlendMode mode, CGFloat alpha) const;
    void strokeWithBlendMode(CGBlendMode mode, CGFloat alpha) const;
    // Intersects the current context's clip with the path's inside.
    void addClip() const;

    // The same drawing into a given context.
    void fillInContext(const CGContextRef& c) const;
    void strokeInContext(const CGContextRef& c) const;

private:
    UIBezierPath() = default;
    void draw(const CGContextRef& c, bool fill, std::optional<CGBlendMode> mode, CGFloat alpha) const;

    ::CGPath path_;
    CGFloat lineWidth_ = 1;
    CGLineCap lineCap_ = kCGLineCapButt;
    CGLineJoin lineJoin_ = kCGLineJoinMiter;
    CGFloat miterLimit_ = 10;
    bool evenOdd_ = false;
};
