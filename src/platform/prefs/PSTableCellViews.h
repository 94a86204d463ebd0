#pragma once

// What the Preferences framework's cells show on screen, in the iOS Settings look: a switch for
// a PSSwitchCell, a slider across a PSSliderCell, a segmented control across a PSSegmentCell,
// a text field beside the title of a PSEditTextCell, tinted text for a PSButtonCell, a chevron
// for a PSLinkCell, and the "iconImage" property as the icon of any row. Each control starts
// at the value the row's getter answers and hands its changes to the row's setter the way the
// framework's cells do: a switch a boolean, a slider a real (when the finger lifts), a segment
// the matching entry of "validValues", a text field its text at every keystroke.
//
// Group rows become the section headers ("label") and footers ("footerText").
//
// `install` registers this with the table's content view (UITableViewContentView) for tables
// whose data source is a PSListController; the simulator calls it once.

#include "platform/prefs/PSListController.h"
#include "platform/ui/UITableViewGroupedLayout.h"

#include <optional>
#include <string>

class PSTableCellViews {
public:
    static void install();

    // The extras of the row's cell (exposed for tests).
    static UITableViewGroupedLayout::Extras extrasForSpecifier(PSListController& list,
                                                               const std::shared_ptr<PSSpecifier>& specifier,
                                                               UITableViewCell& cell);
    // The header and footer of `section` of the list; false when the list has no such section.
    static bool sectionTitles(PSListController& list, std::int64_t section,
                              std::optional<std::string>& header, std::optional<std::string>& footer);
};
