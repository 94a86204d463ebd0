#include "platform/prefslibs/HBLinkTableCell.h"

#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/HBActions.h"
#include "platform/prefslibs/HBCellViews.h"
#include "platform/prefslibs/HBColor.h"
#include "platform/prefslibs/HBRowValues.h"
#include "platform/ui/UIImage.h"

#include <cmath>

namespace {

// The text of an initials box, or none.
std::string initialsOf(const PSSpecifier& row) {
    return hb::stringProperty(row, "initials");
}

// "height" when it is a usable number (or numeric text), as the stock list reads it.
bool hasOwnHeight(const PSSpecifier& row) {
    auto height = PSControlValue::doubleFromValue(row.propertyForKey("height"));
    return height && std::isfinite(*height) && *height > 0;
}

} // namespace

UIColor HBTintedTableCell::tintOf(const PSSpecifier& row) {
    return HBColor::fromPlistValue(row.propertyForKey("tintColor")).value_or(UIColor::systemBlueColor());
}

std::shared_ptr<UITableViewCell> HBTintedTableCell::cellForSpecifier(PSListController& list,
                                                                     const std::shared_ptr<PSSpecifier>& row,
                                                                     const PlistValue& value) const {
    auto cell = PSTableCellViews::stockCell(list, row, value);
    cell->setTextColor(tintOf(*row));
    return cell;
}

bool HBTintedTableCell::tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const {
    return HBActions::perform(list, row);
}

std::string HBLinkTableCell::subtitle(const PSSpecifier& row) const {
    return hb::stringProperty(row, "subtitle");
}

bool HBLinkTableCell::showsIconBox(const PSSpecifier& row) const {
    return !hb::stringProperty(row, "iconURL").empty() || !initialsOf(row).empty() ||
           hb::flagProperty(row, "showIcon");
}

bool HBLinkTableCell::roundIcon(const PSSpecifier& row) const {
    return hb::flagProperty(row, "iconCircular");
}

std::shared_ptr<UITableViewCell> HBLinkTableCell::cellForSpecifier(PSListController& /*list*/,
                                                                   const std::shared_ptr<PSSpecifier>& row,
                                                                   const PlistValue& /*value*/) const {
    auto cell = HBTableCell::create(UITableViewCellStyleSubtitle, hb::stringProperty(*row, "cellClass"));
    cell->setText(row->name());
    cell->setTextColor(tintOf(*row));
    cell->setDetailText(subtitle(*row));
    cell->setDetailTextColor(UIColor::secondaryLabelColor());
    if (PlistValue enabled = row->propertyForKey("enabled"); !enabled.isNone())
        cell->setEnabled(PSControlValue::boolFromValue(enabled));
    bool big = hb::flagProperty(*row, "big");
    cell->setWrapsDetail(big);
    if (auto icon = row->propertyForKey("iconImage").objectAs<UIImage>()) {
        cell->setImage(icon);
    } else if (showsIconBox(*row)) {
        CGFloat side = big ? HBCellViews::kBigIconSide : HBCellViews::kIconSide;
        cell->setImage(HBCellViews::iconBox(
            side, roundIcon(*row) ? HBIconShape::Circle : HBIconShape::Squircle, initialsOf(*row)));
        cell->setIconSide(side);
    }
    cell->setAccessoryView(HBCellViews::compassGlyph());
    return cell;
}

std::optional<CGFloat> HBLinkTableCell::height(const PSSpecifier& row) const {
    if (hb::flagProperty(row, "big") && !hasOwnHeight(row))
        return bigHeight();
    return std::nullopt;
}

bool HBLinkTableCell::tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const {
    if (HBActions::perform(list, row))
        return true;
    // A bundle's own action runs as a stock button's does, after its confirmation sheet if any.
    if (!row->action().empty() && row->propertyForKey("confirmation").isDictionary())
        return false;
    if (!row->action().empty())
        list.performButtonAction(row);
    else
        open(list, row);
    return true;
}

void HBLinkTableCell::open(PSListController& /*list*/, const std::shared_ptr<PSSpecifier>& row) const {
    HBActions::openURL(hb::stringProperty(*row, "url"));
}

std::string HBTwitterCell::userOf(const PSSpecifier& row) {
    std::string user = hb::stringProperty(row, "user");
    if (!user.empty() && user.front() == '@')
        user.erase(0, 1);
    return user;
}

std::string HBTwitterCell::subtitle(const PSSpecifier& row) const {
    std::string user = userOf(row);
    return user.empty() ? std::string() : "@" + user;
}

bool HBTwitterCell::showsIconBox(const PSSpecifier& row) const {
    return !hb::stringProperty(row, "iconURL").empty() || !hb::stringProperty(row, "avatarURL").empty() ||
           !initialsOf(row).empty() || hb::flagProperty(row, "showAvatar");
}

void HBTwitterCell::open(PSListController& /*list*/, const std::shared_ptr<PSSpecifier>& row) const {
    std::string user = userOf(*row);
    if (!user.empty())
        HBActions::openURL("https://twitter.com/" + user);
}

void HBPackageTableCell::open(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const {
    HBActions::openPackage(list, hb::stringProperty(*row, "packageIdentifier"),
                           hb::stringProperty(*row, "packageRepository"));
}
