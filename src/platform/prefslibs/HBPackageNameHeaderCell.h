#pragma once

// The HB framework's package header (HBPackageNameHeaderCell, a group's "headerCellClass"): the
// package's name, "Version X" and "By Author", centred, as version 2 of the framework draws them.
//
// The name is "packageNameOverride", else the package database's Name, else the identifier
// ("packageIdentifier"); the author is its Author, else its Maintainer, without the address
// (HBActions looks the page's packages up once). "showVersion" and "showAuthor" (both YES by
// default) hide lines; "condensed" puts the version on the name's line ("[icon] Name Version" at
// 25 points) with the author under it; otherwise the name is a large semibold title with the
// version and author in 15 points under it. The group's "icon" goes before the name.
// "titleColor" and "subtitleColor" colour the lines (label and secondary label by default);
// "backgroundGradientColors" (two colours) fills the header from top to bottom, and the text on it
// is near-white unless coloured.
//
// Height: 72 points, plus 26 for the author line, 26 for the version line (standard layout only)
// and 41 for a gradient.

#include "platform/prefs/PSCellClass.h"
#include "platform/ui/UIColor.h"

#include <optional>
#include <vector>

class UIImage;

class HBPackageNameHeaderCell : public PSCellClass {
public:
    // What the header shows, from the group's properties and its package.
    struct Content {
        std::string name;
        std::string version; // empty: no version line
        std::string author;  // empty: no author line
        bool condensed = false;
        std::shared_ptr<UIImage> icon;
        std::optional<UIColor> titleColor;
        std::optional<UIColor> subtitleColor;
        std::vector<UIColor> gradient; // none, or the top and bottom colours
    };
    static Content contentOf(const PSSpecifier& group);
    static CGFloat heightOf(const Content& content);

    std::shared_ptr<UIView> headerView(PSListController& list, const std::shared_ptr<PSSpecifier>& group,
                                       CGFloat width) const override;
};
