#include "platform/prefslibs/HBSpinnerTableCell.h"

#include "platform/dispatch/Dispatch.h"
#include "platform/prefslibs/HBActions.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UITableViewCell.h"

namespace {

// The row's spinning state, kept on the row so that the cell built again by a reload shows it.
constexpr const char* kSpinningKey = "HBFramework.spinning";

void setSpinning(PSListController& list, const std::shared_ptr<PSSpecifier>& row, bool spinning) {
    row->setProperty(PlistValue(spinning), kSpinningKey);
    list.reloadSpecifier(row, false);
}

} // namespace

bool HBSpinnerTableCell::isSpinning(const PSSpecifier& row) {
    PlistValue v = row.propertyForKey(kSpinningKey);
    return v.isBoolean() && v.boolValue();
}

std::shared_ptr<UITableViewCell> HBSpinnerTableCell::cellForSpecifier(PSListController& list,
                                                                      const std::shared_ptr<PSSpecifier>& row,
                                                                      const PlistValue& value) const {
    auto cell = HBTintedTableCell::cellForSpecifier(list, row, value);
    if (!isSpinning(*row))
        return cell;
    cell->setEnabled(false);
    auto spinner = UIActivityIndicatorView::create(UIActivityIndicatorViewStyleGray);
    spinner->startAnimating();
    cell->setAccessoryView(spinner);
    return cell;
}

bool HBSpinnerTableCell::tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const {
    if (isSpinning(*row))
        return true;
    setSpinning(list, row, true);
    if (!HBActions::perform(list, row))
        list.performButtonAction(row);
    std::weak_ptr<PSListController> weakList =
        std::static_pointer_cast<PSListController>(list.shared_from_this());
    std::weak_ptr<PSSpecifier> weakRow = row;
    dispatch_async(dispatch_get_main_queue(), [weakList, weakRow] {
        auto l = weakList.lock();
        auto r = weakRow.lock();
        if (l && r)
            setSpinning(*l, r, false);
    });
    return true;
}
