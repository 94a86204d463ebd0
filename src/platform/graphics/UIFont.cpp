#include "platform/graphics/UIFont.h"

#include "platform/graphics/TextEngine.h"

#include <cmath>

namespace {
// The platform treats a size of 0 (or nonsense) as its default text size.
CGFloat usableSize(CGFloat size) {
    return std::isfinite(size) && size > 0 ? std::min(size, 10000.0) : 12.0;
}
} // namespace

UIFont::UIFont(std::string family, CGFloat size, UIFontWeight weight, bool italic)
    : family_(std::move(family)), size_(usableSize(size)), weight_(std::isfinite(weight) ? weight : 0),
      italic_(italic) {}

UIFont UIFont::systemFontOfSize(CGFloat size, UIFontWeight weight) {
    return UIFont(kSystemFamily, size, weight, false);
}
UIFont UIFont::boldSystemFontOfSize(CGFloat size) {
    return UIFont(kSystemFamily, size, UIFontWeightBold, false);
}
UIFont UIFont::italicSystemFontOfSize(CGFloat size) {
    return UIFont(kSystemFamily, size, UIFontWeightRegular, true);
}
UIFont UIFont::fontWithName(const std::string& familyName, CGFloat size) {
    return UIFont(familyName.empty() ? kSystemFamily : familyName, size, UIFontWeightRegular, false);
}

UIFont UIFont::fontWithSize(CGFloat size) const {
    return UIFont(family_, size, weight_, italic_);
}

std::string UIFont::fontName() const {
    std::string name;
    for (char ch : family_)
        if (ch != ' ')
            name += ch;
    bool bold = weight_ >= UIFontWeightSemibold;
    if (bold || italic_)
        name += std::string("-") + (bold ? "Bold" : "") + (italic_ ? "Oblique" : "");
    return name;
}

CGFloat UIFont::ascender() const {
    return TextEngine::forThisThread().metrics(*this).ascent;
}
CGFloat UIFont::descender() const {
    return -TextEngine::forThisThread().metrics(*this).descent;
}
CGFloat UIFont::lineHeight() const {
    auto m = TextEngine::forThisThread().metrics(*this);
    return m.ascent + m.descent;
}
