#pragma once

// A device with the HB framework installed and a preference bundle whose pages the tests write: a
// page opens in a navigation controller, shows in a 375-point table whose rows all have cells,
// renders at 2x, and its rows are tapped as a user taps them. Every URL opens (and is recorded
// by the application), so taps can be checked on what opened.

#include "support/DeviceFixture.h"
#include "support/PixelTesting.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefslibs/HBFramework.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITableViewContentView.h"

#include <gtest/gtest.h>

class HBListFixture : public ::testing::Test {
protected:
    static constexpr const char* kBundle = "/Library/PreferenceBundles/Test.bundle";
    static constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.t.plist";

    void SetUp() override {
        HBFramework::install();
        device.mkdirs("/var/mobile/Library/Preferences");
        DarwinNotifyCenter::clearRecords();
        urls = UIApplication::sharedApplication()->setURLHandler([](const NSURL&) { return true; });
    }

    void writePage(const std::string& name, const std::string& text) const {
        device.write(std::string(kBundle) + "/" + name + ".plist", text);
    }
    std::shared_ptr<PSListController> open(const std::string& page = "Root") {
        auto list = PSListController::createWithPlist(NSBundle::bundleWithPath(kBundle), page);
        navigation = UINavigationController::create(list);
        navigation->loadViewIfNeeded();
        (void)list->specifiers();
        return list;
    }
    // The page's table, 375 points wide, with every row's cell made and laid out.
    std::shared_ptr<UITableViewContentView> show(PSListController& list) {
        auto table = list.table();
        table->setFrame(CGRectMake(0, 0, 375, 1200));
        auto face = UITableViewContentView::attach(table);
        face->syncWithTable(true);
        face->loadAllRows();
        table->layoutIfNeeded();
        return face;
    }
    CGImageRef render(PSListController& list) {
        show(list);
        return UIRenderer(2).renderFrame(*list.table());
    }
    std::shared_ptr<UITableViewCell> cellOf(PSListController& list, const std::string& title) {
        auto face = show(list);
        for (const auto& [path, cell] : face->visibleRows())
            if (cell->text() == title)
                return cell;
        ADD_FAILURE() << "no row " << title;
        return UITableViewCell::create(UITableViewCellStyleDefault, "none");
    }
    // The row's frame in the table.
    CGRect frameOf(PSListController& list, const std::string& title) { return cellOf(list, title)->frame(); }
    void tap(PSListController& list, const std::string& title) {
        auto row = list.specifierForName(title);
        ASSERT_TRUE(row) << title;
        list.tapSpecifier(row);
    }
    const std::vector<std::string>& opened() const {
        return UIApplication::sharedApplication()->openedURLs();
    }

    DeviceFixture device;
    std::shared_ptr<UINavigationController> navigation;
    Subscription urls;
};
