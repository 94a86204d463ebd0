#include "platform/prefslibs/HBStepperTableCell.h"

#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/HBRowValues.h"
#include "platform/ui/UIStepper.h"

#include <charconv>
#include <cmath>

namespace {

double valueOf(const PSSpecifier& row, const PlistValue& stored) {
    auto value = PSControlValue::doubleFromValue(stored);
    if (!value || !std::isfinite(*value))
        value = PSControlValue::doubleFromValue(row.propertyForKey("default"));
    double v = value && std::isfinite(*value) ? *value : 0;
    return std::clamp(v, HBStepperTableCell::minimumOf(row), HBStepperTableCell::maximumOf(row));
}

std::string wholeNumberText(double value) {
    return std::to_string(static_cast<long long>(std::llround(value)));
}

} // namespace

double HBStepperTableCell::minimumOf(const PSSpecifier& row) {
    auto min = PSControlValue::doubleFromValue(row.propertyForKey("min"));
    return min && std::isfinite(*min) ? *min : 0;
}

double HBStepperTableCell::maximumOf(const PSSpecifier& row) {
    auto max = PSControlValue::doubleFromValue(row.propertyForKey("max"));
    return max && std::isfinite(*max) ? std::max(*max, minimumOf(row)) : std::max(100.0, minimumOf(row));
}

std::string HBStepperTableCell::titleFor(const PSSpecifier& row, double value) {
    std::string singular = hb::stringProperty(row, "singularLabel");
    std::string title = value == 1 && !singular.empty() ? singular : row.name();
    const std::string number = wholeNumberText(value);
    for (auto at = title.find("%i"); at != std::string::npos; at = title.find("%i", at + number.size()))
        title.replace(at, 2, number);
    return title;
}

std::optional<std::string> HBStepperTableCell::title(const PSSpecifier& row, const PlistValue& stored) const {
    return titleFor(row, valueOf(row, stored));
}

std::shared_ptr<UITableViewCell> HBStepperTableCell::cellForSpecifier(PSListController& list,
                                                                      const std::shared_ptr<PSSpecifier>& row,
                                                                      const PlistValue& stored) const {
    auto cell = PSTableCellViews::stockCell(list, row, stored);
    double value = valueOf(*row, stored);
    cell->setText(titleFor(*row, value));
    cell->setDetailText({});
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->setFillingControl(nullptr);

    auto stepper = UIStepper::create();
    stepper->setMinimumValue(minimumOf(*row));
    stepper->setMaximumValue(maximumOf(*row));
    stepper->setValue(value);
    // The stepper calls back weakly: the cell may outlive its list for a transition.
    std::weak_ptr<PSListController> weakList =
        std::static_pointer_cast<PSListController>(list.shared_from_this());
    std::weak_ptr<PSSpecifier> weakRow = row;
    std::weak_ptr<UITableViewCell> weakCell = cell;
    stepper->addAction(
        [weakList, weakRow, weakCell](UIControl& control) {
            auto l = weakList.lock();
            auto r = weakRow.lock();
            if (!l || !r)
                return;
            double next = static_cast<UIStepper&>(control).value();
            l->setValueForSpecifier(PlistValue(next), r);
            if (auto c = weakCell.lock())
                c->setText(titleFor(*r, next));
            l->reloadSpecifier(r, false);
        },
        UIControlEventValueChanged);
    cell->setAccessoryView(stepper);
    return cell;
}

std::optional<Result<PlistValue>> HBStepperTableCell::valueFromText(const PSSpecifier& row,
                                                                    const std::string& text) const {
    long long number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const double min = minimumOf(row), max = maximumOf(row);
    auto range = wholeNumberText(min) + "…" + wholeNumberText(max);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return Result<PlistValue>(Failure{"the stepper \"" + row.name() + "\" takes a whole number (" +
                                          range + "), not \"" + text + "\""});
    if (static_cast<double>(number) < min || static_cast<double>(number) > max)
        return Result<PlistValue>(Failure{"the stepper \"" + row.name() + "\" takes a whole number within " +
                                          range + ", not " + text});
    return Result<PlistValue>(PlistValue(static_cast<double>(number)));
}

std::optional<std::string> HBStepperTableCell::shownText(const PSSpecifier& row,
                                                         const PlistValue& stored) const {
    return wholeNumberText(valueOf(row, stored));
}
