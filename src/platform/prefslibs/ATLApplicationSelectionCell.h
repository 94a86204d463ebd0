#pragma once

// AltList's cell for the parent row of a one-app page (cellClass ATLApplicationSelectionCell):
// the stock cell of the row's type with the chosen app's name at the right, where a choice row
// shows its choice. An identifier of an app the device does not have shows as it is; nothing
// stored shows nothing. The dump and `expect` see the same name.
//
//     { cell = PSLinkListCell; label = App; detail = ATLApplicationListSelectionController;
//       cellClass = ATLApplicationSelectionCell; defaults = com.my.tweak; key = app; }
//     // with app = "com.apple.MobileSMS" stored, the row reads "App      Messages >"

#include "platform/prefs/PSCellClass.h"

class ATLApplicationSelectionCell : public PSCellClass {
public:
    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    std::optional<std::string> shownText(const PSSpecifier& row, const PlistValue& stored) const override;

    // The name the row shows for a stored value, or nothing.
    static std::optional<std::string> applicationName(const PlistValue& stored);
};
