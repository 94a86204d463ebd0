#pragma once

// Measuring and drawing strings (UIKit's NSString drawing additions) with Pango. Text is UTF-8;
// invalid bytes draw as U+FFFD. Sizes are in points; a laid-out line is as tall as the font's
// line height. Only what can be shown is laid out: no more than the line limit allows, and never
// more than kLongestLaidOutText characters, a cut text ending in an ellipsis (TextForLayout.h).
//
//     NSStringAttributes a;
//     a.font = UIFont::systemFontOfSize(17);
//     a.alignment = NSTextAlignmentCenter;
//     CGRect box = NSStringBoundingRectWithSize(text, CGSizeMake(200, CGFLOAT_MAX), a);
//     NSStringDrawInRect(text, CGRectMake(0, 0, 200, box.size.height), a);

#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIFont.h"

#include <cstdint>
#include <string_view>

enum NSTextAlignment : int64_t {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

enum NSLineBreakMode : int64_t {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping = 1,
    NSLineBreakByClipping = 2,
    NSLineBreakByTruncatingHead = 3,
    NSLineBreakByTruncatingTail = 4,
    NSLineBreakByTruncatingMiddle = 5,
};

// The attributes the string drawing honours: font, foreground colour and the paragraph style's
// alignment and line breaking, plus a limit of lines (0 for none). Without a font the platform
// draws at 12 points.
struct NSStringAttributes {
    UIFont font = UIFont::systemFontOfSize(12);
    CGColor foregroundColor{0, 0, 0, 1};
    NSTextAlignment alignment = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping;
    int64_t numberOfLines = 0;
};

// The size of the text on one line per paragraph (only explicit line breaks start new lines).
CGSize NSStringSizeWithAttributes(std::string_view text, const NSStringAttributes& attributes);
// The box the text needs when wrapped to `size.width` (a width of 0 or less, or not finite,
// means no wrapping), at most `numberOfLines` lines. The height of `size` is not a limit here.
CGRect NSStringBoundingRectWithSize(std::string_view text, CGSize size, const NSStringAttributes& attributes);
// Draws the text on one line per paragraph with its top left at `point`.
void NSStringDrawAtPoint(std::string_view text, CGPoint point, const NSStringAttributes& attributes,
                         const CGContextRef& context = CGContext::current());
// Draws the text wrapped to the rectangle's width and aligned in it, from its top. Only the lines
// that fit the rectangle's height are drawn (at least one), and a truncating line break mode
// truncates the last of them.
void NSStringDrawInRect(std::string_view text, CGRect rect, const NSStringAttributes& attributes,
                        const CGContextRef& context = CGContext::current());
