#pragma once

// The HB framework's spinner row (HBSpinnerTableCell): a tinted button row whose tap disables it,
// spins a medium grey activity indicator where its accessory goes, and runs its "action". The
// action's work is the bundle's; the row turns back on once the main queue has run what the
// action queued, so a tap shows the spinner for at least one frame.

#include "platform/prefslibs/HBLinkTableCell.h"

class HBSpinnerTableCell : public HBTintedTableCell {
public:
    // Whether the row is spinning.
    static bool isSpinning(const PSSpecifier& row);

    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    bool tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;
};
