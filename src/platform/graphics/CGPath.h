#pragma once

// A vector path: subpaths of straight lines and cubic curves in the coordinates it was built
// in. Arcs, ellipses and rounded rectangles are stored as cubic curves, so a path replays the
// same way into any context. A value type (copying copies the elements); UIBezierPath and the
// context's CGContextAddPath use it.
//
//     CGPath p;
//     p.moveToPoint({0, 0});
//     p.addArc({10, 10}, 5, 0, M_PI, false);   // Core Graphics' clockwise flag, see addArc
//     p.closeSubpath();

#include "platform/graphics/CGGeometry.h"

#include <vector>

typedef struct _cairo cairo_t;

enum CGPathElementType : int32_t {
    kCGPathElementMoveToPoint = 0,
    kCGPathElementAddLineToPoint = 1,
    kCGPathElementAddQuadCurveToPoint = 2,
    kCGPathElementAddCurveToPoint = 3,
    kCGPathElementCloseSubpath = 4,
};

struct CGPathElement {
    CGPathElementType type;
    CGPoint points[3]; // move/line: [0]; quad: control [0], end [1]; cubic: [0], [1], end [2]
};

class CGPath {
public:
    bool isEmpty() const { return elements_.empty(); }
    const std::vector<CGPathElement>& elements() const { return elements_; }
    // Whether a subpath is open for lines to continue from, and its last point.
    bool hasCurrentPoint() const { return !elements_.empty(); }
    CGPoint currentPoint() const { return current_; }

    void moveToPoint(CGPoint p);
    // Without a current point these start a subpath at their end point instead.
    void addLineToPoint(CGPoint p);
    void addQuadCurveToPoint(CGPoint control, CGPoint end);
    void addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint end);
    void closeSubpath();

    // A circular arc. `clockwise` carries Core Graphics' sense: false makes the angle increase
    // (clockwise on screen in y-down coordinates), true makes it decrease. A line joins the
    // current point to the arc's start when there is one.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
    // The rounded corner from the current point through `p1` toward `p2`.
    void addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius);
    void addRect(CGRect rect);
    void addEllipseInRect(CGRect rect);
    // A rectangle with circular corners; radii are limited to half the shorter side.
    void addRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight);
    void addPath(const CGPath& other, const CGAffineTransform* transform = nullptr);

    void applyTransform(const CGAffineTransform& t);
    void removeAllPoints();

    // The smallest rectangle holding every point, control points included (CGPathGetBoundingBox).
    CGRect boundingBox() const;
    // The smallest rectangle holding the drawn outline (CGPathGetPathBoundingBox).
    CGRect pathBoundingBox() const;

    // Appends the elements to a Cairo path in its current user coordinates.
    void appendToCairo(cairo_t* cr) const;
    // Whether `p` lies inside the filled path (nonzero winding, or even-odd).
    bool containsPoint(CGPoint p, bool evenOdd = false) const;

    bool operator==(const CGPath& other) const;

private:
    void push(CGPathElementType type, CGPoint a, CGPoint b = {}, CGPoint c = {});

    std::vector<CGPathElement> elements_;
    CGPoint current_{};
    CGPoint subpathStart_{};
};
