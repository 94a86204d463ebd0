#pragma once

// UIKit's drawing functions: the current context that views, bezier paths, strings and images
// draw into, and offscreen image contexts. Both live on one stack per thread: the renderer
// pushes its context around each drawRect, and an image context stays current from Begin to
// End.
//
//     UIGraphicsBeginImageContextWithOptions(CGSizeMake(37, 37), false, 0);
//     UIColorSetFill(UIColor::redColor());
//     UIRectFill(CGRectMake(0, 0, 10, 10));
//     auto image = UIGraphicsGetImageFromCurrentImageContext();
//     UIGraphicsEndImageContext();

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIColor.h"
#include "platform/ui/UIImage.h"

#include <memory>

// The context drawing goes to: the innermost pushed or image context, or null.
CGContextRef UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContextRef context);
void UIGraphicsPopContext();

// Starts an offscreen image context of `size` points at `scale` (0 means the screen's scale).
// An opaque context has no alpha channel and starts black; a transparent one starts clear. A
// size that is empty, negative or too large logs and makes a null context current, so the
// matching End stays balanced.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
void UIGraphicsBeginImageContext(CGSize size);
// A copy of what has been drawn so far; null without an image context.
std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// The scale that a scale of 0 stands for (2 unless the screen sets another), the current device
// environment's.
CGFloat UIGraphicsScreenScale();
void UIGraphicsSetScreenScale(CGFloat scale);

// Fills a rectangle of the current context with its fill colour.
void UIRectFill(CGRect rect);

// UIColor's set, setFill and setStroke: make the colour the current context's fill and/or
// stroke colour.
void UIColorSet(const UIColor& color);
void UIColorSetFill(const UIColor& color);
void UIColorSetStroke(const UIColor& color);
