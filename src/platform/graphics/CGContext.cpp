#include "platform/graphics/CGContext.h"

#include "platform/graphics/CGArcGeometry.h"

#include <cairo.h>

#include <cmath>

namespace {
thread_local std::vector<CGContextRef> tCurrentContexts;

bool allFinite(CGFloat v) {
    return std::isfinite(v);
}
template <class... T> bool allFinite(CGFloat v, T... rest) {
    return std::isfinite(v) && allFinite(rest...);
}

cairo_operator_t cairoOperator(CGBlendMode mode) {
    switch (mode) {
    case kCGBlendModeNormal:
        return CAIRO_OPERATOR_OVER;
    case kCGBlendModeMultiply:
        return CAIRO_OPERATOR_MULTIPLY;
    case kCGBlendModeScreen:
        return CAIRO_OPERATOR_SCREEN;
    case kCGBlendModeOverlay:
        return CAIRO_OPERATOR_OVERLAY;
    case kCGBlendModeDarken:
        return CAIRO_OPERATOR_DARKEN;
    case kCGBlendModeLighten:
        return CAIRO_OPERATOR_LIGHTEN;
    case kCGBlendModeColorDodge:
        return CAIRO_OPERATOR_COLOR_DODGE;
    case kCGBlendModeColorBurn:
        return CAIRO_OPERATOR_COLOR_BURN;
    case kCGBlendModeSoftLight:
        return CAIRO_OPERATOR_SOFT_LIGHT;
    case kCGBlendModeHardLight:
        return CAIRO_OPERATOR_HARD_LIGHT;
    case kCGBlendModeDifference:
        return CAIRO_OPERATOR_DIFFERENCE;
    case kCGBlendModeExclusion:
        return CAIRO_OPERATOR_EXCLUSION;
    case kCGBlendModeHue:
        return CAIRO_OPERATOR_HSL_HUE;
    case kCGBlendModeSaturation:
        return CAIRO_OPERATOR_HSL_SATURATION;
    case kCGBlendModeColor:
        return CAIRO_OPERATOR_HSL_COLOR;
    case kCGBlendModeLuminosity:
        return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case kCGBlendModeClear:
        return CAIRO_OPERATOR_CLEAR;
    case kCGBlendModeCopy:
        return CAIRO_OPERATOR_SOURCE;
    case kCGBlendModeSourceIn:
        return CAIRO_OPERATOR_IN;
    case kCGBlendModeSourceOut:
        return CAIRO_OPERATOR_OUT;
    case kCGBlendModeSourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case kCGBlendModeDestinationOver:
        return CAIRO_OPERATOR_DEST_OVER;
    case kCGBlendModeDestinationIn:
        return CAIRO_OPERATOR_DEST_IN;
    case kCGBlendModeDestinationOut:
        return CAIRO_OPERATOR_DEST_OUT;
    case kCGBlendModeDestinationAtop:
        return CAIRO_OPERATOR_DEST_ATOP;
    case kCGBlendModeXOR:
        return CAIRO_OPERATOR_XOR;
    case kCGBlendModePlusDarker:
        // FIXME: Cairo has no plus-darker operator; multiply is the nearest darkening one.
        return CAIRO_OPERATOR_MULTIPLY;
    case kCGBlendModePlusLighter:
        return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

// Whether `m` keeps Cairo usable: a singular or non-finite matrix would put the context into a
// permanent error state.
bool usableMatrix(const cairo_matrix_t& m) {
    if (!allFinite(m.xx, m.yx, m.xy, m.yy, m.x0, m.y0))
        return false;
    double det = m.xx * m.yy - m.yx * m.xy;
    return std::isfinite(det) && std::abs(det) > 1e-12;
}

// A transform that flattens the plane makes every later drawing invisible. The context stays
// usable and records that state instead; painting does nothing until it is restored.
void applyTransform(const CGContextRef& c, const cairo_matrix_t& t) {
    cairo_matrix_t current;
    cairo_get_matrix(c->cairo(), &current);
    cairo_matrix_t result;
    cairo_matrix_multiply(&result, &t, &current);
    if (!allFinite(t.xx, t.yx, t.xy, t.yy, t.x0, t.y0))
        return;
    if (!usableMatrix(result)) {
        c->state().flattened = true;
        return;
    }
    cairo_set_matrix(c->cairo(), &result);
}

bool drawable(const CGContextRef& c) {
    return c && c->state().alpha > 0 && !c->state().flattened;
}

void paintPath(const CGContextRef& c, bool fill, bool evenOdd, bool preserve) {
    cairo_t* cr = c->cairo();
    if (!drawable(c)) {
        if (!preserve)
            cairo_new_path(cr);
        return;
    }
    if (fill) {
        c->setSourceColor(c->state().fillColor);
        cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        preserve ? cairo_fill_preserve(cr) : cairo_fill(cr);
    } else {
        c->setSourceColor(c->state().strokeColor);
        preserve ? cairo_stroke_preserve(cr) : cairo_stroke(cr);
    }
}
} // namespace

CGContext::CGContext(cairo_t* cr) : cr_(cairo_reference(cr)) {
    states_.emplace_back();
}

CGContext::~CGContext() {
    cairo_destroy(cr_);
}

std::shared_ptr<CGContext> CGContext::create(cairo_t* cr) {
    if (!cr)
        return nullptr;
    return std::shared_ptr<CGContext>(new CGContext(cr));
}

void CGContext::saveGState() {
    cairo_save(cr_);
    states_.push_back(states_.back());
}

void CGContext::restoreGState() {
    // An unbalanced restore is ignored, as the platform does, instead of popping Cairo's base
    // or a state the renderer set up around the drawing.
    if (states_.size() - 1 <= restoreFloor_)
        return;
    states_.pop_back();
    cairo_restore(cr_);
}

std::size_t CGContext::beginCleanState() {
    std::size_t token = restoreFloor_;
    saveGState();
    restoreFloor_ = states_.size() - 1;
    states_.back() = State{};
    cairo_set_line_width(cr_, 1);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr_, 10);
    cairo_set_dash(cr_, nullptr, 0, 0);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
    cairo_new_path(cr_);
    return token;
}

void CGContext::endCleanState(std::size_t token) {
    std::size_t cleanDepth = restoreFloor_;
    restoreFloor_ = 0;
    while (states_.size() - 1 >= cleanDepth && states_.size() > 1)
        restoreGState();
    restoreFloor_ = token;
    cairo_new_path(cr_);
}

void CGContext::setSourceColor(const CGColor& color) {
    const State& s = states_.back();
    cairo_set_source_rgba(cr_, color.r, color.g, color.b, std::clamp(color.a * s.alpha, 0.0, 1.0));
}

std::shared_ptr<CGContext> CGContext::current() {
    return tCurrentContexts.empty() ? nullptr : tCurrentContexts.back();
}
void CGContext::pushCurrent(std::shared_ptr<CGContext> ctx) {
    tCurrentContexts.push_back(std::move(ctx));
}
void CGContext::popCurrent() {
    if (!tCurrentContexts.empty())
        tCurrentContexts.pop_back();
}
std::size_t CGContext::currentDepth() {
    return tCurrentContexts.size();
}
void CGContext::removeCurrent(const std::shared_ptr<CGContext>& ctx) {
    for (auto it = tCurrentContexts.rbegin(); it != tCurrentContexts.rend(); ++it) {
        if (*it == ctx) {
            tCurrentContexts.erase(std::next(it).base());
            return;
        }
    }
}

void CGContextSaveGState(const CGContextRef& c) {
    if (c)
        c->saveGState();
}
void CGContextRestoreGState(const CGContextRef& c) {
    if (c)
        c->restoreGState();
}
void CGContextSetLineWidth(const CGContextRef& c, CGFloat width) {
    if (c && allFinite(width) && width >= 0)
        cairo_set_line_width(c->cairo(), width);
}
void CGContextSetLineCap(const CGContextRef& c, CGLineCap cap) {
    if (!c)
        return;
    cairo_set_line_cap(c->cairo(), cap == kCGLineCapRound    ? CAIRO_LINE_CAP_ROUND
                                   : cap == kCGLineCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                             : CAIRO_LINE_CAP_BUTT);
}
void CGContextSetLineJoin(const CGContextRef& c, CGLineJoin join) {
    if (!c)
        return;
    cairo_set_line_join(c->cairo(), join == kCGLineJoinRound   ? CAIRO_LINE_JOIN_ROUND
                                    : join == kCGLineJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                               : CAIRO_LINE_JOIN_MITER);
}
void CGContextSetMiterLimit(const CGContextRef& c, CGFloat limit) {
    if (c && allFinite(limit) && limit >= 0)
        cairo_set_miter_limit(c->cairo(), limit);
}
void CGContextSetLineDash(const CGContextRef& c, CGFloat phase, std::span<const CGFloat> lengths) {
    if (!c || !allFinite(phase))
        return;
    // Cairo refuses negative lengths or an all-zero pattern by failing the whole context; such a
    // pattern means a solid line here.
    bool valid = !lengths.empty();
    bool anyPositive = false;
    for (CGFloat l : lengths) {
        valid = valid && allFinite(l) && l >= 0;
        anyPositive = anyPositive || l > 0;
    }
    if (!valid || !anyPositive) {
        cairo_set_dash(c->cairo(), nullptr, 0, 0);
        return;
    }
    cairo_set_dash(c->cairo(), lengths.data(), static_cast<int>(lengths.size()), phase);
}
void CGContextSetAlpha(const CGContextRef& c, CGFloat alpha) {
    if (c && allFinite(alpha))
        c->state().alpha = std::clamp(alpha, 0.0, 1.0);
}
void CGContextSetBlendMode(const CGContextRef& c, CGBlendMode mode) {
    if (!c)
        return;
    c->state().blendMode = mode;
    cairo_set_operator(c->cairo(), cairoOperator(mode));
}
void CGContextSetShouldAntialias(const CGContextRef& c, bool antialias) {
    if (!c)
        return;
    c->state().antialias = antialias;
    cairo_set_antialias(c->cairo(), antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}
void CGContextSetFillColorWithColor(const CGContextRef& c, const CGColor& color) {
    if (c && allFinite(color.r, color.g, color.b, color.a))
        c->state().fillColor = color;
}
void CGContextSetStrokeColorWithColor(const CGContextRef& c, const CGColor& color) {
    if (c && allFinite(color.r, color.g, color.b, color.a))
        c->state().strokeColor = color;
}
void CGContextSetRGBFillColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    CGContextSetFillColorWithColor(c, {r, g, b, a});
}
void CGContextSetRGBStrokeColor(const CGContextRef& c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    CGContextSetStrokeColorWithColor(c, {r, g, b, a});
}
void CGContextSetGrayFillColor(const CGContextRef& c, CGFloat gray, CGFloat a) {
    CGContextSetFillColorWithColor(c, {gray, gray, gray, a});
}
void CGContextSetGrayStrokeColor(const CGContextRef& c, CGFloat gray, CGFloat a) {
    CGContextSetStrokeColorWithColor(c, {gray, gray, gray, a});
}

void CGContextTranslateCTM(const CGContextRef& c, CGFloat tx, CGFloat ty) {
    if (!c)
        return;
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, tx, ty);
    applyTransform(c, m);
}
void CGContextScaleCTM(const CGContextRef& c, CGFloat sx, CGFloat sy) {
    if (!c)
        return;
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sx, sy);
    applyTransform(c, m);
}
void CGContextRotateCTM(const CGContextRef& c, CGFloat angle) {
    if (!c || !allFinite(angle))
        return;
    cairo_matrix_t m;
    cairo_matrix_init_rotate(&m, angle);
    applyTransform(c, m);
}
void CGContextConcatCTM(const CGContextRef& c, CGAffineTransform t) {
    if (!c)
        return;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    applyTransform(c, m);
}
CGAffineTransform CGContextGetCTM(const CGContextRef& c) {
    if (!c)
        return CGAffineTransformIdentity;
    cairo_matrix_t m;
    cairo_get_matrix(c->cairo(), &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void CGContextBeginPath(const CGContextRef& c) {
    if (c)
        cairo_new_path(c->cairo());
}
void CGContextMoveToPoint(const CGContextRef& c, CGFloat x, CGFloat y) {
    if (c && allFinite(x, y))
        cairo_move_to(c->cairo(), x, y);
}
void CGContextAddLineToPoint(const CGContextRef& c, CGFloat x, CGFloat y) {
    if (c && allFinite(x, y))
        cairo_line_to(c->cairo(), x, y);
}
void CGContextAddCurveToPoint(const CGContextRef& c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y,
                              CGFloat x, CGFloat y) {
    if (c && allFinite(cp1x, cp1y, cp2x, cp2y, x, y))
        cairo_curve_to(c->cairo(), cp1x, cp1y, cp2x, cp2y, x, y);
}
void CGContextAddQuadCurveToPoint(const CGContextRef& c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
    if (!c || !allFinite(cpx, cpy, x, y))
        return;
    if (!cairo_has_current_point(c->cairo()))
        return cairo_move_to(c->cairo(), x, y);
    double x0, y0;
    cairo_get_current_point(c->cairo(), &x0, &y0);
    cairo_curve_to(c->cairo(), x0 + 2.0 / 3 * (cpx - x0), y0 + 2.0 / 3 * (cpy - y0), x + 2.0 / 3 * (cpx - x),
                   y + 2.0 / 3 * (cpy - y), x, y);
}
void CGContextAddArc(const CGContextRef& c, CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle,
                     CGFloat endAngle, int clockwise) {
    if (!c || !allFinite(x, y, radius, startAngle, endAngle))
        return;
    CGArcCurves arc = CGArcToCurves({x, y}, radius, startAngle, endAngle, clockwise == 0);
    cairo_t* cr = c->cairo();
    if (cairo_has_current_point(cr))
        cairo_line_to(cr, arc.start.x, arc.start.y);
    else
        cairo_move_to(cr, arc.start.x, arc.start.y);
    for (const auto& s : arc.curves)
        cairo_curve_to(cr, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x, s[2].y);
}
void CGContextAddArcToPoint(const CGContextRef& c, CGFloat x1, CGFloat y1, CGFloat x2, CGFloat y2,
                            CGFloat radius) {
    if (!c || !allFinite(x1, y1, x2, y2))
        return;
    cairo_t* cr = c->cairo();
    if (!cairo_has_current_point(cr))
        return cairo_move_to(cr, x1, y1);
    double x0, y0;
    cairo_get_current_point(cr, &x0, &y0);
    CGTangentArc t = CGTangentArcMake({x0, y0}, {x1, y1}, {x2, y2}, radius);
    if (t.degenerate)
        return cairo_line_to(cr, x1, y1);
    cairo_line_to(cr, t.tangent1.x, t.tangent1.y);
    for (const auto& s : CGArcToCurves(t.center, t.radius, t.startAngle, t.endAngle, t.increasing).curves)
        cairo_curve_to(cr, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x, s[2].y);
}
void CGContextAddRect(const CGContextRef& c, CGRect rect) {
    if (c && allFinite(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height))
        cairo_rectangle(c->cairo(), rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}
void CGContextAddEllipseInRect(const CGContextRef& c, CGRect rect) {
    if (!c)
        return;
    CGPath p;
    p.addEllipseInRect(rect);
    p.appendToCairo(c->cairo());
}
void CGContextAddPath(const CGContextRef& c, const CGPath& path) {
    if (c)
        path.appendToCairo(c->cairo());
}
void CGContextClosePath(const CGContextRef& c) {
    if (c && cairo_has_current_point(c->cairo()))
        cairo_close_path(c->cairo());
}
bool CGContextIsPathEmpty(const CGContextRef& c) {
    return !c || !cairo_has_current_point(c->cairo());
}
CGPoint CGContextGetPathCurrentPoint(const CGContextRef& c) {
    if (!c || !cairo_has_current_point(c->cairo()))
        return CGPointZero;
    double x, y;
    cairo_get_current_point(c->cairo(), &x, &y);
    return {x, y};
}

void CGContextFillPath(const CGContextRef& c) {
    if (c)
        paintPath(c, true, false, false);
}
void CGContextEOFillPath(const CGContextRef& c) {
    if (c)
        paintPath(c, true, true, false);
}
void CGContextStrokePath(const CGContextRef& c) {
    if (c)
        paintPath(c, false, false, false);
}
void CGContextDrawPath(const CGContextRef& c, CGPathDrawingMode mode) {
    if (!c)
        return;
    switch (mode) {
    case kCGPathFill:
    case kCGPathEOFill:
        return paintPath(c, true, mode == kCGPathEOFill, false);
    case kCGPathStroke:
        return paintPath(c, false, false, false);
    case kCGPathFillStroke:
    case kCGPathEOFillStroke:
        paintPath(c, true, mode == kCGPathEOFillStroke, true);
        return paintPath(c, false, false, false);
    }
    cairo_new_path(c->cairo());
}
void CGContextFillRect(const CGContextRef& c, CGRect rect) {
    if (!c)
        return;
    cairo_new_path(c->cairo());
    CGContextAddRect(c, rect);
    paintPath(c, true, false, false);
}
void CGContextStrokeRect(const CGContextRef& c, CGRect rect) {
    if (!c)
        return;
    cairo_new_path(c->cairo());
    CGContextAddRect(c, rect);
    paintPath(c, false, false, false);
}
void CGContextStrokeRectWithWidth(const CGContextRef& c, CGRect rect, CGFloat width) {
    if (!c)
        return;
    cairo_save(c->cairo());
    CGContextSetLineWidth(c, width);
    CGContextStrokeRect(c, rect);
    cairo_restore(c->cairo());
}
void CGContextClearRect(const CGContextRef& c, CGRect rect) {
    if (!c || !allFinite(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height))
        return;
    cairo_t* cr = c->cairo();
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_restore(cr);
}
void CGContextFillEllipseInRect(const CGContextRef& c, CGRect rect) {
    if (!c)
        return;
    cairo_new_path(c->cairo());
    CGContextAddEllipseInRect(c, rect);
    paintPath(c, true, false, false);
}
void CGContextStrokeEllipseInRect(const CGContextRef& c, CGRect rect) {
    if (!c)
        return;
    cairo_new_path(c->cairo());
    CGContextAddEllipseInRect(c, rect);
    paintPath(c, false, false, false);
}
void CGContextStrokeLineSegments(const CGContextRef& c, std::span<const CGPoint> points) {
    if (!c)
        return;
    cairo_new_path(c->cairo());
    for (std::size_t i = 0; i + 1 < points.size(); i += 2) {
        CGContextMoveToPoint(c, points[i].x, points[i].y);
        CGContextAddLineToPoint(c, points[i + 1].x, points[i + 1].y);
    }
    paintPath(c, false, false, false);
}

void CGContextClip(const CGContextRef& c) {
    if (!c)
        return;
    c->setClipDescription(std::nullopt);
    cairo_set_fill_rule(c->cairo(), CAIRO_FILL_RULE_WINDING);
    cairo_clip(c->cairo());
}
void CGContextEOClip(const CGContextRef& c) {
    if (!c)
        return;
    c->setClipDescription(std::nullopt);
    cairo_set_fill_rule(c->cairo(), CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(c->cairo());
}
void CGContextClipToRect(const CGContextRef& c, CGRect rect) {
    if (!c || !allFinite(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height))
        return;
    c->setClipDescription(std::nullopt);
    cairo_t* cr = c->cairo();
    cairo_path_t* saved = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_fill_rule_t rule = cairo_get_fill_rule(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, rule);
    if (saved->status == CAIRO_STATUS_SUCCESS)
        cairo_append_path(cr, saved);
    cairo_path_destroy(saved);
}
CGRect CGContextGetClipBoundingBox(const CGContextRef& c) {
    if (!c)
        return CGRectZero;
    double x1, y1, x2, y2;
    cairo_clip_extents(c->cairo(), &x1, &y1, &x2, &y2);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}
