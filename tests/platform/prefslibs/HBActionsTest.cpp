// What the HB framework's list controllers add to the pages that use its classes: rows filtered by
// system version, the controllers' actions, translated subtitles, the package sheet, and the
// choice page it keeps for old bundles.

#include "HBListFixture.h"

#include "platform/foundation/CFVersion.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListItemsController.h"
#include "platform/prefslibs/HBActions.h"
#include "platform/prefslibs/PrefsLibraries.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIAlertAction.h"
#include "platform/ui/UIAlertController.h"

namespace {

class HBActionsTest : public HBListFixture {
protected:
    void addPackageManager(const std::string& id, const std::string& scheme) const {
        PlistValue type = PlistValue::dictionary();
        type.set("CFBundleURLSchemes", PlistValue::array({PlistValue(scheme)}));
        device.addApp(id, {{"CFBundleURLTypes", PlistValue::array({type})}});
    }
    std::shared_ptr<UIAlertController> presented() const {
        return std::dynamic_pointer_cast<UIAlertController>(navigation->presentedViewController());
    }
    std::vector<std::string> names(PSListController& list) {
        std::vector<std::string> out;
        for (const auto& row : *list.specifiers())
            out.push_back(row->name());
        return out;
    }
};

} // namespace

TEST_F(HBActionsTest, RowsOutsideTheirSystemVersionRangeAreDroppedOnPagesOfTheFramework) {
    const std::string rows = R"(
        { cell = PSStaticTextCell; label = Always; },
        { cell = PSStaticTextCell; label = Newer; pl_filter = { CoreFoundationVersion = (1600); }; },
        { cell = PSStaticTextCell; label = Older; pl_filter = { CoreFoundationVersion = (1400, 1500); }; },
        { cell = PSStaticTextCell; label = Since; pl_filter = { CoreFoundationVersion = (1400); }; },
        { cell = PSStaticTextCell; label = Between; pl_filter = { CoreFoundationVersion = ("1500", 1600); }; },
    )";
    CFSetCoreFoundationVersionNumber(1500);
    writePage("Root", "{ items = (" + rows +
                          R"({ cell = PSButtonCell; cellClass = HBTintedTableCell; label = Tint; }, ); })");
    EXPECT_EQ(names(*open()), (std::vector<std::string>{"Always", "Since", "Between", "Tint"}));
    // A page without the framework's classes is the stock list's: nothing is filtered.
    writePage("Plain", "{ items = (" + rows + "); }");
    EXPECT_EQ(names(*open("Plain")).size(), 5u);
}

TEST_F(HBActionsTest, TheControllersActionsRunFromStockRowsAndTheFrameworksCells) {
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; headerCellClass = HBImageTableCell; },
        { cell = PSButtonCell; label = Respring; action = hb_respring; },
        { cell = PSButtonCell; label = "Respring and return"; action = hb_respringAndReturn; },
        { cell = PSButtonCell; cellClass = HBTintedTableCell; label = Web; action = "hb_openURL:"; url = "https://w.example/"; },
        { cell = PSButtonCell; label = Support; action = hb_sendSupportEmail; },
        { cell = PSButtonCell; label = Restart; action = hb_respring;
          confirmation = { prompt = "Respring now?"; okTitle = Respring; isDestructive = 1; }; },
    ); })");
    DeviceSpawn::clearRecords();
    auto list = open();
    tap(*list, "Respring");
    tap(*list, "Respring and return");
    ASSERT_EQ(DeviceSpawn::records().size(), 2u);
    for (const auto& record : DeviceSpawn::records()) {
        EXPECT_EQ(record.path, "/usr/bin/killall");
        EXPECT_EQ(record.argv, (std::vector<std::string>{"killall", "backboardd"}));
    }
    tap(*list, "Web");
    EXPECT_EQ(opened(), std::vector<std::string>{"https://w.example/"});

    // No mail account on the device: the framework says so.
    tap(*list, "Support");
    auto alert = presented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "No mail accounts are set up.");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    navigation->dismissViewControllerAnimated(false, nullptr);
    device.loop()->runUntilIdle();

    // A confirmation comes first; only its OK runs the action.
    tap(*list, "Restart");
    auto sheet = presented();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->message(), "Respring now?");
    ASSERT_EQ(sheet->actions().size(), 2u);
    EXPECT_EQ(sheet->actions()[0]->style(), UIAlertActionStyleDestructive);
    EXPECT_EQ(DeviceSpawn::records().size(), 2u);
    sheet->actions()[0]->handler()(sheet->actions()[0]);
    EXPECT_EQ(DeviceSpawn::records().size(), 3u);
}

TEST_F(HBActionsTest, APackageOpensInTheInstalledManagersThroughTheSheet) {
    addPackageManager("org.coolstar.SileoStore", "sileo");
    addPackageManager("xyz.willy.Zebra", "zbra");
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; },
        { cell = PSButtonCell; cellClass = HBPackageTableCell; label = Get; packageIdentifier = "com.example.tweak";
          packageRepository = "https://repo.example/"; },
        { cell = PSButtonCell; label = Open; action = "hb_openPackage:"; packageIdentifier = "com.example.other"; },
    ); })");
    auto list = open();
    EXPECT_TRUE(cellOf(*list, "Get")->image()); // the package's box
    tap(*list, "Get");
    auto sheet = presented();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Open in…");
    EXPECT_EQ(sheet->preferredStyle(), UIAlertControllerStyleActionSheet);
    EXPECT_EQ(sheet->message(), "This package will be installed from the repository https://repo.example/.");
    std::vector<std::string> titles;
    for (const auto& action : sheet->actions())
        titles.push_back(action->title());
    EXPECT_EQ(titles, (std::vector<std::string>{"Sileo", "Zebra", "Cancel"})); // no Cydia on this device
    sheet->actions()[1]->handler()(sheet->actions()[1]);
    sheet->actions()[0]->handler()(sheet->actions()[0]);
    EXPECT_EQ(opened(), (std::vector<std::string>{
                            "zbra://package/com.example.tweak?source=https%3A%2F%2Frepo.example%2F",
                            "sileo://package/com.example.tweak"}));
    navigation->dismissViewControllerAnimated(false, nullptr);
    device.loop()->runUntilIdle();

    tap(*list, "Open");
    sheet = presented();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->message());
    EXPECT_EQ(HBActions::packageURL("cydia", "com.example.other", ""), "cydia://package/com.example.other");
}

TEST_F(HBActionsTest, SubtitlesAndSingularLabelsAreTranslatedThroughThePagesStrings) {
    writePage("Root", R"({ items = (
        { cell = PSButtonCell; cellClass = HBLinkTableCell; label = Site; subtitle = "Our page"; url = "https://s.example/"; },
        { cell = PSLinkCell; cellClass = HBStepperTableCell; label = "%i lines"; singularLabel = "One line"; default = 1; },
    ); })");
    device.write(std::string(kBundle) + "/de.lproj/Root.strings",
                 "\"Site\" = \"Seite\";\n\"Our page\" = \"Unsere Seite\";\n\"One line\" = \"Eine Zeile\";");
    NSBundle::setPreferredLanguages({"de"});
    auto list = open();
    EXPECT_EQ(cellOf(*list, "Seite")->detailText(), "Unsere Seite");
    EXPECT_EQ(list->specifiers()->at(1)->propertyForKey("singularLabel"), PlistValue("Eine Zeile"));
}

TEST_F(HBActionsTest, TheOldChoicePageIsTheStockOneAndTheControllersAreTheFrameworksClasses) {
    writePage("Root", R"({ items = (
        { cell = PSLinkListCell; label = Mode; detail = HBListItemsController; key = mode; defaults = com.t;
          validTitles = (Fast, Slow); validValues = (fast, slow); },
    ); })");
    auto list = open();
    auto page = std::dynamic_pointer_cast<PSListItemsController>(
        list->controllerForSpecifier(list->specifierForName("Mode")));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->className(), "HBListItemsController");
    navigation->pushViewController(page, false);
    page->tapSpecifier(page->specifierForName("Slow"));
    EXPECT_EQ(device.readPlist(kPrefs).get("mode"), PlistValue("slow"));

    // The list controllers that bundles subclass are the framework's too, registered or not.
    EXPECT_TRUE(PrefsLibraries::isLibraryClass("HBRootListController"));
    EXPECT_FALSE(PSControllerClasses::hasClass("HBRootListController"));
    EXPECT_FALSE(HBFramework::hasClass("HBLinkTableCel"));
    EXPECT_FALSE(HBFramework::hasClass("PSLinkCell"));
}
