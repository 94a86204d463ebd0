#pragma once

// AltList's page of one app (ATLApplicationListSelectionController): every installed app as a
// row, a checkmark at the chosen one. A tap on a row stores its bundle identifier, one string,
// through the parent row's setter, and moves the check; the page stays open. The parent row may
// show the chosen app's name with the cell class ATLApplicationSelectionCell.
//
//     { cell = PSLinkListCell; label = App; detail = ATLApplicationListSelectionController;
//       cellClass = ATLApplicationSelectionCell; defaults = com.my.tweak; key = app; }
//     // tapping Messages stores app = "com.apple.MobileSMS"
//
// A row's getter answers whether it is the chosen one (true or false).

#include "platform/prefslibs/ATLApplicationListController.h"

class ATLApplicationListSelectionController : public ATLApplicationListController {
public:
    static std::shared_ptr<ATLApplicationListSelectionController> create();
    std::string className() const override { return "ATLApplicationListSelectionController"; }

protected:
    ATLApplicationListSelectionController() = default;

    PSCellType applicationCellType() const override { return PSListItemCell; }
    void dressCell(UITableViewCell& cell, const PSSpecifier& row, const PlistValue& value) override;
    void tapApplication(const std::shared_ptr<PSSpecifier>& row) override;
    PlistValue readApplicationValue(const std::shared_ptr<PSSpecifier>& row) override;
    void setApplicationValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row) override;
};
