#pragma once

// The cell of a Preferences row, in the iOS Settings look: a switch for a PSSwitchCell, a slider
// across a PSSliderCell (with its value at the right when "showValue" is set), a segmented control
// across a PSSegmentCell, a text field beside the title of a PSEditTextCell (dots for the secure
// kind), tinted text for a PSButtonCell (red for "isDestructive"), a chevron for a PSLinkCell, a
// chevron and the current choice in grey for a PSLinkListCell, the value in grey for a
// PSTitleValueCell, and the "iconImage" property as the icon of any row. A row with "enabled" set
// to false is dimmed and takes no touches.
//
// A row whose class the device has as a library's code (PSSpecifier::cellClass) gets that class's
// cell. A row drawn as the stock cell in place of the bundle's own class
// (PSSpecifier::approximatedClassName) carries a small orange triangle in its top-left corner. A
// row with nothing stock to draw (PSSpecifier::missingClassName) is a placeholder: its title, and
// under it the missing class's name in orange.
//
// Each control starts at the value it is given (one read of the row's getter) and hands changes to
// the row's setter through the list, converted by PSControlValue as scripts' changes are: a switch
// a boolean, a slider a real (when the finger lifts), a segment the matching entry of
// "validValues", a text field its text when its editing ends (return, the field giving up the
// keyboard), if the text changed.

#include "platform/prefs/PSListController.h"
#include "platform/ui/UITableViewCell.h"

class PSTableCellViews {
public:
    static std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                             const std::shared_ptr<PSSpecifier>& specifier,
                                                             const PlistValue& value);
    // The stock cell of the row's type (what a row without a class of its own shows), in `style`.
    static std::shared_ptr<UITableViewCell>
    stockCell(PSListController& list, const std::shared_ptr<PSSpecifier>& specifier, const PlistValue& value,
              UITableViewCellStyle style = UITableViewCellStyleValue1);
    // The mark of a row drawn as the stock cell in place of code the device does not have.
    static void markApproximated(UITableViewCell& cell);
    // The tag of that mark among the cell's subviews.
    static constexpr std::int64_t kApproximatedMarkTag = 0xA99;

    static UIColor placeholderColor() { return UIColor::colorWithRed(0.9, 0.45, 0.0, 1); }
    static UIColor destructiveColor() { return UIColor::systemRedColor(); }
    static UIColor buttonColor() { return UIColor::systemBlueColor(); }
};
