#include "platform/prefslibs/ATLApplicationListSelectionController.h"

#include "platform/prefs/PSControlValue.h"
#include "platform/ui/UITableViewCell.h"

std::shared_ptr<ATLApplicationListSelectionController> ATLApplicationListSelectionController::create() {
    return std::shared_ptr<ATLApplicationListSelectionController>(
        new ATLApplicationListSelectionController());
}

PlistValue
ATLApplicationListSelectionController::readApplicationValue(const std::shared_ptr<PSSpecifier>& row) {
    if (!row)
        return {};
    PlistValue stored = storedValue();
    return PlistValue(stored.isString() && stored.stringValue() == applicationIdentifierOf(*row));
}

void ATLApplicationListSelectionController::setApplicationValue(const PlistValue& value,
                                                                const std::shared_ptr<PSSpecifier>& row) {
    // Only choosing is a change: the check moves to another app, it is never taken away.
    if (row && PSControlValue::boolFromValue(value))
        store(PlistValue(applicationIdentifierOf(*row)));
}

void ATLApplicationListSelectionController::dressCell(UITableViewCell& cell, const PSSpecifier& /*row*/,
                                                      const PlistValue& value) {
    cell.setAccessoryType(PSControlValue::boolFromValue(value) ? UITableViewCellAccessoryCheckmark
                                                               : UITableViewCellAccessoryNone);
}

void ATLApplicationListSelectionController::tapApplication(const std::shared_ptr<PSSpecifier>& row) {
    setValueForSpecifier(PlistValue(true), row);
    redisplay();
}
