#pragma once

// The HB framework's stepper row (HBStepperTableCell): the title is the row's "label" with "%i"
// replaced by the value ("singularLabel" when the value is 1), and a −/+ stepper sits at the
// right, stepping by 1 between "min" and "max" (0 and 100 when missing). Every press stores the
// new value through the row's setter, as the stock rows do, and the title follows. A script's
// `set` takes a whole number within the range.

#include "platform/prefs/PSCellClass.h"

class HBStepperTableCell : public PSCellClass {
public:
    // The title for a value.
    static std::string titleFor(const PSSpecifier& row, double value);
    static double minimumOf(const PSSpecifier& row);
    static double maximumOf(const PSSpecifier& row);

    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    // The row itself does nothing on a tap: its stepper does.
    bool tap(PSListController&, const std::shared_ptr<PSSpecifier>&) const override { return true; }
    std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& row,
                                                    const std::string& text) const override;
    std::optional<std::string> shownText(const PSSpecifier& row, const PlistValue& stored) const override;
    std::string_view scriptInput() const override { return "a whole number"; }
    std::optional<std::string> title(const PSSpecifier& row, const PlistValue& stored) const override;
};
