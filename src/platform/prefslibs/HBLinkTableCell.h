#pragma once

// The HB framework's tinted and link cells, one family as in the framework:
//
// - HBTintedTableCell: the stock cell of the row's type with its title in "tintColor" (an HB
//   colour string, see HBColor.h; system blue without one). Taps are the stock row's.
// - HBLinkTableCell: a title in the tint over a "subtitle" in the secondary label colour, a grey
//   compass at the right, and an icon: the bundle's "icon", else, with "iconURL", "initials" or
//   "showIcon", a box of 29 points (40 with "big") shaped as an app icon, or round with
//   "iconCircular". "big" makes the row 64 points high unless it gives a "height". A tap runs the
//   row's "action", else opens its "url".
// - HBTwitterCell: a link to a profile: "user" (a leading "@" dropped) shown as "@user" under the
//   title, a round box only with "iconURL", "avatarURL", "initials" or "showAvatar", 56 points
//   with "big" unless "height" is given. A tap runs "action", else opens https://twitter.com/user.
// - HBPackageTableCell: a link to a package ("packageIdentifier", "packageRepository") with an app
//   icon box; a tap offers the installed package managers (HBActions::openPackage).
//
// Network images are not fetched: a box stays in its loading colour, as on a phone offline.

#include "platform/prefs/PSCellClass.h"
#include "platform/ui/UIColor.h"

class HBTableCell;

class HBTintedTableCell : public PSCellClass {
public:
    // The row's "tintColor", else system blue.
    static UIColor tintOf(const PSSpecifier& row);

    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    // The framework's list actions; any other tap is the stock row's.
    bool tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;
};

class HBLinkTableCell : public HBTintedTableCell {
public:
    static constexpr CGFloat kBigHeight = 64;

    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    std::optional<CGFloat> height(const PSSpecifier& row) const override;
    bool tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;

protected:
    // The subtitle under the title, or none.
    virtual std::string subtitle(const PSSpecifier& row) const;
    // Whether the row shows a box in place of an icon file, and its shape.
    virtual bool showsIconBox(const PSSpecifier& row) const;
    virtual bool roundIcon(const PSSpecifier& row) const;
    // What a tap without an action opens.
    virtual void open(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const;
    virtual CGFloat bigHeight() const { return kBigHeight; }
};

class HBTwitterCell : public HBLinkTableCell {
public:
    static constexpr CGFloat kBigHeight = 56;
    // The row's "user" without a leading "@".
    static std::string userOf(const PSSpecifier& row);

protected:
    std::string subtitle(const PSSpecifier& row) const override;
    bool showsIconBox(const PSSpecifier& row) const override;
    bool roundIcon(const PSSpecifier&) const override { return true; }
    void open(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;
    CGFloat bigHeight() const override { return kBigHeight; }
};

class HBPackageTableCell : public HBLinkTableCell {
protected:
    bool showsIconBox(const PSSpecifier&) const override { return true; }
    bool roundIcon(const PSSpecifier&) const override { return false; }
    void open(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;
};
