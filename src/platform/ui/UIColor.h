#pragma once

// A colour value (UIColor as a value type). A colour that may be absent is std::optional<UIColor>.
//
// The system colours further down (labelColor(), separatorColor(), systemBlueColor(), ...) adapt
// to the interface style: each answers its light or its dark value for the style current when it
// is called (UITraitCollection), so a view picks them when it is built or drawn.

#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UITraitCollection.h"

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

    // `light` or `dark`, by the current interface style.
    static UIColor resolved(UIColor light, UIColor dark) {
        return UITraitCollection::isDark() ? dark : light;
    }

    // Text: titles and body text; secondary text (section headers and footers); values shown
    // beside a title and dimmed text; a text field's placeholder.
    static UIColor labelColor() { return resolved(blackColor(), whiteColor()); }
    static UIColor secondaryLabelColor() {
        return resolved(colorWithRed(0.427, 0.427, 0.447, 1), colorWithRed(0.557, 0.557, 0.576, 1));
    }
    static UIColor tertiaryLabelColor() {
        return resolved(colorWithRed(0.557, 0.557, 0.576, 1), colorWithRed(0.557, 0.557, 0.576, 1));
    }
    static UIColor placeholderTextColor() {
        return resolved(colorWithRed(0.78, 0.78, 0.8, 1), colorWithRed(0.92, 0.92, 0.96, 0.3));
    }
    // Grounds: a plain screen; the grouped list's ground and its row bands; a highlighted row.
    static UIColor systemBackgroundColor() { return resolved(whiteColor(), blackColor()); }
    static UIColor systemGroupedBackgroundColor() {
        return resolved(colorWithRed(0.937, 0.937, 0.957, 1), blackColor());
    }
    static UIColor secondarySystemGroupedBackgroundColor() {
        return resolved(whiteColor(), colorWithRed(0.110, 0.110, 0.118, 1));
    }
    static UIColor systemFillHighlightColor() {
        return resolved(colorWithWhite(0.85, 1), colorWithRed(0.227, 0.227, 0.235, 1));
    }
    // Lines: the hairlines between rows; the rim of an off switch and the empty part of a track.
    static UIColor separatorColor() {
        return resolved(colorWithRed(0.784, 0.78, 0.8, 1), colorWithRed(0.220, 0.220, 0.227, 1));
    }
    static UIColor systemGray5Color() {
        return resolved(colorWithRed(0.898, 0.898, 0.918, 1), colorWithRed(0.173, 0.173, 0.180, 1));
    }
    static UIColor systemGray4Color() {
        return resolved(colorWithRed(0.71, 0.71, 0.73, 1), colorWithRed(0.227, 0.227, 0.235, 1));
    }
    // Bars: the navigation bar and toolbar, translucent over what scrolls under them, and the
    // hairline beneath.
    static UIColor barBackgroundColor() {
        return resolved(colorWithRed(0.973, 0.973, 0.973, 0.97), colorWithRed(0.114, 0.114, 0.114, 0.94));
    }
    static UIColor barHairlineColor() { return resolved(colorWithWhite(0, 0.3), colorWithWhite(1, 0.15)); }
    // Tints: buttons and links; destructive actions; a switch that is on.
    static UIColor systemBlueColor() {
        return resolved(colorWithRed(0, 122.0 / 255, 1, 1), colorWithRed(10.0 / 255, 132.0 / 255, 1, 1));
    }
    static UIColor systemRedColor() {
        return resolved(colorWithRed(1, 0.231, 0.188, 1), colorWithRed(1, 69.0 / 255, 58.0 / 255, 1));
    }
    static UIColor systemGreenColor() {
        return resolved(colorWithRed(0.3, 0.85, 0.39, 1),
                        colorWithRed(48.0 / 255, 209.0 / 255, 88.0 / 255, 1));
    }
};
