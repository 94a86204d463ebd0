#pragma once

// The colour strings of the three colour-picker libraries: what each reads from a preference file
// and what each writes back. They differ in small ways that bundles depend on, so each library
// has its own reader and writer here, and the cells use only these.
//
//     ColourStrings::readHB(PlistValue("#FF8800:0.5"))       // orange at half alpha
//     ColourStrings::writeHB(orange)                         // "#FF8800"
//     ColourStrings::readLibcolorpicker("#F80")              // "#FFFF88": the first 3 digits, doubled
//     ColourStrings::writeLibcolorpicker(orange)             // "#FF8800:1.000000"
//     ColourStrings::readSpark("rgba(255, 136, 0, 0.5)")
//     ColourStrings::writeSpark(orange)                      // "#FF8800:1.00"
//
// Readers answer nothing for text they cannot read (the cell then shows its fallback); they never
// throw, whatever the text. Components are kept within 0...1.

#include "platform/foundation/plist/PlistValue.h"
#include "platform/ui/UIColor.h"

#include <optional>
#include <string>
#include <string_view>

class ColourStrings {
public:
    // The HB framework (version 2) and its picker: "#RRGGBB", "#RRGGBBAA", "#RRGGBB:alpha", or an
    // array [r, g, b] or [r, g, b, a] with components 0-255 and alpha 0-1. The short forms "#RGB"
    // and "#RGBA" are documented but do not read on the device, so they are unreadable here too.
    static std::optional<UIColor> readHB(const PlistValue& value);
    // "#RRGGBB" in upper case, "#RRGGBB:a" when alpha is below 1 (at most 5 significant digits).
    static std::string writeHB(const UIColor& colour);

    // The original libcolorpicker: "#RRGGBB" with an optional ":alpha"; hex of any other length
    // (3 digits or more) uses only its first 3 digits, each doubled.
    static std::optional<UIColor> readLibcolorpicker(std::string_view text);
    // "#RRGGBB:alpha" with 6 decimals: "#FF8800:1.000000".
    static std::string writeLibcolorpicker(const UIColor& colour);

    // libsparkcolourpicker: "#RRGGBB", "#RRGGBB:alpha", "rgb(r, g, b)" and "rgba(r, g, b, a)"
    // (components 0-255, alpha 0-1).
    static std::optional<UIColor> readSpark(std::string_view text);
    // "#RRGGBB:A.AA": upper-case hex, alpha with 2 decimals.
    static std::string writeSpark(const UIColor& colour);

    // What a person types for a colour (a script's `set`, the colour page's hex field):
    // "#RRGGBB", "#RRGGBBAA" or "#RRGGBB:alpha".
    static std::optional<UIColor> fromHexText(std::string_view text);
    // "#RRGGBB", or "#RRGGBBAA" when alpha is below 1: text that fromHexText reads back.
    static std::string hexText(const UIColor& colour);
};
