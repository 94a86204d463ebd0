#include "platform/graphics/CGContext.h"

#include "support/PixelTesting.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <thread>

using pixels::at;
using pixels::near;

namespace {
using std::numbers::pi;
const CGColor kRed{1, 0, 0, 1};
const CGColor kBlue{0, 0, 1, 1};

// A point on the circle of radius r around (50, 50) at `angle` (0 right, growing clockwise on
// screen).
CGPoint onCircle(double r, double angle) {
    return {50 + r * std::cos(angle), 50 + r * std::sin(angle)};
}

// A 4-point stroke of radius 30 around (50, 50) from twelve o'clock to three o'clock, with the
// raw Core Graphics clockwise flag.
CGImageRef quarterArc(int clockwiseFlag) {
    return pixels::draw(100, 100, [&](const CGContextRef& c) {
        CGContextSetStrokeColorWithColor(c, kRed);
        CGContextSetLineWidth(c, 4);
        CGContextAddArc(c, 50, 50, 30, -pi / 2, 0, clockwiseFlag);
        CGContextStrokePath(c);
    });
}
} // namespace

TEST(CGContextTest, ArcFlagZeroRunsClockwiseOnScreen) {
    CGImageRef image = quarterArc(0);
    CGPoint upperRight = onCircle(30, -pi / 4), upperLeft = onCircle(30, -3 * pi / 4);
    CGPoint lowerLeft = onCircle(30, 3 * pi / 4);
    EXPECT_TRUE(pixels::red(at(image, upperRight.x, upperRight.y)));
    EXPECT_TRUE(pixels::transparent(at(image, upperLeft.x, upperLeft.y)));
    EXPECT_TRUE(pixels::transparent(at(image, lowerLeft.x, lowerLeft.y)));
}

TEST(CGContextTest, ArcFlagOneRunsCounterClockwiseOnScreen) {
    // From twelve to three the other way round: through nine and six o'clock.
    CGImageRef image = quarterArc(1);
    CGPoint upperRight = onCircle(30, -pi / 4), upperLeft = onCircle(30, -3 * pi / 4);
    CGPoint lowerLeft = onCircle(30, 3 * pi / 4), lowerRight = onCircle(30, pi / 4);
    EXPECT_TRUE(pixels::transparent(at(image, upperRight.x, upperRight.y)));
    EXPECT_TRUE(pixels::red(at(image, upperLeft.x, upperLeft.y)));
    EXPECT_TRUE(pixels::red(at(image, lowerLeft.x, lowerLeft.y)));
    EXPECT_TRUE(pixels::red(at(image, lowerRight.x, lowerRight.y)));
}

TEST(CGContextTest, ClosedSectorFillsFromTheCentre) {
    // The pie-sector drawing: move to the centre, arc from twelve to three o'clock with flag 0,
    // close and fill.
    CGImageRef image = pixels::draw(100, 100, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextMoveToPoint(c, 50, 50);
        CGContextAddArc(c, 50, 50, 40, -pi / 2, 0, 0);
        CGContextClosePath(c);
        CGContextFillPath(c);
    });
    EXPECT_TRUE(pixels::red(at(image, 65, 35)));
    EXPECT_TRUE(pixels::transparent(at(image, 35, 35)));
    EXPECT_TRUE(pixels::transparent(at(image, 65, 65)));
    EXPECT_TRUE(pixels::transparent(at(image, 35, 65)));
    EXPECT_TRUE(CGContextIsPathEmpty(nullptr));
}

TEST(CGContextTest, CopyBlendModeReplacesPixelsAlphaIncluded) {
    CGImageRef image = pixels::draw(60, 20, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextFillRect(c, CGRectMake(0, 0, 60, 20));
        CGContextSetBlendMode(c, kCGBlendModeCopy);
        CGContextSetRGBFillColor(c, 0, 0, 1, 0.5);
        CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
        CGContextSetRGBFillColor(c, 0, 0, 0, 0);
        CGContextFillRect(c, CGRectMake(20, 0, 20, 20));
    });
    // Half-transparent blue replaces red instead of mixing with it; a clear colour punches a hole.
    EXPECT_TRUE(near(at(image, 10, 10), 0, 0, 255, 128, 3));
    EXPECT_TRUE(pixels::transparent(at(image, 30, 10)));
    EXPECT_TRUE(pixels::red(at(image, 50, 10)));
}

TEST(CGContextTest, NormalBlendComposesOverAndClearErases) {
    CGImageRef image = pixels::draw(60, 20, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextFillRect(c, CGRectMake(0, 0, 60, 20));
        CGContextSetRGBFillColor(c, 0, 0, 1, 0.5);
        CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
        CGContextSetBlendMode(c, kCGBlendModeClear);
        CGContextFillEllipseInRect(c, CGRectMake(20, 0, 20, 20));
        CGContextSetBlendMode(c, kCGBlendModeNormal);
        CGContextClearRect(c, CGRectMake(55, 0, 5, 20));
    });
    EXPECT_TRUE(near(at(image, 10, 10), 128, 0, 127, 255, 3));
    EXPECT_TRUE(pixels::transparent(at(image, 30, 10)));
    EXPECT_TRUE(pixels::red(at(image, 21, 1))); // outside the cleared ellipse
    EXPECT_TRUE(pixels::transparent(at(image, 57, 10)));
    EXPECT_TRUE(pixels::red(at(image, 50, 10)));
}

TEST(CGContextTest, StrokeWidthAndLineCaps) {
    auto line = [](CGLineCap cap) {
        return pixels::draw(100, 100, [cap](const CGContextRef& c) {
            CGContextSetStrokeColorWithColor(c, kRed);
            CGContextSetLineWidth(c, 10);
            CGContextSetLineCap(c, cap);
            CGContextMoveToPoint(c, 20, 50);
            CGContextAddLineToPoint(c, 80, 50);
            CGContextStrokePath(c);
        });
    };
    CGImageRef butt = line(kCGLineCapButt), square = line(kCGLineCapSquare), round = line(kCGLineCapRound);
    // Ten points wide: rows 45 to 54 are covered, 44 and 55 are not.
    EXPECT_TRUE(pixels::red(at(butt, 50, 45.5)));
    EXPECT_TRUE(pixels::red(at(butt, 50, 54.5)));
    EXPECT_TRUE(pixels::transparent(at(butt, 50, 44.5)));
    EXPECT_TRUE(pixels::transparent(at(butt, 50, 55.5)));
    // Butt ends at the end points; square ends reach half the width beyond them; round ends
    // reach as far only on the line's axis.
    EXPECT_TRUE(pixels::transparent(at(butt, 17, 50)));
    EXPECT_TRUE(pixels::red(at(square, 15, 45)));
    EXPECT_TRUE(pixels::red(at(round, 16, 50)));
    EXPECT_TRUE(pixels::transparent(at(round, 15, 45)));
}

TEST(CGContextTest, FillStrokeUsesBothColours) {
    CGImageRef image = pixels::draw(100, 100, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kBlue);
        CGContextSetStrokeColorWithColor(c, kRed);
        CGContextSetLineWidth(c, 4);
        CGContextAddRect(c, CGRectMake(20, 20, 60, 60));
        CGContextDrawPath(c, kCGPathFillStroke);
    });
    EXPECT_TRUE(pixels::blue(at(image, 50, 50)));
    EXPECT_TRUE(pixels::red(at(image, 20.5, 50)));
    EXPECT_TRUE(pixels::red(at(image, 18.5, 50))); // half the stroke lies outside the fill
    EXPECT_TRUE(pixels::transparent(at(image, 17, 50)));
}

TEST(CGContextTest, ArcToPointDrawsTheCapsuleOutline) {
    // A capsule made of four corner arcs, as a bar-shaped progress outline draws it.
    double w = 120, h = 40, R = h / 2 - 2;
    CGImageRef image = pixels::draw(120, 40, [&](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kBlue);
        CGContextMoveToPoint(c, 2, h / 2);
        CGContextAddArcToPoint(c, 2, 2, R + 2, 2, R);
        CGContextAddArcToPoint(c, w - 2, 2, w - 2, h / 2, R);
        CGContextAddArcToPoint(c, w - 2, h - 2, w - R - 2, h - 2, R);
        CGContextAddArcToPoint(c, 2, h - 2, 2, h / 2, R);
        CGContextFillPath(c);
    });
    EXPECT_TRUE(pixels::blue(at(image, 60, 20)));
    EXPECT_TRUE(pixels::blue(at(image, 3, 20)));       // the left end at mid height
    EXPECT_TRUE(pixels::blue(at(image, 60, 2.5)));     // the top edge
    EXPECT_TRUE(pixels::transparent(at(image, 4, 4))); // rounded away at the corners
    EXPECT_TRUE(pixels::transparent(at(image, 116, 36)));
    EXPECT_TRUE(pixels::transparent(at(image, 60, 1)));
}

TEST(CGContextTest, EllipseOutlineLeavesTheInsideEmpty) {
    CGImageRef image = pixels::draw(40, 40, [](const CGContextRef& c) {
        CGContextSetStrokeColorWithColor(c, kRed);
        CGContextSetFillColorWithColor(c, kBlue);
        CGContextSetLineWidth(c, 2);
        CGContextStrokeEllipseInRect(c, CGRectMake(1, 1, 38, 38));
    });
    EXPECT_TRUE(pixels::red(at(image, 20, 1)));
    EXPECT_TRUE(pixels::red(at(image, 1, 20)));
    EXPECT_TRUE(pixels::transparent(at(image, 20, 20)));
    EXPECT_TRUE(pixels::transparent(at(image, 20, 4)));
}

TEST(CGContextTest, SavedStateComesBackOnRestore) {
    CGImageRef image = pixels::draw(40, 10, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextSaveGState(c);
        CGContextSetFillColorWithColor(c, kBlue);
        CGContextSetBlendMode(c, kCGBlendModeCopy);
        CGContextSetAlpha(c, 0.5);
        CGContextTranslateCTM(c, 20, 0);
        CGContextFillRect(c, CGRectMake(0, 0, 10, 10));
        CGContextRestoreGState(c);
        CGContextRestoreGState(c); // unbalanced: ignored
        EXPECT_EQ(c->state().blendMode, kCGBlendModeNormal);
        CGContextFillRect(c, CGRectMake(0, 0, 10, 10));
    });
    EXPECT_TRUE(pixels::red(at(image, 5, 5)));
    EXPECT_TRUE(near(at(image, 25, 5), 0, 0, 255, 128, 3));
    EXPECT_TRUE(pixels::transparent(at(image, 15, 5)));
}

TEST(CGContextTest, ClipToRectLimitsPaintingAndKeepsThePath) {
    CGImageRef image = pixels::draw(40, 40, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextAddRect(c, CGRectMake(0, 0, 40, 40));
        CGContextClipToRect(c, CGRectMake(10, 10, 10, 10));
        EXPECT_FALSE(CGContextIsPathEmpty(c));
        CGContextFillPath(c);
        CGRect box = CGContextGetClipBoundingBox(c);
        EXPECT_EQ(box, CGRectMake(10, 10, 10, 10));
    });
    EXPECT_TRUE(pixels::red(at(image, 15, 15)));
    EXPECT_TRUE(pixels::transparent(at(image, 5, 5)));
    EXPECT_TRUE(pixels::transparent(at(image, 25, 15)));
}

TEST(CGContextTest, TransformsMoveAndScaleDrawing) {
    CGImageRef image = pixels::draw(100, 100, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextTranslateCTM(c, 50, 50);
        CGContextRotateCTM(c, pi / 2); // +x now points down the screen
        CGContextConcatCTM(c, CGAffineTransformMakeScale(2, 1));
        CGContextFillRect(c, CGRectMake(0, -2, 20, 4));
        CGAffineTransform ctm = CGContextGetCTM(c);
        EXPECT_NEAR(ctm.tx, 50, 1e-9);
        EXPECT_NEAR(ctm.b, 2, 1e-9);
    });
    EXPECT_TRUE(pixels::red(at(image, 50, 85)));
    EXPECT_TRUE(pixels::transparent(at(image, 50, 95)));
    EXPECT_TRUE(pixels::transparent(at(image, 70, 50)));
}

TEST(CGContextTest, FlatteningTransformHidesDrawingWithoutBreakingTheContext) {
    CGImageRef image = pixels::draw(20, 20, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextSaveGState(c);
        CGContextScaleCTM(c, 0, 1);
        CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
        CGContextRestoreGState(c);
        CGContextFillRect(c, CGRectMake(0, 0, 5, 5));
    });
    EXPECT_TRUE(pixels::red(at(image, 2, 2)));
    EXPECT_TRUE(pixels::transparent(at(image, 10, 10)));
}

TEST(CGContextTest, NonFiniteInputIsIgnored) {
    CGImageRef image = pixels::draw(20, 20, [](const CGContextRef& c) {
        CGContextSetFillColorWithColor(c, kRed);
        CGContextMoveToPoint(c, NAN, 0);
        CGContextAddArc(c, 10, 10, INFINITY, 0, 1, 0);
        CGContextTranslateCTM(c, NAN, 0);
        CGContextSetLineWidth(c, NAN);
        const CGFloat negative[] = {-1, 2};
        CGContextSetLineDash(c, 0, negative);
        CGContextStrokePath(c);
        CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    });
    EXPECT_TRUE(pixels::red(at(image, 10, 10)));
}

TEST(CGContextTest, NullContextIsANoOp) {
    CGContextRef none;
    CGContextSetFillColorWithColor(none, kRed);
    CGContextMoveToPoint(none, 1, 1);
    CGContextAddArcToPoint(none, 1, 2, 3, 4, 5);
    CGContextFillPath(none);
    CGContextDrawPath(none, kCGPathFillStroke);
    EXPECT_EQ(CGContextGetCTM(none), CGAffineTransformIdentity);
    EXPECT_EQ(CGContextGetPathCurrentPoint(none), CGPointZero);
}

TEST(CGContextTest, CurrentContextStackIsPerThread) {
    auto image = CGImage::create(1, 1);
    cairo_t* cr = cairo_create(image->surface());
    auto ctx = CGContext::create(cr);
    cairo_destroy(cr);
    CGContext::pushCurrent(ctx);
    EXPECT_EQ(CGContext::current(), ctx);
    std::shared_ptr<CGContext> seenElsewhere = ctx;
    std::thread([&] { seenElsewhere = CGContext::current(); }).join();
    EXPECT_EQ(seenElsewhere, nullptr);
    CGContext::removeCurrent(ctx);
    EXPECT_EQ(CGContext::current(), nullptr);
    CGContext::popCurrent(); // popping an empty stack is harmless
}
