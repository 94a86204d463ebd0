#pragma once

// Small drawing helpers shared by the HUD's views: the current context and UIColor's `set`,
// `setFill` and `setStroke`, which the platform keeps on the colour object.

#include "platform/graphics/CGContext.h"
#include "platform/ui/UIColor.h"

inline CGContextRef TQCurrentContext() {
    return CGContext::current();
}

inline void TQColorSetFill(const UIColor& color) {
    CGContextSetFillColorWithColor(TQCurrentContext(), color.rgba);
}
inline void TQColorSetStroke(const UIColor& color) {
    CGContextSetStrokeColorWithColor(TQCurrentContext(), color.rgba);
}
// `set`: both the fill and the stroke colour.
inline void TQColorSet(const UIColor& color) {
    TQColorSetFill(color);
    TQColorSetStroke(color);
}
