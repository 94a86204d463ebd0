#include "platform/prefslibs/ATLApplicationSelectionCell.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/prefs/PSTableCellViews.h"

std::optional<std::string> ATLApplicationSelectionCell::applicationName(const PlistValue& stored) {
    if (!stored.isString() || stored.stringValue().empty())
        return std::nullopt;
    if (auto app = ALApplicationList::sharedApplicationList()->applicationInfo(stored.stringValue()))
        return app->displayName;
    return stored.stringValue();
}

std::shared_ptr<UITableViewCell>
ATLApplicationSelectionCell::cellForSpecifier(PSListController& list, const std::shared_ptr<PSSpecifier>& row,
                                              const PlistValue& value) const {
    auto cell = PSTableCellViews::stockCell(list, row, value);
    if (auto name = applicationName(value))
        cell->setDetailText(*name);
    return cell;
}

std::optional<std::string> ATLApplicationSelectionCell::shownText(const PSSpecifier& /*row*/,
                                                                  const PlistValue& stored) const {
    return applicationName(stored);
}
