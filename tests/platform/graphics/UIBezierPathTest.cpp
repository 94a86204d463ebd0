#include "platform/graphics/UIBezierPath.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using pixels::at;

namespace {
using std::numbers::pi;
const CGColor kWhite{1, 1, 1, 1};
const CGColor kRed{1, 0, 0, 1};

// Draws with the path API into a context made current for the duration.
CGImageRef drawCurrent(int w, int h, const std::function<void()>& draw) {
    return pixels::draw(w, h, [&](const CGContextRef& c) {
        CGContext::pushCurrent(c);
        draw();
        CGContext::popCurrent();
    });
}

bool whiteish(const CGImage::Pixel& p) {
    return p.a > 200 && p.r > 200 && p.g > 200 && p.b > 200;
}
} // namespace

TEST(UIBezierPathTest, ClockwiseTrueRunsClockwiseOnScreen) {
    // The opposite sense to CGContextAddArc's raw flag: true runs from twelve to three directly.
    CGImageRef image = drawCurrent(100, 100, [] {
        auto arc = UIBezierPath::bezierPathWithArcCenter({50, 50}, 30, -pi / 2, 0, true);
        arc->setLineWidth(4);
        CGContextSetStrokeColorWithColor(CGContext::current(), kRed);
        arc->stroke();
    });
    EXPECT_TRUE(pixels::red(at(image, 50 + 30 * std::cos(-pi / 4), 50 + 30 * std::sin(-pi / 4))));
    EXPECT_TRUE(pixels::transparent(at(image, 50 - 30 * std::cos(pi / 4), 50 - 30 * std::sin(pi / 4))));
}

TEST(UIBezierPathTest, AnnularQuarterOverATrack) {
    // A 37-point ring at a quarter: a faint full track and a square-capped quarter arc.
    const double w = 37, L = 2, r = (w - L) / 2;
    CGImageRef image = drawCurrent(37, 37, [&] {
        CGContextRef c = CGContext::current();
        auto track = UIBezierPath::bezierPath();
        track->setLineWidth(L);
        track->setLineCapStyle(kCGLineCapButt);
        track->addArcWithCenter({w / 2, w / 2}, r, -pi / 2, -pi / 2 + 2 * pi, true);
        CGContextSetStrokeColorWithColor(c, {1, 1, 1, 0.1});
        track->stroke();
        auto progress = UIBezierPath::bezierPath();
        progress->setLineWidth(L);
        progress->setLineCapStyle(kCGLineCapSquare);
        progress->addArcWithCenter({w / 2, w / 2}, r, -pi / 2, -pi / 2 + static_cast<float>(2 * pi * 0.25f),
                                   true);
        CGContextSetStrokeColorWithColor(c, kWhite);
        progress->stroke();
    });
    auto ringPoint = [&](double angle) {
        return at(image, w / 2 + r * std::cos(angle), w / 2 + r * std::sin(angle));
    };
    EXPECT_TRUE(whiteish(ringPoint(-pi / 4)));
    EXPECT_LT(ringPoint(pi / 2).a, 60); // the track only
    EXPECT_GT(ringPoint(pi / 2).a, 10);
    EXPECT_LT(ringPoint(pi).a, 60);
    EXPECT_TRUE(pixels::transparent(at(image, w / 2, w / 2)));
}

TEST(UIBezierPathTest, StrokeHonoursTheContextsCopyBlendMode) {
    // A translucent band stroked in copy mode replaces the opaque outline under it.
    CGImageRef image = drawCurrent(40, 40, [] {
        CGContextRef c = CGContext::current();
        CGContextSetFillColorWithColor(c, kRed);
        CGContextFillRect(c, CGRectMake(0, 0, 40, 40));
        auto band = UIBezierPath::bezierPath();
        band->setLineWidth(4);
        band->addArcWithCenter({20, 20}, 18, -pi / 2, pi / 2, true);
        CGContextSetBlendMode(c, kCGBlendModeCopy);
        CGContextSetStrokeColorWithColor(c, {0, 0, 1, 0.5});
        band->stroke();
    });
    EXPECT_TRUE(pixels::near(at(image, 38, 20), 0, 0, 255, 128, 3));
    EXPECT_TRUE(pixels::red(at(image, 2, 20)));
    EXPECT_TRUE(pixels::red(at(image, 20, 20)));
}

TEST(UIBezierPathTest, FillLeavesTheContextsPathAndStateAlone) {
    CGImageRef image = drawCurrent(40, 20, [] {
        CGContextRef c = CGContext::current();
        CGContextSetFillColorWithColor(c, kRed);
        CGContextAddRect(c, CGRectMake(0, 0, 10, 10));
        auto path = UIBezierPath::bezierPathWithRoundedRect(CGRectMake(20, 0, 20, 20), 10);
        path->fillWithBlendMode(kCGBlendModeNormal, 0.5);
        EXPECT_FALSE(CGContextIsPathEmpty(c));
        EXPECT_EQ(c->state().alpha, 1);
        CGContextFillPath(c);
    });
    EXPECT_TRUE(pixels::red(at(image, 5, 5)));
    EXPECT_TRUE(pixels::near(at(image, 30, 10), 255, 0, 0, 128, 3));
    EXPECT_TRUE(pixels::transparent(at(image, 20.5, 0.5))); // the rounded corner
}

TEST(UIBezierPathTest, ClipAndBounds) {
    auto oval = UIBezierPath::bezierPathWithOvalInRect(CGRectMake(0, 0, 20, 20));
    EXPECT_TRUE(oval->containsPoint({10, 10}));
    EXPECT_FALSE(oval->containsPoint({1, 1}));
    auto rect = UIBezierPath::bezierPathWithRect(CGRectMake(2, 3, 4, 5));
    EXPECT_EQ(rect->bounds(), CGRectMake(2, 3, 4, 5));
    EXPECT_TRUE(UIBezierPath::bezierPath()->isEmpty());

    CGImageRef image = drawCurrent(20, 20, [&] {
        oval->addClip();
        CGContextSetFillColorWithColor(CGContext::current(), kRed);
        CGContextFillRect(CGContext::current(), CGRectMake(0, 0, 20, 20));
    });
    EXPECT_TRUE(pixels::red(at(image, 10, 10)));
    EXPECT_TRUE(pixels::transparent(at(image, 1, 1)));
}

TEST(UIBezierPathTest, DrawingWithoutACurrentContextDoesNothing) {
    ASSERT_EQ(CGContext::current(), nullptr);
    auto path = UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 1, 1));
    path->fill();
    path->stroke();
    path->addClip();
}
