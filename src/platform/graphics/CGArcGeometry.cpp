#include "platform/graphics/CGArcGeometry.h"

#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kTwoPi = 2 * std::numbers::pi;

CGPoint pointOnCircle(CGPoint c, CGFloat r, CGFloat angle) {
    return {c.x + r * std::cos(angle), c.y + r * std::sin(angle)};
}

CGFloat length(CGFloat x, CGFloat y) {
    return std::hypot(x, y);
}
} // namespace

CGFloat CGArcSweep(CGFloat startAngle, CGFloat endAngle, bool increasing) {
    if (!std::isfinite(startAngle) || !std::isfinite(endAngle))
        return 0;
    CGFloat sweep = endAngle - startAngle;
    if (!increasing)
        sweep = -sweep;
    if (sweep < 0) {
        sweep = std::fmod(sweep, kTwoPi);
        if (sweep < 0)
            sweep += kTwoPi;
        if (sweep >= kTwoPi)
            sweep = 0;
    } else if (sweep > kTwoPi) {
        sweep = kTwoPi + std::fmod(sweep, kTwoPi);
    }
    return increasing ? sweep : -sweep;
}

CGArcCurves CGArcToCurves(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                          bool increasing) {
    if (!std::isfinite(radius) || radius < 0)
        radius = 0;
    CGArcCurves arc;
    CGFloat sweep = CGArcSweep(startAngle, endAngle, increasing);
    if (!std::isfinite(startAngle))
        startAngle = 0;
    arc.start = pointOnCircle(center, radius, startAngle);
    if (sweep == 0)
        return arc;
    int n = static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9));
    n = std::max(n, 1);
    CGFloat step = sweep / n;
    // The standard cubic approximation of a circular arc: control handles of length
    // 4/3·tan(θ/4)·r along the tangents at both ends.
    CGFloat k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    CGFloat a = startAngle;
    for (int i = 0; i < n; ++i) {
        CGFloat b = a + step;
        CGPoint p0 = pointOnCircle(center, radius, a);
        CGPoint p3 = pointOnCircle(center, radius, b);
        CGPoint c1{p0.x - k * std::sin(a), p0.y + k * std::cos(a)};
        CGPoint c2{p3.x + k * std::sin(b), p3.y - k * std::cos(b)};
        arc.curves.push_back({c1, c2, p3});
        a = b;
    }
    return arc;
}

CGTangentArc CGTangentArcMake(CGPoint current, CGPoint p1, CGPoint p2, CGFloat radius) {
    CGTangentArc t;
    CGFloat ux = current.x - p1.x, uy = current.y - p1.y;
    CGFloat vx = p2.x - p1.x, vy = p2.y - p1.y;
    CGFloat lu = length(ux, uy), lv = length(vx, vy);
    if (!(radius > 0) || !std::isfinite(radius) || !(lu > 0) || !(lv > 0) || !std::isfinite(lu) ||
        !std::isfinite(lv))
        return t;
    ux /= lu, uy /= lu, vx /= lv, vy /= lv;
    CGFloat cross = ux * vy - uy * vx;
    CGFloat dot = ux * vx + uy * vy;
    if (std::abs(cross) < 1e-12)
        return t; // the lines are collinear: no corner to round
    // θ is the angle at p1 between the two legs; the tangent points lie r/tan(θ/2) from p1.
    CGFloat theta = std::atan2(std::abs(cross), dot);
    CGFloat d = radius / std::tan(theta / 2);
    t.tangent1 = {p1.x + ux * d, p1.y + uy * d};
    t.tangent2 = {p1.x + vx * d, p1.y + vy * d};
    CGFloat bx = ux + vx, by = uy + vy;
    CGFloat lb = length(bx, by);
    CGFloat h = radius / std::sin(theta / 2);
    t.center = {p1.x + bx / lb * h, p1.y + by / lb * h};
    t.radius = radius;
    t.startAngle = std::atan2(t.tangent1.y - t.center.y, t.tangent1.x - t.center.x);
    t.endAngle = std::atan2(t.tangent2.y - t.center.y, t.tangent2.x - t.center.x);
    // Travelling along −u and turning toward v: a positive turn (cross(−u, v) > 0) sweeps the
    // angle upward. The arc never exceeds half a turn.
    t.increasing = -cross > 0;
    t.degenerate = false;
    return t;
}
