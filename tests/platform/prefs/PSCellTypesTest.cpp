// The table of cell types, and the cells and values that follow it: every type's cell shows the
// control its row names, and what a cell shows of a value follows the same row.

#include "support/DeviceFixture.h"

#include "platform/prefs/PSCellTypes.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/ui/UISegmentedControl.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITextField.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// The control a built cell shows, read off its views as a user would see them.
PSCellControl controlShownBy(const UITableViewCell& cell) {
    if (std::dynamic_pointer_cast<UISwitch>(cell.accessoryView()))
        return PSCellControl::Switch;
    if (auto field = std::dynamic_pointer_cast<UITextField>(cell.accessoryView()))
        return field->isSecureTextEntry() ? PSCellControl::SecureTextField : PSCellControl::TextField;
    if (std::dynamic_pointer_cast<UISlider>(cell.fillingControl()))
        return PSCellControl::Slider;
    if (std::dynamic_pointer_cast<UISegmentedControl>(cell.fillingControl()))
        return PSCellControl::Segments;
    if (cell.textColor() == PSTableCellViews::buttonColor())
        return PSCellControl::Button;
    if (cell.accessoryType() == UITableViewCellAccessoryDisclosureIndicator)
        return cell.detailText().empty() ? PSCellControl::Link : PSCellControl::ChoiceLink;
    return cell.detailText() == "5" ? PSCellControl::TitleValue : PSCellControl::Title;
}

TEST(PSCellTypesTest, EveryTypesCellShowsTheControlOfItsRow) {
    DeviceFixture device;
    auto list = PSListController::create();
    std::set<std::string_view> names;
    for (const PSCellTypeInfo& info : PSCellTypes::all()) {
        if (info.control == PSCellControl::Group)
            continue; // a section's header, never a cell
        auto row = PSSpecifier::preferenceSpecifierNamed("Row", list, {}, {}, {}, info.type, {});
        row->setProperty(PlistValue::array({PlistValue(5)}), "validValues");
        row->setProperty(PlistValue::array({PlistValue("Five")}), "validTitles");
        // A number: a title-value row shows it, a title row only shows a getter's text.
        auto cell = PSTableCellViews::cellForSpecifier(*list, row, PlistValue(5));
        ASSERT_TRUE(cell) << info.name;
        EXPECT_EQ(controlShownBy(*cell), info.control) << info.name;
        EXPECT_EQ(cell->reuseIdentifier(), info.name);
        names.insert(info.name);
    }
    EXPECT_EQ(names.size(), PSCellTypes::all().size() - 1);
}

TEST(PSCellTypesTest, NamesAreLookedUpExactlyAndOddValuesShowAsStaticText) {
    ASSERT_TRUE(PSCellTypes::named("PSSwitchCell"));
    EXPECT_EQ(PSCellTypes::named("PSSwitchCell")->value, PSValueKind::Boolean);
    EXPECT_EQ(PSCellTypes::named("PSSwitchCell "), nullptr);
    EXPECT_EQ(PSCellTypes::named("PSSwitchTableCell"), nullptr); // a cell class, not a type
    for (std::int64_t odd : {-1, 15, 1000})
        EXPECT_EQ(PSCellTypes::of(static_cast<PSCellType>(odd)).type, PSStaticTextCell) << odd;
    // What a link list opens is a page; what a text field holds is not a choice.
    EXPECT_TRUE(PSCellTypes::of(PSLinkListCell).opensPage());
    EXPECT_FALSE(PSCellTypes::of(PSButtonCell).opensPage());
}

} // namespace
