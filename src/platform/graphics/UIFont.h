#pragma once

// A font (UIKit's UIFont) as a value: family, size in points, weight and slant. The system font
// is DejaVu Sans, which every Debian desktop carries, standing in for the device's own.
//
//     UIFont title = UIFont::boldSystemFontOfSize(17);
//     CGFloat line = title.lineHeight();

#include "platform/graphics/CGGeometry.h"

#include <string>

using UIFontWeight = CGFloat;
inline constexpr UIFontWeight UIFontWeightUltraLight = -0.8;
inline constexpr UIFontWeight UIFontWeightThin = -0.6;
inline constexpr UIFontWeight UIFontWeightLight = -0.4;
inline constexpr UIFontWeight UIFontWeightRegular = 0;
inline constexpr UIFontWeight UIFontWeightMedium = 0.23;
inline constexpr UIFontWeight UIFontWeightSemibold = 0.3;
inline constexpr UIFontWeight UIFontWeightBold = 0.4;
inline constexpr UIFontWeight UIFontWeightHeavy = 0.56;
inline constexpr UIFontWeight UIFontWeightBlack = 0.62;

class UIFont {
public:
    // The family the system font maps to.
    static constexpr const char* kSystemFamily = "DejaVu Sans";

    static UIFont systemFontOfSize(CGFloat size, UIFontWeight weight = UIFontWeightRegular);
    static UIFont boldSystemFontOfSize(CGFloat size);
    static UIFont italicSystemFontOfSize(CGFloat size);
    // A font of an installed family; a family that is not installed draws with the closest
    // match the font configuration offers.
    static UIFont fontWithName(const std::string& familyName, CGFloat size);

    static CGFloat labelFontSize() { return 17; }
    static CGFloat buttonFontSize() { return 18; }
    static CGFloat systemFontSize() { return 14; }
    static CGFloat smallSystemFontSize() { return 12; }

    const std::string& familyName() const { return family_; }
    // The face name as the platform prints it: "DejaVuSans-Bold".
    std::string fontName() const;
    CGFloat pointSize() const { return size_; }
    UIFontWeight weight() const { return weight_; }
    bool isItalic() const { return italic_; }
    UIFont fontWithSize(CGFloat size) const;

    // Vertical metrics in points: ascender above the baseline (positive), descender below it
    // (negative, as the platform reports it), and the line height between baselines.
    CGFloat ascender() const;
    CGFloat descender() const;
    CGFloat lineHeight() const;

    bool operator==(const UIFont&) const = default;

private:
    UIFont(std::string family, CGFloat size, UIFontWeight weight, bool italic);

    std::string family_;
    CGFloat size_;
    UIFontWeight weight_;
    bool italic_;
};
