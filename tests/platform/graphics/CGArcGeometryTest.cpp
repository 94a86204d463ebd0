#include "platform/graphics/CGArcGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {
using std::numbers::pi;

double distance(CGPoint a, CGPoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The point at parameter t of a cubic segment that starts at p0.
CGPoint cubicAt(CGPoint p0, const CGCubicSegment& s, double t) {
    double u = 1 - t;
    return {u * u * u * p0.x + 3 * u * u * t * s[0].x + 3 * u * t * t * s[1].x + t * t * t * s[2].x,
            u * u * u * p0.y + 3 * u * u * t * s[0].y + 3 * u * t * t * s[1].y + t * t * t * s[2].y};
}
} // namespace

TEST(CGArcGeometryTest, SweepWrapsToTheNextTurnInTheDirectionOfTravel) {
    EXPECT_DOUBLE_EQ(CGArcSweep(0, pi / 2, true), pi / 2);
    // Increasing from 0 toward −π/2 goes the long way round, three quarters.
    EXPECT_DOUBLE_EQ(CGArcSweep(0, -pi / 2, true), 3 * pi / 2);
    // Decreasing from 0 to −π/2 is a quarter turn backwards.
    EXPECT_DOUBLE_EQ(CGArcSweep(0, -pi / 2, false), -pi / 2);
    EXPECT_DOUBLE_EQ(CGArcSweep(0, pi / 2, false), -3 * pi / 2);
    EXPECT_DOUBLE_EQ(CGArcSweep(1, 1, true), 0);
    EXPECT_DOUBLE_EQ(CGArcSweep(-pi / 2, -pi / 2 + 2 * pi, true), 2 * pi);
}

TEST(CGArcGeometryTest, SweepOfManyTurnsKeepsOneCircleAndTheRemainder) {
    // A progress of 1.5 sweeps 3π: one full ring, then on to the end angle.
    EXPECT_NEAR(CGArcSweep(0, 3 * pi, true), 3 * pi, 1e-9);
    // A progress of a million does not make a million loops.
    double sweep = CGArcSweep(0, 2 * pi * 1e6 + 1, true);
    EXPECT_GT(sweep, 2 * pi);
    EXPECT_LT(sweep, 4 * pi);
    EXPECT_NEAR(std::fmod(sweep, 2 * pi), 1, 1e-6);
    EXPECT_EQ(CGArcSweep(0, NAN, true), 0);
    EXPECT_EQ(CGArcSweep(INFINITY, 0, false), 0);
}

TEST(CGArcGeometryTest, CurvesFollowTheCircleFromStartToEnd) {
    CGPoint c{50, 40};
    double r = 30;
    for (bool increasing : {true, false}) {
        CGArcCurves arc = CGArcToCurves(c, r, -pi / 2, pi / 3, increasing);
        EXPECT_NEAR(distance(arc.start, {50, 10}), 0, 1e-9);
        ASSERT_FALSE(arc.curves.empty());
        EXPECT_NEAR(distance(arc.curves.back()[2], {c.x + r * std::cos(pi / 3), c.y + r * std::sin(pi / 3)}),
                    0, 1e-9);
        CGPoint p0 = arc.start;
        for (const auto& s : arc.curves) {
            for (double t : {0.25, 0.5, 0.75})
                EXPECT_NEAR(distance(cubicAt(p0, s, t), c), r, r * 1e-3);
            p0 = s[2];
        }
    }
    // Increasing from twelve to two o'clock passes three o'clock's side (x > centre); the
    // decreasing arc between the same angles passes nine o'clock's (x < centre).
    auto mid = [&](bool increasing) {
        CGArcCurves arc = CGArcToCurves(c, r, -pi / 2, pi / 3, increasing);
        return arc.curves[arc.curves.size() / 2][2];
    };
    EXPECT_GT(mid(true).x, c.x);
    EXPECT_LT(mid(false).x, c.x);
}

TEST(CGArcGeometryTest, DegenerateRadiusCollapsesToTheCentre) {
    CGArcCurves arc = CGArcToCurves({5, 5}, -3, 0, pi, true);
    EXPECT_EQ(arc.start, (CGPoint{5, 5}));
    for (const auto& s : arc.curves)
        EXPECT_NEAR(distance(s[2], {5, 5}), 0, 1e-12);
}

TEST(CGArcGeometryTest, TangentArcRoundsACorner) {
    // From (0, 10) up to the corner (0, 0) and on to (10, 0): a radius-5 corner.
    CGTangentArc t = CGTangentArcMake({0, 10}, {0, 0}, {10, 0}, 5);
    ASSERT_FALSE(t.degenerate);
    EXPECT_NEAR(distance(t.tangent1, {0, 5}), 0, 1e-9);
    EXPECT_NEAR(distance(t.tangent2, {5, 0}), 0, 1e-9);
    EXPECT_NEAR(distance(t.center, {5, 5}), 0, 1e-9);
    // Up then right is a clockwise turn on screen: the angle increases from π to 3π/2.
    EXPECT_TRUE(t.increasing);
    EXPECT_NEAR(CGArcSweep(t.startAngle, t.endAngle, t.increasing), pi / 2, 1e-9);

    // The mirror image turns the other way.
    CGTangentArc m = CGTangentArcMake({10, 10}, {10, 0}, {0, 0}, 5);
    ASSERT_FALSE(m.degenerate);
    EXPECT_FALSE(m.increasing);
    EXPECT_NEAR(CGArcSweep(m.startAngle, m.endAngle, m.increasing), -pi / 2, 1e-9);
}

TEST(CGArcGeometryTest, TangentArcWithoutACornerIsDegenerate) {
    EXPECT_TRUE(CGTangentArcMake({0, 0}, {5, 0}, {10, 0}, 3).degenerate);  // collinear
    EXPECT_TRUE(CGTangentArcMake({0, 0}, {0, 0}, {10, 0}, 3).degenerate);  // no first leg
    EXPECT_TRUE(CGTangentArcMake({0, 10}, {0, 0}, {10, 0}, 0).degenerate); // no radius
    EXPECT_TRUE(CGTangentArcMake({0, 10}, {0, 0}, {10, 0}, NAN).degenerate);
}
