#include "platform/graphics/CGPath.h"

#include "platform/graphics/CGArcGeometry.h"

#include <cairo.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {
bool finite(CGPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

struct Extent {
    CGFloat minX = std::numeric_limits<CGFloat>::infinity(), minY = minX;
    CGFloat maxX = -std::numeric_limits<CGFloat>::infinity(), maxY = maxX;
    void add(CGPoint p) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    }
    CGRect rect() const {
        if (minX > maxX)
            return CGRectZero;
        return CGRectMake(minX, minY, maxX - minX, maxY - minY);
    }
};

CGFloat cubicAt(CGFloat p0, CGFloat p1, CGFloat p2, CGFloat p3, CGFloat t) {
    CGFloat s = 1 - t;
    return s * s * s * p0 + 3 * s * s * t * p1 + 3 * s * t * t * p2 + t * t * t * p3;
}

// Adds the interior extrema of one coordinate of a cubic: the roots of its derivative in (0, 1).
template <class F> void cubicExtrema(CGFloat p0, CGFloat p1, CGFloat p2, CGFloat p3, F&& at) {
    CGFloat a = -p0 + 3 * p1 - 3 * p2 + p3;
    CGFloat b = 2 * (p0 - 2 * p1 + p2);
    CGFloat c = p1 - p0;
    auto visit = [&](CGFloat t) {
        if (t > 0 && t < 1)
            at(t);
    };
    if (std::abs(a) < 1e-12) {
        if (std::abs(b) > 1e-12)
            visit(-c / b);
        return;
    }
    CGFloat disc = b * b - 4 * a * c;
    if (disc < 0)
        return;
    CGFloat sq = std::sqrt(disc);
    visit((-b + sq) / (2 * a));
    visit((-b - sq) / (2 * a));
}
} // namespace

void CGPath::push(CGPathElementType type, CGPoint a, CGPoint b, CGPoint c) {
    CGPathElement e{type, {a, b, c}};
    elements_.push_back(e);
}

void CGPath::moveToPoint(CGPoint p) {
    if (!finite(p))
        return;
    push(kCGPathElementMoveToPoint, p);
    current_ = subpathStart_ = p;
}

void CGPath::addLineToPoint(CGPoint p) {
    if (!finite(p))
        return;
    if (!hasCurrentPoint())
        return moveToPoint(p);
    push(kCGPathElementAddLineToPoint, p);
    current_ = p;
}

void CGPath::addQuadCurveToPoint(CGPoint control, CGPoint end) {
    if (!finite(control) || !finite(end))
        return;
    if (!hasCurrentPoint())
        return moveToPoint(end);
    push(kCGPathElementAddQuadCurveToPoint, control, end);
    current_ = end;
}

void CGPath::addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint end) {
    if (!finite(control1) || !finite(control2) || !finite(end))
        return;
    if (!hasCurrentPoint())
        return moveToPoint(end);
    push(kCGPathElementAddCurveToPoint, control1, control2, end);
    current_ = end;
}

void CGPath::closeSubpath() {
    if (!hasCurrentPoint() || elements_.back().type == kCGPathElementCloseSubpath)
        return;
    push(kCGPathElementCloseSubpath, {});
    current_ = subpathStart_;
}

void CGPath::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise) {
    if (!finite(center) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle))
        return;
    CGArcCurves arc = CGArcToCurves(center, radius, startAngle, endAngle, !clockwise);
    if (hasCurrentPoint())
        addLineToPoint(arc.start);
    else
        moveToPoint(arc.start);
    for (const auto& c : arc.curves)
        addCurveToPoint(c[0], c[1], c[2]);
}

void CGPath::addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius) {
    if (!finite(p1) || !finite(p2))
        return;
    if (!hasCurrentPoint())
        return moveToPoint(p1);
    CGTangentArc t = CGTangentArcMake(current_, p1, p2, radius);
    if (t.degenerate)
        return addLineToPoint(p1);
    addLineToPoint(t.tangent1);
    for (const auto& c : CGArcToCurves(t.center, t.radius, t.startAngle, t.endAngle, t.increasing).curves)
        addCurveToPoint(c[0], c[1], c[2]);
}

void CGPath::addRect(CGRect r) {
    if (!finite(r.origin) || !std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return;
    moveToPoint({r.minX(), r.minY()});
    addLineToPoint({r.maxX(), r.minY()});
    addLineToPoint({r.maxX(), r.maxY()});
    addLineToPoint({r.minX(), r.maxY()});
    closeSubpath();
}

void CGPath::addEllipseInRect(CGRect r) {
    if (!finite(r.origin) || !std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return;
    // A unit circle's quarter arcs, scaled into the rectangle; this keeps a zero-width
    // rectangle a (degenerate) path instead of a singular transform.
    CGArcCurves unit = CGArcToCurves({0, 0}, 1, 0, 2 * std::numbers::pi, true);
    CGFloat rx = r.width() / 2, ry = r.height() / 2, cx = r.midX(), cy = r.midY();
    auto map = [&](CGPoint p) { return CGPoint{cx + p.x * rx, cy + p.y * ry}; };
    moveToPoint(map(unit.start));
    for (const auto& c : unit.curves)
        addCurveToPoint(map(c[0]), map(c[1]), map(c[2]));
    closeSubpath();
}

void CGPath::addRoundedRect(CGRect r, CGFloat cw, CGFloat ch) {
    if (!finite(r.origin) || !std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return;
    CGFloat w = r.width(), h = r.height();
    cw = std::clamp(std::isfinite(cw) ? cw : 0, 0.0, w / 2);
    ch = std::clamp(std::isfinite(ch) ? ch : 0, 0.0, h / 2);
    if (cw <= 0 || ch <= 0)
        return addRect(r);
    CGFloat x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    // Each corner is a quarter ellipse: a unit quarter arc scaled by the corner radii.
    auto corner = [&](CGFloat cx, CGFloat cy, CGFloat from) {
        auto arc = CGArcToCurves({0, 0}, 1, from, from + std::numbers::pi / 2, true);
        for (const auto& c : arc.curves)
            addCurveToPoint({cx + c[0].x * cw, cy + c[0].y * ch}, {cx + c[1].x * cw, cy + c[1].y * ch},
                            {cx + c[2].x * cw, cy + c[2].y * ch});
    };
    moveToPoint({x0 + cw, y0});
    addLineToPoint({x1 - cw, y0});
    corner(x1 - cw, y0 + ch, -std::numbers::pi / 2);
    addLineToPoint({x1, y1 - ch});
    corner(x1 - cw, y1 - ch, 0);
    addLineToPoint({x0 + cw, y1});
    corner(x0 + cw, y1 - ch, std::numbers::pi / 2);
    addLineToPoint({x0, y0 + ch});
    corner(x0 + cw, y0 + ch, std::numbers::pi);
    closeSubpath();
}

void CGPath::addPath(const CGPath& other, const CGAffineTransform* transform) {
    for (const auto& e : other.elements_) {
        auto m = [&](CGPoint p) { return transform ? CGPointApplyAffineTransform(p, *transform) : p; };
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            moveToPoint(m(e.points[0]));
            break;
        case kCGPathElementAddLineToPoint:
            addLineToPoint(m(e.points[0]));
            break;
        case kCGPathElementAddQuadCurveToPoint:
            addQuadCurveToPoint(m(e.points[0]), m(e.points[1]));
            break;
        case kCGPathElementAddCurveToPoint:
            addCurveToPoint(m(e.points[0]), m(e.points[1]), m(e.points[2]));
            break;
        case kCGPathElementCloseSubpath:
            closeSubpath();
            break;
        }
    }
}

void CGPath::applyTransform(const CGAffineTransform& t) {
    CGPath copy;
    copy.addPath(*this, &t);
    *this = std::move(copy);
}

void CGPath::removeAllPoints() {
    elements_.clear();
    current_ = subpathStart_ = {};
}

namespace {

// A curve element from `start` as a cubic: a quadratic is raised to the cubic that draws it.
struct CubicSegment {
    CGPoint p0, c1, c2, end;
};

template <class Element> CubicSegment cubicOf(CGPoint start, const Element& e) {
    if (e.type == kCGPathElementAddCurveToPoint)
        return {start, e.points[0], e.points[1], e.points[2]};
    CGPoint q = e.points[0], end = e.points[1];
    return {start,
            {start.x + 2.0 / 3 * (q.x - start.x), start.y + 2.0 / 3 * (q.y - start.y)},
            {end.x + 2.0 / 3 * (q.x - end.x), end.y + 2.0 / 3 * (q.y - end.y)},
            end};
}

} // namespace

CGRect CGPath::boundingBox() const {
    Extent ext;
    for (const auto& e : elements_) {
        int n = e.type == kCGPathElementAddCurveToPoint       ? 3
                : e.type == kCGPathElementAddQuadCurveToPoint ? 2
                : e.type == kCGPathElementCloseSubpath        ? 0
                                                              : 1;
        for (int i = 0; i < n; ++i)
            ext.add(e.points[i]);
    }
    return ext.rect();
}

CGRect CGPath::pathBoundingBox() const {
    Extent ext;
    CGPoint cur{};
    for (const auto& e : elements_) {
        switch (e.type) {
        case kCGPathElementMoveToPoint:
        case kCGPathElementAddLineToPoint:
            cur = e.points[0];
            ext.add(cur);
            break;
        case kCGPathElementAddQuadCurveToPoint:
        case kCGPathElementAddCurveToPoint: {
            CubicSegment c = cubicOf(cur, e);
            auto at = [&](CGFloat t) {
                ext.add({cubicAt(c.p0.x, c.c1.x, c.c2.x, c.end.x, t),
                         cubicAt(c.p0.y, c.c1.y, c.c2.y, c.end.y, t)});
            };
            cubicExtrema(c.p0.x, c.c1.x, c.c2.x, c.end.x, at);
            cubicExtrema(c.p0.y, c.c1.y, c.c2.y, c.end.y, at);
            cur = c.end;
            ext.add(cur);
            break;
        }
        case kCGPathElementCloseSubpath:
            break;
        }
    }
    return ext.rect();
}

void CGPath::appendToCairo(cairo_t* cr) const {
    CGPoint cur{};
    for (const auto& e : elements_) {
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            cur = e.points[0];
            break;
        case kCGPathElementAddLineToPoint:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            cur = e.points[0];
            break;
        case kCGPathElementAddQuadCurveToPoint:
        case kCGPathElementAddCurveToPoint: {
            CubicSegment c = cubicOf(cur, e);
            cairo_curve_to(cr, c.c1.x, c.c1.y, c.c2.x, c.c2.y, c.end.x, c.end.y);
            cur = c.end;
            break;
        }
        case kCGPathElementCloseSubpath:
            cairo_close_path(cr);
            break;
        }
    }
}

bool CGPath::containsPoint(CGPoint p, bool evenOdd) const {
    if (elements_.empty() || !finite(p))
        return false;
    // Cairo answers insideness on any context; a 1×1 scratch surface per thread serves.
    struct Scratch {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
        cairo_t* cr = cairo_create(surface);
        ~Scratch() {
            cairo_destroy(cr);
            cairo_surface_destroy(surface);
        }
    };
    thread_local Scratch scratch;
    cairo_new_path(scratch.cr);
    appendToCairo(scratch.cr);
    cairo_set_fill_rule(scratch.cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    bool inside = cairo_in_fill(scratch.cr, p.x, p.y);
    cairo_new_path(scratch.cr);
    return inside;
}

bool CGPath::operator==(const CGPath& other) const {
    if (elements_.size() != other.elements_.size())
        return false;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const auto &a = elements_[i], &b = other.elements_[i];
        if (a.type != b.type)
            return false;
        for (int k = 0; k < 3; ++k)
            if (!(a.points[k] == b.points[k]))
                return false;
    }
    return true;
}
