#pragma once

// AltList's page of many apps (ATLApplicationListMultiSelectionController): a switch for each
// installed app. The parent row keeps an array of bundle identifiers: the apps whose switch
// differs from its "defaultApplicationSwitchValue" (NO when missing), so with NO it lists the
// apps that are on and with YES the apps that are off. Every toggle stores the whole array
// through the parent row's setter; it starts from what the row's getter answers, else the row's
// "default", else an empty array. Identifiers the array held that are not installed, and values
// that are not strings, are kept as they were. A tap on a row flips its switch.
//
//     { cell = PSLinkListCell; label = Apps; detail = ATLApplicationListMultiSelectionController;
//       defaults = com.my.tweak; key = apps; defaultApplicationSwitchValue = 0; }
//     // switching on Messages stores apps = ("com.apple.MobileSMS")

#include "platform/prefslibs/ATLApplicationListController.h"

class ATLApplicationListMultiSelectionController : public ATLApplicationListController {
public:
    static std::shared_ptr<ATLApplicationListMultiSelectionController> create();
    std::string className() const override { return "ATLApplicationListMultiSelectionController"; }

protected:
    ATLApplicationListMultiSelectionController() = default;

    PSCellType applicationCellType() const override { return PSSwitchCell; }
    void tapApplication(const std::shared_ptr<PSSpecifier>& row) override;
    PlistValue readApplicationValue(const std::shared_ptr<PSSpecifier>& row) override;
    void setApplicationValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row) override;

private:
    // The stored array, or the parent row's "default", or an empty array.
    PlistValue listedApplications();
    bool defaultSwitchValue() const;
};
