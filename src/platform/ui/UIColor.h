#pragma once

// A colour value (UIColor as a value type). A colour that may be absent is std::optional<UIColor>.

#include "platform/graphics/CGGeometry.h"

struct UIColor {
    CGColor rgba;

    bool operator==(const UIColor&) const = default;

    static UIColor colorWithRed(CGFloat r, CGFloat g, CGFloat b, CGFloat a) { return {{r, g, b, a}}; }
    static UIColor colorWithWhite(CGFloat w, CGFloat a) { return {{w, w, w, a}}; }
    UIColor colorWithAlphaComponent(CGFloat a) const { return {{rgba.r, rgba.g, rgba.b, a}}; }
    CGFloat alpha() const { return rgba.a; }

    static UIColor blackColor() { return {{0, 0, 0, 1}}; }
    static UIColor darkGrayColor() { return colorWithWhite(1.0 / 3.0, 1); }
    static UIColor lightGrayColor() { return colorWithWhite(2.0 / 3.0, 1); }
    static UIColor whiteColor() { return {{1, 1, 1, 1}}; }
    static UIColor grayColor() { return colorWithWhite(0.5, 1); }
    static UIColor redColor() { return {{1, 0, 0, 1}}; }
    static UIColor greenColor() { return {{0, 1, 0, 1}}; }
    static UIColor blueColor() { return {{0, 0, 1, 1}}; }
    static UIColor cyanColor() { return {{0, 1, 1, 1}}; }
    static UIColor yellowColor() { return {{1, 1, 0, 1}}; }
    static UIColor magentaColor() { return {{1, 0, 1, 1}}; }
    static UIColor orangeColor() { return {{1, 0.5, 0, 1}}; }
    static UIColor purpleColor() { return {{0.5, 0, 0.5, 1}}; }
    static UIColor brownColor() { return {{0.6, 0.4, 0.2, 1}}; }
    static UIColor clearColor() { return {{0, 0, 0, 0}}; }
};
