#pragma once

// A device with the colour-picker libraries installed, a bundle whose Root page the test writes,
// and that page open in a navigation controller; helpers to find a row's cell and to render it.
//
//     ColourDevice device;
//     device.writeRoot(R"({ cell = PSLinkCell; cellClass = SparkColourPickerCell; label = Tint; ... })");
//     auto list = device.open();
//     auto drawn = device.render(*list, "Tint");   // the screen, and where the row's swatch is

#include "support/DeviceFixture.h"
#include "support/PixelTesting.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefslibs/ColourPickerController.h"
#include "platform/prefslibs/ColourPickers.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITableViewContentView.h"

#include <gtest/gtest.h>

#include <string>

class ColourDevice : public DeviceFixture {
public:
    static constexpr const char* kBundle = "/Library/PreferenceBundles/Colours.bundle";
    static constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.c.plist";

    ColourDevice() {
        mkdirs("/var/mobile/Library/Preferences");
        DarwinNotifyCenter::clearRecords();
        ColourPickers::install();
    }

    // The Root page with these rows (the text inside its "items" list).
    void writeRoot(const std::string& items) const {
        write(std::string(kBundle) + "/Root.plist", "{ items = (" + items + "); }");
    }

    // The Root page, open in a navigation controller whose view is loaded.
    std::shared_ptr<PSListController> open() {
        auto list = PSListController::createWithPlist(NSBundle::bundleWithPath(kBundle), "Root");
        navigation = UINavigationController::create(list);
        navigation->loadViewIfNeeded();
        (void)list->specifiers();
        return list;
    }

    // The cell the table shows for the row titled `title`, laid out on screen.
    std::shared_ptr<UITableViewCell> shownCell(PSListController& list, const std::string& title) {
        auto table = list.table();
        auto face = UITableViewContentView::attach(table);
        face->syncWithTable();
        for (const auto& [path, cell] : face->visibleRows())
            if (cell && cell->text() == title)
                return cell;
        ADD_FAILURE() << "no row titled " << title << " on screen";
        return nullptr;
    }

    struct Drawn {
        CGImageRef image;
        CGRect accessory; // the row's accessory view, in the image's points
    };
    // The screen drawn at 2x, with the row's accessory view found on it.
    Drawn render(PSListController& list, const std::string& title) {
        Drawn drawn{nullptr, CGRectZero};
        auto cell = shownCell(list, title);
        if (!cell || !cell->accessoryView()) {
            ADD_FAILURE() << "the row " << title << " has no accessory view";
            return drawn;
        }
        const auto& accessory = cell->accessoryView();
        drawn.accessory = accessory->convertRectToView(accessory->bounds(), nullptr);
        UIRenderer renderer(2);
        drawn.image = renderer.renderFrame(*navigation->view());
        return drawn;
    }

    // The colour page on top of the navigation stack, or null.
    std::shared_ptr<ColourPickerController> page() const {
        return std::dynamic_pointer_cast<ColourPickerController>(navigation->topViewController());
    }

    // Sets a row of a list as a user's change reaches it (a slider, a text field, a script's `set`).
    static void change(PSListController& list, const std::string& title, const PlistValue& value) {
        auto row = list.specifierForName(title);
        ASSERT_TRUE(row) << "no row " << title;
        list.setValueForSpecifier(value, row);
    }

    std::shared_ptr<UINavigationController> navigation;
};
