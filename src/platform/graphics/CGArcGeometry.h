#pragma once

// The arc geometry behind the context's and the bezier path's arc calls, kept apart from any
// surface so it can be checked with plain numbers.
//
// Angles are in radians in the path's own coordinates, 0 pointing along +x. "Increasing" means
// the angle grows from start to end; in the y-down coordinates of a view that runs clockwise on
// screen. Core Graphics' `clockwise` flag names the opposite sense (it is defined for y-up
// coordinates), while UIBezierPath's `clockwise` means increasing: callers translate.

#include "platform/graphics/CGGeometry.h"

#include <array>
#include <vector>

// One cubic Bézier segment: two control points and the end point.
using CGCubicSegment = std::array<CGPoint, 3>;

struct CGArcCurves {
    CGPoint start;                      // the arc's first point
    std::vector<CGCubicSegment> curves; // empty for a zero sweep
};

// The signed sweep an arc call draws. Increasing arcs whose end lies below the start run on
// to the next turn (and the mirror for decreasing ones), so the sweep lies in [0, 2π) or
// (−2π, 0] there; a sweep of more than one turn keeps its last partial turn after one full
// circle, so a stroke shows the full ring and ends at the end angle without looping many times.
// Returns 0 when an angle is not finite.
CGFloat CGArcSweep(CGFloat startAngle, CGFloat endAngle, bool increasing);

// Cubic curves for a circular arc, at most a quarter turn each. A negative radius or one that is
// not finite gives an arc of radius 0 (all points at the centre).
CGArcCurves CGArcToCurves(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                          bool increasing);

// The corner arc of `arcToPoint` calls: the arc of `radius` tangent to the line from `current`
// to `p1` and to the line from `p1` to `p2`. When the three points are collinear, coincide or
// the radius is 0, `degenerate` is set and the caller draws a line to `p1` instead.
struct CGTangentArc {
    bool degenerate = true;
    CGPoint tangent1; // where the arc meets the first line
    CGPoint tangent2; // where it meets the second line
    CGPoint center;
    CGFloat radius = 0;
    CGFloat startAngle = 0, endAngle = 0;
    bool increasing = true;
};
CGTangentArc CGTangentArcMake(CGPoint current, CGPoint p1, CGPoint p2, CGFloat radius);
