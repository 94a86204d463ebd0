#include "platform/prefslibs/ATLApplicationListMultiSelectionController.h"

#include "platform/prefs/PSControlValue.h"

namespace {

bool holds(const PlistValue& array, const std::string& identifier) {
    for (std::size_t i = 0; i < array.count(); ++i)
        if (PlistValue v = array.at(i); v.isString() && v.stringValue() == identifier)
            return true;
    return false;
}

} // namespace

std::shared_ptr<ATLApplicationListMultiSelectionController>
ATLApplicationListMultiSelectionController::create() {
    return std::shared_ptr<ATLApplicationListMultiSelectionController>(
        new ATLApplicationListMultiSelectionController());
}

bool ATLApplicationListMultiSelectionController::defaultSwitchValue() const {
    return specifier() &&
           PSControlValue::boolFromValue(specifier()->propertyForKey("defaultApplicationSwitchValue"));
}

PlistValue ATLApplicationListMultiSelectionController::listedApplications() {
    PlistValue stored = storedValue();
    if (stored.isArray())
        return stored;
    if (specifier())
        if (PlistValue fallback = specifier()->propertyForKey("default"); fallback.isArray())
            return fallback;
    return PlistValue::array();
}

PlistValue
ATLApplicationListMultiSelectionController::readApplicationValue(const std::shared_ptr<PSSpecifier>& row) {
    if (!row)
        return {};
    return PlistValue(holds(listedApplications(), applicationIdentifierOf(*row)) != defaultSwitchValue());
}

void ATLApplicationListMultiSelectionController::setApplicationValue(
    const PlistValue& value, const std::shared_ptr<PSSpecifier>& row) {
    if (!row)
        return;
    const std::string identifier = applicationIdentifierOf(*row);
    const bool listed = PSControlValue::boolFromValue(value) != defaultSwitchValue();
    PlistValue before = listedApplications();
    if (holds(before, identifier) == listed)
        return;
    // A new array: the one read may be shared with every other reader of the file.
    PlistValue after = PlistValue::array();
    for (std::size_t i = 0; i < before.count(); ++i)
        if (PlistValue v = before.at(i); !(v.isString() && v.stringValue() == identifier))
            after.append(v);
    if (listed)
        after.append(PlistValue(identifier));
    store(after);
}

void ATLApplicationListMultiSelectionController::tapApplication(const std::shared_ptr<PSSpecifier>& row) {
    bool on = PSControlValue::boolFromValue(valueForSpecifier(row));
    setValueForSpecifier(PSControlValue::fromSwitch(*row, !on), row);
    redisplay();
}
