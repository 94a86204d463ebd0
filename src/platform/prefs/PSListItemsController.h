#pragma once

// The choice page of a link list row (PSListItemsController): one row per title of the row's
// "validTitles", under its "staticTextMessage", with a check at the current choice. A tap on a
// choice stores its entry of "validValues" through the list that opened the page, as a change of
// that row, and moves the check; the page stays open, as on the device.

#include "platform/prefs/PSListController.h"

class PSListItemsController : public PSListController {
public:
    static std::shared_ptr<PSListItemsController> create();

    std::string className() const override { return "PSListItemsController"; }

    std::shared_ptr<const PSSpecifierList> specifiers() override;
    void tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;

    // The index of the current choice, or none.
    std::optional<std::size_t> currentChoice();

protected:
    PSListItemsController() = default;
};
