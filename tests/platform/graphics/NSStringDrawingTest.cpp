#include "platform/graphics/NSStringDrawing.h"

#include "platform/graphics/TextEngine.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

using pixels::count;

namespace {
NSStringAttributes attributes(CGFloat size = 17) {
    NSStringAttributes a;
    a.font = UIFont::systemFontOfSize(size);
    return a;
}

bool ink(const CGImage::Pixel& p) {
    return p.a > 100;
}
} // namespace

TEST(NSStringDrawingTest, SizeGrowsWithTheTextAndTheFont) {
    CGSize one = NSStringSizeWithAttributes("Enabled", attributes());
    CGSize two = NSStringSizeWithAttributes("Enabled Enabled", attributes());
    EXPECT_GT(one.width, 30);
    EXPECT_GT(two.width, 2 * one.width);
    EXPECT_NEAR(one.height, UIFont::systemFontOfSize(17).lineHeight(), 0.5);
    NSStringAttributes bold = attributes();
    bold.font = UIFont::boldSystemFontOfSize(17);
    EXPECT_GT(NSStringSizeWithAttributes("Enabled", bold).width, one.width);
    EXPECT_EQ(NSStringSizeWithAttributes("", attributes()), CGSizeZero);
    // Explicit line breaks start new lines even without a width.
    EXPECT_NEAR(NSStringSizeWithAttributes("a\nb", attributes()).height, 2 * one.height, 1);
}

TEST(NSStringDrawingTest, WrapsAtTheWidthAndHonoursTheLineLimit) {
    std::string text = "Floating chat heads for every messaging app you use";
    NSStringAttributes a = attributes();
    CGFloat line = a.font.lineHeight();
    CGRect wrapped = NSStringBoundingRectWithSize(text, CGSizeMake(120, 1e9), a);
    EXPECT_LE(wrapped.size.width, 120);
    EXPECT_GE(wrapped.size.height, 3 * line - 1);
    a.numberOfLines = 2;
    a.lineBreakMode = NSLineBreakByTruncatingTail;
    EXPECT_NEAR(NSStringBoundingRectWithSize(text, CGSizeMake(120, 1e9), a).size.height, 2 * line, 1);
    a.lineBreakMode = NSLineBreakByWordWrapping;
    EXPECT_NEAR(NSStringBoundingRectWithSize(text, CGSizeMake(120, 1e9), a).size.height, 2 * line, 1);
    // No width means no wrapping.
    a.numberOfLines = 0;
    EXPECT_NEAR(NSStringBoundingRectWithSize(text, CGSizeMake(0, 0), a).size.height, line, 1);
}

TEST(NSStringDrawingTest, InvalidUTF8StillMeasuresAndDraws) {
    std::string broken = "ab\xff\xfe"
                         "cd\xc3";
    EXPECT_GT(NSStringSizeWithAttributes(broken, attributes()).width, 0);
    CGImageRef image = pixels::draw(100, 30, [&](const CGContextRef& c) {
        NSStringDrawAtPoint(broken, {0, 0}, attributes(), c);
    });
    EXPECT_GT(count(image, 0, 0, 100, 30, ink), 10);
}

TEST(NSStringDrawingTest, DrawsInkOnlyInsideItsRectangleAtTheGivenAlignment) {
    NSStringAttributes a = attributes(14);
    a.foregroundColor = {1, 0, 0, 1};
    auto drawAligned = [&](NSTextAlignment alignment) {
        a.alignment = alignment;
        return pixels::draw(
            200, 60,
            [&](const CGContextRef& c) { NSStringDrawInRect("Hi", CGRectMake(20, 20, 160, 20), a, c); }, 2);
    };
    CGImageRef left = drawAligned(NSTextAlignmentLeft);
    // In pixels at 2x: the rectangle is x 40..360, y 40..80.
    EXPECT_GT(count(left, 40, 40, 120, 80, ink), 20);
    EXPECT_EQ(count(left, 0, 0, 400, 40, ink), 0);
    EXPECT_EQ(count(left, 0, 80, 400, 120, ink), 0);
    EXPECT_EQ(count(left, 120, 0, 400, 120, ink), 0);
    EXPECT_GT(count(left, 40, 40, 120, 80, pixels::red), 5); // the text's own colour

    CGImageRef right = drawAligned(NSTextAlignmentRight);
    EXPECT_GT(count(right, 280, 40, 360, 80, ink), 20);
    EXPECT_EQ(count(right, 0, 0, 280, 120, ink), 0);

    CGImageRef centre = drawAligned(NSTextAlignmentCenter);
    EXPECT_GT(count(centre, 160, 40, 240, 80, ink), 20);
    EXPECT_EQ(count(centre, 0, 0, 160, 120, ink), 0);
    EXPECT_EQ(count(centre, 240, 0, 400, 120, ink), 0);
}

TEST(NSStringDrawingTest, OnlyLinesThatFitTheHeightAreDrawn) {
    NSStringAttributes a = attributes(10);
    CGFloat line = a.font.lineHeight();
    CGImageRef image = pixels::draw(60, 100, [&](const CGContextRef& c) {
        NSStringDrawInRect("one two three four five six seven", CGRectMake(0, 0, 40, 2 * line + 1), a, c);
    });
    EXPECT_GT(count(image, 0, 0, 40, static_cast<int>(2 * line), ink), 10);
    EXPECT_EQ(count(image, 0, static_cast<int>(2 * line + 1), 60, 100, ink), 0);
}

TEST(NSStringDrawingTest, DrawingWithoutAContextLeavesTheCurrentDrawingAlone) {
    // No context means no drawing, not a drawing into whatever context happens to be in use.
    CGImageRef image = pixels::draw(40, 40, [&](const CGContextRef&) {
        NSStringDrawInRect("x", CGRectMake(0, 0, 40, 40), attributes(20), nullptr);
        NSStringDrawAtPoint("x", {0, 0}, attributes(20));
    });
    EXPECT_EQ(count(image, 0, 0, 40, 40, ink), 0);
}

namespace {
// Compares two drawings of the same lines band by band (a band per line of `lineHeight` points
// at `scale`): the same ink box within a pixel and the same coverage within antialiasing.
void expectSameInkPerLine(const CGImageRef& have, const CGImageRef& want, CGFloat lineHeight, double scale) {
    const double band = lineHeight * scale;
    int inked = 0;
    for (int line = 0; (line + 1) * band <= static_cast<double>(want->height()); ++line) {
        SCOPED_TRACE(testing::Message() << "line " << line);
        const int top = static_cast<int>(std::lround(line * band)),
                  bottom = static_cast<int>(std::lround((line + 1) * band));
        const pixels::BandInk h = pixels::inkInBand(have, top, bottom),
                              w = pixels::inkInBand(want, top, bottom);
        EXPECT_EQ(h.coverage == 0, w.coverage == 0);
        if (w.coverage == 0)
            continue;
        ++inked;
        EXPECT_NEAR(h.left, w.left, 1);
        EXPECT_NEAR(h.right, w.right, 1);
        EXPECT_NEAR(h.top, w.top, 1);
        EXPECT_NEAR(h.bottom, w.bottom, 1);
        EXPECT_NEAR(static_cast<double>(h.coverage), static_cast<double>(w.coverage),
                    0.02 * static_cast<double>(w.coverage) + 255);
    }
    EXPECT_GT(inked, 2);
}
} // namespace

// Lines are drawn one by one, and only where they meet the clip; what shows must be what the
// whole layout draws: every line at its place and alignment, and a line the clip cuts through
// still drawn in part.
TEST(NSStringDrawingTest, DrawsTheLinesTheWholeLayoutDraws) {
    const std::string text = "Floating chat heads for every messaging app you use, with a word "
                             "that no line holds: " +
                             std::string(300, 'm') + " and a tail";
    NSStringAttributes a = attributes(13);
    a.alignment = NSTextAlignmentCenter;
    const CGFloat line = a.font.lineHeight();
    const CGRect rect = CGRectMake(7.5, 0, 180, 40 * line);
    TextLayoutParams params;
    params.alignment = a.alignment;
    params.lineBreakMode = a.lineBreakMode;
    params.width = rect.width();
    params.maxLines = 40;
    for (const auto& [clipTop, clipBottom] : {std::pair{0.0, 40 * line}, std::pair{2.5 * line, 6.5 * line}}) {
        SCOPED_TRACE(testing::Message() << "clip " << clipTop << " to " << clipBottom);
        auto clipped = [&](const std::function<void(const CGContextRef&)>& draw) {
            return pixels::draw(
                200, static_cast<int>(std::ceil(12 * line)),
                [&](const CGContextRef& c) {
                    cairo_rectangle(c->cairo(), 0, clipTop, 200, clipBottom - clipTop);
                    cairo_clip(c->cairo());
                    draw(c);
                },
                2);
        };
        const CGImageRef have = clipped([&](const CGContextRef& c) { NSStringDrawInRect(text, rect, a, c); });
        const CGImageRef want = clipped([&](const CGContextRef& c) {
            // Pango's own layout of the lines the engine laid out, drawn whole.
            TextEngine& engine = TextEngine::forThisThread();
            const TextEngine::Laid laid = engine.layout(text, a.font, params);
            PangoLayout* whole = engine.build(std::string(laid.text()), a.font, params);
            cairo_set_source_rgb(c->cairo(), 0, 0, 0);
            cairo_move_to(c->cairo(), rect.minX(), rect.minY());
            pango_cairo_show_layout(c->cairo(), whole);
            g_object_unref(whole);
        });
        expectSameInkPerLine(have, want, line, 2);
    }
}
