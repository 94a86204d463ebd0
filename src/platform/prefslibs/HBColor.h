#pragma once

// The colour values the HB framework reads from a plist (a row's "tintColor", a header's
// "titleColor", "subtitleColor" and "backgroundGradientColors"), as its version 2 reads them:
//
//     "#RRGGBB", "#RRGGBBAA", "#RRGGBB:alpha"   hex digits in either case, alpha from 0 to 1
//     [r, g, b] or [r, g, b, a]                 numbers from 0 to 255, as an array or as text
//
// Anything else (the short forms "#RGB" and "#RGBA" among them, which the framework documents but
// does not read correctly) is no colour, and the caller uses its default.
//
//     UIColor tint = HBColor::fromPlistValue(row.propertyForKey("tintColor"))
//                        .value_or(UIColor::systemBlueColor());

#include "platform/foundation/plist/PlistValue.h"
#include "platform/ui/UIColor.h"

#include <optional>
#include <string_view>

class HBColor {
public:
    static std::optional<UIColor> fromString(std::string_view text);
    static std::optional<UIColor> fromPlistValue(const PlistValue& value);
};
