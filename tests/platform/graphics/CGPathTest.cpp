#include "platform/graphics/CGPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {
void expectRectNear(CGRect a, CGRect b, double tolerance = 1e-6) {
    EXPECT_NEAR(a.origin.x, b.origin.x, tolerance);
    EXPECT_NEAR(a.origin.y, b.origin.y, tolerance);
    EXPECT_NEAR(a.size.width, b.size.width, tolerance);
    EXPECT_NEAR(a.size.height, b.size.height, tolerance);
}
} // namespace

TEST(CGPathTest, LinesWithoutACurrentPointStartASubpath) {
    CGPath p;
    EXPECT_FALSE(p.hasCurrentPoint());
    p.addLineToPoint({3, 4});
    ASSERT_EQ(p.elements().size(), 1u);
    EXPECT_EQ(p.elements()[0].type, kCGPathElementMoveToPoint);
    p.addLineToPoint({10, 4});
    p.closeSubpath();
    p.closeSubpath(); // a second close adds nothing
    EXPECT_EQ(p.elements().size(), 3u);
    EXPECT_EQ(p.currentPoint(), (CGPoint{3, 4}));
}

TEST(CGPathTest, NonFinitePointsAreIgnored) {
    CGPath p;
    p.moveToPoint({NAN, 0});
    p.addArc({0, 0}, INFINITY, 0, 1, false);
    p.addRect(CGRectMake(0, 0, NAN, 1));
    EXPECT_TRUE(p.isEmpty());
}

TEST(CGPathTest, BoundingBoxesOfCurvedShapes) {
    CGPath oval;
    oval.addEllipseInRect(CGRectMake(10, 20, 40, 30));
    expectRectNear(oval.pathBoundingBox(), CGRectMake(10, 20, 40, 30), 1e-3);
    // The control points of the quarter arcs stick out beyond the outline.
    EXPECT_GE(oval.boundingBox().width(), 40);

    CGPath rounded;
    rounded.addRoundedRect(CGRectMake(0, 0, 100, 20), 50, 50); // radii limited to 50 × 10
    expectRectNear(rounded.pathBoundingBox(), CGRectMake(0, 0, 100, 20), 1e-3);
    EXPECT_TRUE(rounded.containsPoint({50, 10}));
    EXPECT_FALSE(rounded.containsPoint({0.5, 0.5})); // cut away by the corner

    // An arc from twelve to three o'clock, clockwise on screen (Core Graphics' flag false).
    CGPath arc;
    arc.addArc({0, 0}, 10, -std::numbers::pi / 2, 0, false);
    expectRectNear(arc.pathBoundingBox(), CGRectMake(0, -10, 10, 10), 1e-3);
    // With the flag set it runs the other way, round through nine and six o'clock.
    CGPath longWay;
    longWay.addArc({0, 0}, 10, -std::numbers::pi / 2, 0, true);
    expectRectNear(longWay.pathBoundingBox(), CGRectMake(-10, -10, 20, 20), 1e-3);

    // A quadratic's peak lies halfway to its control point, and that is where it is filled.
    CGPath quad;
    quad.moveToPoint({0, 0});
    quad.addQuadCurveToPoint({50, 100}, {100, 0});
    expectRectNear(quad.pathBoundingBox(), CGRectMake(0, 0, 100, 50), 1e-3);
    expectRectNear(quad.boundingBox(), CGRectMake(0, 0, 100, 100), 1e-3);
    EXPECT_TRUE(quad.containsPoint({50, 49}));
    EXPECT_FALSE(quad.containsPoint({50, 51}));
}

TEST(CGPathTest, ArcJoinsTheCurrentPointWithALine) {
    CGPath p;
    p.moveToPoint({0, 0});
    p.addArc({20, 0}, 5, std::numbers::pi, 2 * std::numbers::pi, false);
    ASSERT_GE(p.elements().size(), 3u);
    EXPECT_EQ(p.elements()[1].type, kCGPathElementAddLineToPoint);
    EXPECT_NEAR(p.elements()[1].points[0].x, 15, 1e-9);
    EXPECT_NEAR(p.currentPoint().x, 25, 1e-9);
}

TEST(CGPathTest, ArcToPointAddsTheCornerBetweenTheLines) {
    CGPath p;
    p.moveToPoint({0, 20});
    p.addArcToPoint({0, 0}, {20, 0}, 5);
    EXPECT_NEAR(p.currentPoint().x, 5, 1e-9);
    EXPECT_NEAR(p.currentPoint().y, 0, 1e-9);
    p.addLineToPoint({20, 0});
    p.addLineToPoint({20, 20});
    p.closeSubpath();
    EXPECT_TRUE(p.containsPoint({2, 10}));
    EXPECT_FALSE(p.containsPoint({0.5, 0.5}));

    // Collinear points leave a straight line to the first point.
    CGPath straight;
    straight.moveToPoint({0, 0});
    straight.addArcToPoint({10, 0}, {20, 0}, 5);
    EXPECT_EQ(straight.currentPoint(), (CGPoint{10, 0}));
}

TEST(CGPathTest, AddPathWithTransformAndEquality) {
    CGPath square;
    square.addRect(CGRectMake(0, 0, 1, 1));
    CGPath big;
    CGAffineTransform t = CGAffineTransformMakeScale(10, 5);
    big.addPath(square, &t);
    expectRectNear(big.pathBoundingBox(), CGRectMake(0, 0, 10, 5));
    CGPath copy = square;
    copy.applyTransform(t);
    EXPECT_EQ(copy, big);
    EXPECT_FALSE(copy == square);
    copy.removeAllPoints();
    EXPECT_TRUE(copy.isEmpty());
    EXPECT_EQ(copy.boundingBox(), CGRectZero);
}

TEST(CGPathTest, EvenOddInsideness) {
    CGPath ring;
    ring.addEllipseInRect(CGRectMake(0, 0, 100, 100));
    ring.addEllipseInRect(CGRectMake(25, 25, 50, 50));
    EXPECT_TRUE(ring.containsPoint({50, 50}));
    EXPECT_FALSE(ring.containsPoint({50, 50}, true));
    EXPECT_TRUE(ring.containsPoint({10, 50}, true));
}
