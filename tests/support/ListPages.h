#pragma once

// Reading a preference list page as a test sees it: its outline of section and row titles, the
// table's cell for a row, and a switch flipped as a script's `set "TITLE" on|off` flips it.
//
//     EXPECT_EQ(listOutline(*page), (std::vector<std::string>{"[Applications]", "Mail", "Maps"}));
//     setSwitchAsScript(*page, "Mail", true);
//     EXPECT_TRUE(cellOf(*page, "Mail")->accessoryView());

#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UITableViewCell.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Section titles in brackets, each followed by its rows' titles.
inline std::vector<std::string> listOutline(PSListController& page) {
    std::vector<std::string> out;
    for (const auto& row : *page.specifiers())
        out.push_back(row->cellType() == PSGroupCell ? "[" + row->name() + "]" : row->name());
    return out;
}

// The table's cell for the row titled `title`; a failure (and a blank cell) when there is none.
inline std::shared_ptr<UITableViewCell> cellOf(PSListController& page, const std::string& title) {
    auto table = page.table();
    for (std::int64_t s = 0; s < table->numberOfSections(); ++s)
        for (std::int64_t r = 0; r < table->numberOfRowsInSection(s); ++r)
            if (auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, s));
                cell && cell->text() == title)
                return cell;
    ADD_FAILURE() << "no row " << title;
    return UITableViewCell::create(UITableViewCellStyleDefault, "none");
}

// What a script's `set "TITLE" on|off` does: the switch's value through the row's setter.
inline void setSwitchAsScript(PSListController& page, const std::string& title, bool on) {
    auto row = page.specifierForName(title);
    ASSERT_TRUE(row) << title;
    page.setValueForSpecifier(PSControlValue::fromSwitch(*row, on), row);
}
