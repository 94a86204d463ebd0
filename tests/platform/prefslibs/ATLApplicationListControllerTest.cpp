// AltList's pages on a device with real app bundles: which apps each section holds and in which
// order, what the three pages store through the row that opened them, the parent row's cell, and
// that a long list reads icons only for the rows it shows.

#include "support/DeviceFixture.h"
#include "support/ListPages.h"
#include "support/PixelTesting.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSMissingCodeController.h"
#include "platform/prefslibs/ATLApplicationListController.h"
#include "platform/prefslibs/ApplicationLists.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UIWindow.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kBundle = "/Library/PreferenceBundles/Test.bundle";
constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.t.plist";

class ATLApplicationListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ApplicationLists::install();
        device.mkdirs("/var/mobile/Library/Preferences");
        DarwinNotifyCenter::clearRecords();
        device.addApp("com.apple.MobileSMS", {{"CFBundleDisplayName", "Messages"}});
        device.addApp("com.apple.mobilemail", {{"CFBundleDisplayName", "mail"}});
        device.addApp("com.apple.webapp-1", {{"CFBundleDisplayName", "Web Clip"}});
        device.addApp("com.apple.hidden", {{"CFBundleDisplayName", "Secret"},
                                           {"SBAppTags", PlistValue::array({PlistValue("hidden")})}});
        device.addApp("com.apple.blocked",
                      {{"CFBundleDisplayName", "Blocked"}, {"SBIsLaunchProhibited", true}});
        addUserApp("net.whatsapp.WhatsApp", "WhatsApp");
        addUserApp("com.burbn.instagram", "Instagram");
        addUserApp("org.zzz.Bravo", "bravo");
    }

    void addUserApp(const std::string& id, const std::string& name) const {
        PlistValue info = PlistValue::dictionary();
        info.set("CFBundleIdentifier", PlistValue(id));
        info.set("CFBundleDisplayName", PlistValue(name));
        device.writePlist("/var/containers/Bundle/Application/" + id + "/App.app/Info.plist", info);
        ALApplicationList::sharedApplicationList()->reload();
    }

    // The bundle's Root page with one row that opens `detail`, and the page the row opens.
    std::shared_ptr<PSListController> openPage(const std::string& detail, const std::string& extraKeys,
                                               const std::string& cell = "PSLinkListCell") {
        device.write(std::string(kBundle) + "/Root.plist",
                     "{ items = ( { cell = " + cell + "; label = Apps; detail = " + detail +
                         "; defaults = com.t; key = apps; PostNotification = com.t/changed; " + extraKeys +
                         " } ); }");
        root = PSListController::createWithPlist(NSBundle::bundleWithPath(kBundle), "Root");
        navigation = UINavigationController::create(root);
        navigation->loadViewIfNeeded();
        root->tapSpecifier(root->specifierForName("Apps"));
        auto page = std::dynamic_pointer_cast<PSListController>(navigation->topViewController());
        EXPECT_NE(page, root);
        if (page)
            page->loadViewIfNeeded();
        return page;
    }

    PlistValue stored() const { return device.readPlist(kPrefs).get("apps"); }

    DeviceFixture device;
    std::shared_ptr<PSListController> root;
    std::shared_ptr<UINavigationController> navigation;
};

std::vector<std::string> strings(const PlistValue& array) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < array.count(); ++i)
        out.push_back(array.at(i).isString() ? array.at(i).stringValue() : array.at(i).description());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(ATLApplicationListTest, SectionsHoldTheirAppsSortedByNameRegardlessOfCase) {
    auto page = openPage("ATLApplicationListMultiSelectionController", "");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title(), "Apps");
    // One Visible section by default: hidden, launch-prohibited apps and web clips are left out.
    EXPECT_EQ(listOutline(*page), (std::vector<std::string>{"[Applications]", "bravo", "Instagram", "mail",
                                                            "Messages", "WhatsApp"}));

    page = openPage("ATLApplicationListMultiSelectionController",
                    "sections = ( { sectionType = User; }, { sectionType = System; }, "
                    "{ sectionType = Hidden; }, { sectionType = Custom; sectionName = Mine; "
                    "sectionPredicate = \"bundleIdentifier BEGINSWITH 'com.apple.Mobile'\"; }, "
                    "{ sectionType = Bogus; } );");
    EXPECT_EQ(listOutline(*page),
              (std::vector<std::string>{"[User Applications]", "bravo", "Instagram", "WhatsApp",
                                        "[System Applications]", "mail", "Messages", "[Hidden Applications]",
                                        "Blocked", "Secret", "Web Clip", "[Mine]", "Messages"}));
    EXPECT_EQ(device.countLog("AltList: the section type 'Bogus' is not known"), 1u);

    page = openPage("ATLApplicationListMultiSelectionController",
                    "sections = ( { sectionType = All; sectionName = Everything; } ); "
                    "alphabeticIndexingEnabled = 1;");
    // A–Z groups of the one section, under their letters.
    EXPECT_EQ(listOutline(*page),
              (std::vector<std::string>{"[B]", "Blocked", "bravo", "[I]", "Instagram", "[M]", "mail",
                                        "Messages", "[S]", "Secret", "[W]", "Web Clip", "WhatsApp"}));
}

TEST_F(ATLApplicationListTest, AlphabeticGroupsPutOtherInitialsLastAndMayHideTheirHeaders) {
    device.addApp("com.digits", {{"CFBundleDisplayName", "1Password"}});
    auto sections = ATLApplicationListController::sectionsFor(
        readPropertyList(asBytes("{ alphabeticIndexingEnabled = 1; hideAlphabeticSectionHeaders = 1; }"))
            .value,
        ALApplicationList::sharedApplicationList()->applicationInfos());
    ASSERT_EQ(sections.size(), 5u); // B I M W #
    EXPECT_EQ(sections.back().apps.at(0).displayName, "1Password");
    for (const auto& s : sections)
        EXPECT_EQ(s.title, "");
    // Two sections are never indexed.
    sections = ATLApplicationListController::sectionsFor(
        readPropertyList(asBytes("{ alphabeticIndexingEnabled = 1; sections = ({sectionType = "
                                 "User;},{sectionType = System;}); }"))
            .value,
        ALApplicationList::sharedApplicationList()->applicationInfos());
    EXPECT_EQ(sections.size(), 2u);
}

TEST_F(ATLApplicationListTest, MultiSelectionStoresTheAppsThatDifferFromTheDefaultOnEveryToggle) {
    auto page = openPage("ATLApplicationListMultiSelectionController", "");
    setSwitchAsScript(*page, "Messages", true);
    EXPECT_EQ(strings(stored()), std::vector<std::string>{"com.apple.MobileSMS"});
    // A tap flips the switch, as the row's own switch does.
    page->tapSpecifier(page->specifierForName("WhatsApp"));
    EXPECT_EQ(strings(stored()), (std::vector<std::string>{"com.apple.MobileSMS", "net.whatsapp.WhatsApp"}));
    auto toggle = std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "Messages")->accessoryView());
    ASSERT_TRUE(toggle);
    EXPECT_TRUE(toggle->isOn());
    toggle->setOn(false);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(strings(stored()), std::vector<std::string>{"net.whatsapp.WhatsApp"});
    // Turning on an app that is on already changes nothing.
    setSwitchAsScript(*page, "WhatsApp", true);
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), std::vector<std::string>(3, "com.t/changed"));
}

TEST_F(ATLApplicationListTest, MultiSelectionWithSwitchesOnByDefaultListsTheAppsTurnedOff) {
    // The stored array wins over "default"; apps it names that are not installed stay in it.
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("apps", PlistValue::array({PlistValue("com.gone"), PlistValue(7)}));
    device.writePlist(kPrefs, prefs);
    auto page = openPage("ATLApplicationListMultiSelectionController",
                         "defaultApplicationSwitchValue = 1; default = (com.apple.MobileSMS);");
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "Messages")->accessoryView())->isOn());
    setSwitchAsScript(*page, "mail", false);
    EXPECT_EQ(strings(stored()), (std::vector<std::string>{"7", "com.apple.mobilemail", "com.gone"}));

    // Without a stored value the page starts from "default".
    device.writePlist(kPrefs, PlistValue::dictionary());
    EXPECT_FALSE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "Messages")->accessoryView())->isOn());
    setSwitchAsScript(*page, "bravo", false);
    EXPECT_EQ(strings(stored()), (std::vector<std::string>{"com.apple.MobileSMS", "org.zzz.Bravo"}));
}

TEST_F(ATLApplicationListTest, SelectionStoresOneIdentifierAndTheParentRowShowsTheAppsName) {
    auto page = openPage("ATLApplicationListSelectionController", "cellClass = ATLApplicationSelectionCell;");
    page->tapSpecifier(page->specifierForName("Instagram"));
    EXPECT_EQ(stored(), PlistValue("com.burbn.instagram"));
    EXPECT_EQ(cellOf(*page, "Instagram")->accessoryType(), UITableViewCellAccessoryCheckmark);
    page->tapSpecifier(page->specifierForName("Messages"));
    EXPECT_EQ(stored(), PlistValue("com.apple.MobileSMS"));
    EXPECT_EQ(cellOf(*page, "Instagram")->accessoryType(), UITableViewCellAccessoryNone);
    EXPECT_EQ(cellOf(*page, "Messages")->accessoryType(), UITableViewCellAccessoryCheckmark);
    // Tapping the chosen app again keeps it chosen.
    page->tapSpecifier(page->specifierForName("Messages"));
    EXPECT_EQ(stored(), PlistValue("com.apple.MobileSMS"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames().size(), 3u);

    auto parentRow = root->specifierForName("Apps");
    EXPECT_EQ(cellOf(*root, "Apps")->detailText(), "Messages");
    ASSERT_TRUE(parentRow->cellClass());
    EXPECT_EQ(parentRow->cellClass()->shownText(*parentRow, PlistValue("com.apple.MobileSMS")), "Messages");
    EXPECT_EQ(parentRow->cellClass()->shownText(*parentRow, PlistValue("com.not.here")), "com.not.here");
    EXPECT_EQ(parentRow->cellClass()->shownText(*parentRow, PlistValue()), std::nullopt);
}

TEST_F(ATLApplicationListTest, SubcontrollerRowsPushTheirClassTitledWithTheAppAndStoreNothing) {
    PSControllerClasses::registerClass("MYAppPage", [] { return PSListController::create(); });
    auto page =
        openPage("ALApplicationListSubcontrollerController", "subcontrollerClass = MYAppPage;", "PSLinkCell");
    EXPECT_EQ(cellOf(*page, "Messages")->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);
    page->tapSpecifier(page->specifierForName("Messages"));
    auto perApp = std::dynamic_pointer_cast<PSListController>(navigation->topViewController());
    ASSERT_TRUE(perApp);
    EXPECT_EQ(perApp->className(), "PSListController");
    EXPECT_EQ(perApp->title(), "Messages");
    EXPECT_EQ(ATLApplicationListController::applicationIdentifierOf(*perApp->specifier()),
              "com.apple.MobileSMS");
    EXPECT_FALSE(device.exists(kPrefs));

    // A class the device lacks opens the page that names it.
    page = openPage("ATLApplicationListSubcontrollerController", "subcontrollerClass = MYMissing;",
                    "PSLinkCell");
    page->tapSpecifier(page->specifierForName("WhatsApp"));
    auto missing = std::dynamic_pointer_cast<PSMissingCodeController>(navigation->topViewController());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->missingClass(), "MYMissing");
    EXPECT_EQ(missing->title(), "WhatsApp");
}

TEST_F(ATLApplicationListTest, APageWithNoAppsToListOpensEmptyAndStoresNothing) {
    auto page = openPage("ATLApplicationListMultiSelectionController",
                         "sections = ( { sectionType = Custom; sectionPredicate = \"FALSEPREDICATE\"; } );");
    EXPECT_EQ(listOutline(*page), std::vector<std::string>{"[]"});
    EXPECT_EQ(page->table()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(device.exists(kPrefs));
    // A custom predicate the reader does not know lists every app and says so.
    page = openPage("ATLApplicationListMultiSelectionController",
                    "sections = ( { sectionType = Custom; sectionPredicate = \"installDate > 3\"; } );");
    EXPECT_EQ(page->specifiers()->size(), 9u);
    EXPECT_EQ(device.countLog("AltList: the section predicate 'installDate > 3' is not understood"), 1u);
}

TEST_F(ATLApplicationListTest, RowsShowIdentifiersWhenAskedAndSwitchesAsDrawn) {
    auto page = openPage("ATLApplicationListMultiSelectionController", "showIdentifiersAsSubtitle = 1;");
    auto cell = cellOf(*page, "Messages");
    EXPECT_EQ(cell->style(), UITableViewCellStyleSubtitle);
    EXPECT_EQ(cell->detailText(), "com.apple.MobileSMS");

    // On the screen: Messages has a green switch once it is on, bravo's stays off.
    setSwitchAsScript(*page, "Messages", true);
    page->table()->reloadData();
    device.loop()->advanceBy(1); // the push's transition ends
    auto window = UIWindow::create(UIScreen::mainScreen()->bounds());
    window->setRootViewController(navigation);
    auto view = window;
    view->layoutIfNeeded();
    CGImageRef frame = UIRenderer(2).renderFrame(*view);
    auto green = [](const CGImage::Pixel& p) { return p.g > 180 && p.r < 120 && p.b < 140 && p.a > 200; };
    // Rows of 58 pt under the bar and the section header: bravo first, Messages fourth.
    const int width = static_cast<int>(frame->width());
    EXPECT_EQ(pixels::count(frame, width / 2, 2 * 115, width, 2 * 155, green), 0);
    EXPECT_GT(pixels::count(frame, width / 2, 2 * 290, width, 2 * 330, green), 400);
}

TEST_F(ATLApplicationListTest, AThousandAppsOpenWithoutReadingTheIconsOfRowsNotShown) {
    for (int i = 0; i < 1000; ++i) {
        std::string id = "com.many.app" + std::to_string(i);
        PlistValue info = PlistValue::dictionary();
        info.set("CFBundleIdentifier", PlistValue(id));
        info.set("CFBundleDisplayName", PlistValue("App " + std::to_string(1000 + i)));
        info.set("CFBundleIconFile", PlistValue("Icon.png"));
        std::string bundle = "/Applications/Many" + std::to_string(i) + ".app";
        device.writePlist(bundle + "/Info.plist", info);
        device.write(bundle + "/Icon.png", DeviceFixture::png(29));
    }
    ALApplicationList::sharedApplicationList()->reload();
    auto page = openPage("ATLApplicationListMultiSelectionController", "");
    ASSERT_EQ(page->specifiers()->size(), 1006u);
    auto first = page->table()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    EXPECT_EQ(first->text(), "App 1000");
    EXPECT_TRUE(first->image());
    int withIcons = 0;
    for (const auto& row : *page->specifiers())
        withIcons += row->propertyForKey("iconImage").isObject() ? 1 : 0;
    EXPECT_EQ(withIcons, 1);
}

TEST(ApplicationListsTest, NamesEveryClassOfBothLibraries) {
    for (const char* name :
         {"ATLApplicationListMultiSelectionController", "ATLApplicationListSelectionController",
          "ATLApplicationListSubcontrollerController", "ALApplicationListSubcontrollerController",
          "ATLApplicationSelectionCell", "AppList"})
        EXPECT_TRUE(ApplicationLists::hasClass(name)) << name;
    EXPECT_FALSE(ApplicationLists::hasClass("HBLinkTableCell"));
    ApplicationLists::install();
    EXPECT_TRUE(PSControllerClasses::hasClass("ATLApplicationListSelectionController"));
    EXPECT_TRUE(PSCellClasses::named("ATLApplicationSelectionCell"));
    EXPECT_TRUE(PSControllerClasses::instantiateBundle("AppList"));
}

} // namespace
