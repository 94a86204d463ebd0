// The AppList bundle's page opened from a stock link row: its sections, what it writes to the
// file its row names and what it posts, its single mode, its static rows, and the paths it
// refuses.

#include "support/DeviceFixture.h"
#include "support/ListPages.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSMissingCodeController.h"
#include "platform/prefslibs/AppListSettingsController.h"
#include "platform/prefslibs/AppListSettingsStore.h"
#include "platform/prefslibs/ApplicationLists.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewCell.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kAppListBundle = "/Library/PreferenceBundles/Test.bundle";
constexpr const char* kFile = "/var/mobile/Library/Preferences/com.t.applist.plist";

class AppListPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ApplicationLists::install();
        device.mkdirs("/var/mobile/Library/Preferences");
        DarwinNotifyCenter::clearRecords();
        device.addApp("com.apple.MobileSMS", {{"CFBundleDisplayName", "Messages"}});
        device.addApp("com.apple.camera", {{"CFBundleDisplayName", "camera"}});
        device.addApp("com.apple.hidden", {{"CFBundleDisplayName", "Secret"},
                                           {"SBAppTags", PlistValue::array({PlistValue("hidden")})}});
        PlistValue info = PlistValue::dictionary();
        info.set("CFBundleIdentifier", PlistValue("net.whatsapp.WhatsApp"));
        info.set("CFBundleDisplayName", PlistValue("WhatsApp"));
        device.writePlist("/var/containers/Bundle/Application/U1/WhatsApp.app/Info.plist", info);
        ALApplicationList::sharedApplicationList()->reload();
    }

    // The bundle's Root page with a row that opens AppList with `keys`, and the page it opens.
    std::shared_ptr<AppListSettingsController> openPage(const std::string& keys) {
        device.write(
            std::string(kAppListBundle) + "/Root.plist",
            "{ items = ( { cell = PSLinkCell; label = Blacklist; bundle = AppList; isController = 1; "
            "ALChangeNotification = com.t/applist; " +
                keys + " } ); }");
        root = PSListController::createWithPlist(NSBundle::bundleWithPath(kAppListBundle), "Root");
        navigation = UINavigationController::create(root);
        navigation->loadViewIfNeeded();
        root->tapSpecifier(root->specifierForName("Blacklist"));
        auto page = std::dynamic_pointer_cast<AppListSettingsController>(navigation->topViewController());
        EXPECT_TRUE(page);
        if (page) {
            page->loadViewIfNeeded();
            (void)page->specifiers();
        }
        return page;
    }
    static std::string withPath(std::string keys = "") {
        return "ALSettingsPath = \"" + std::string(kFile) + "\"; " + keys;
    }

    DeviceFixture device;
    std::shared_ptr<PSListController> root;
    std::shared_ptr<UINavigationController> navigation;
};

TEST_F(AppListPageTest, DefaultSectionsAreSystemAndUserAppsWithoutHiddenOnesAsSwitches) {
    auto page = openPage(withPath());
    EXPECT_EQ(page->title(), "Blacklist");
    EXPECT_EQ(listOutline(*page), (std::vector<std::string>{"[System Applications]", "camera", "Messages",
                                                            "[User Applications]", "WhatsApp"}));
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "Messages")->accessoryView()));

    page = openPage(withPath("ALNavigationTitle = \"Pick Apps\"; ALSingleEnabledMode = 1;"));
    EXPECT_EQ(page->title(), "Pick Apps");
    EXPECT_FALSE(cellOf(*page, "Messages")->accessoryView());
    EXPECT_EQ(cellOf(*page, "Messages")->accessoryType(), UITableViewCellAccessoryNone);
}

TEST_F(AppListPageTest, EachSwitchWritesThePrefixedKeyToTheWholeFileAndPostsTheNotification) {
    PlistValue before = PlistValue::dictionary();
    before.set("other", PlistValue("kept"));
    device.writePlist(kFile, before);
    auto page = openPage(withPath("ALSettingsKeyPrefix = \"Blacklist-\"; PostNotification = ignored; "
                                  "defaults = com.t; key = ignored;"));
    setSwitchAsScript(*page, "Messages", true);
    auto toggle = std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "WhatsApp")->accessoryView());
    ASSERT_TRUE(toggle);
    toggle->setOn(true);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);
    setSwitchAsScript(*page, "Messages", false);

    PlistValue file = device.readPlist(kFile);
    EXPECT_EQ(file.count(), 3u);
    EXPECT_EQ(file.get("other"), PlistValue("kept"));
    EXPECT_EQ(file.get("Blacklist-com.apple.MobileSMS"), PlistValue(false));
    EXPECT_EQ(file.get("Blacklist-net.whatsapp.WhatsApp"), PlistValue(true));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), std::vector<std::string>(3, "com.t/applist"));
    EXPECT_FALSE(device.exists("/var/mobile/Library/Preferences/com.t.plist"));
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "WhatsApp")->accessoryView())->isOn());
}

TEST_F(AppListPageTest, AppsWithoutAKeyShowTheDefaultValueAndTapsFlipOnlySelectableSwitches) {
    auto page = openPage(withPath("ALSettingsDefaultValue = 1;"));
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "camera")->accessoryView())->isOn());
    // Rows are not selectable by default outside single mode: a tap on a switch row does nothing.
    page->tapSpecifier(page->specifierForName("camera"));
    EXPECT_FALSE(device.exists(kFile));

    page = openPage(withPath("ALAllowsSelection = 1;"));
    page->tapSpecifier(page->specifierForName("camera"));
    EXPECT_EQ(device.readPlist(kFile).get("ALValue-com.apple.camera"), PlistValue(true));
}

TEST_F(AppListPageTest, SingleModeKeepsOneIdentifierUnderTheSettingsKeyAndRemovesItWhenUnchecked) {
    auto page = openPage(withPath("ALSingleEnabledMode = 1; ALSettingsKey = chosen;"));
    page->tapSpecifier(page->specifierForName("Messages"));
    EXPECT_EQ(device.readPlist(kFile).get("chosen"), PlistValue("com.apple.MobileSMS"));
    EXPECT_EQ(cellOf(*page, "Messages")->accessoryType(), UITableViewCellAccessoryCheckmark);
    page->tapSpecifier(page->specifierForName("WhatsApp"));
    EXPECT_EQ(device.readPlist(kFile).get("chosen"), PlistValue("net.whatsapp.WhatsApp"));
    EXPECT_EQ(cellOf(*page, "Messages")->accessoryType(), UITableViewCellAccessoryNone);
    // Turning off an app that is not the chosen one leaves the choice.
    setSwitchAsScript(*page, "Messages", false);
    EXPECT_EQ(device.readPlist(kFile).get("chosen"), PlistValue("net.whatsapp.WhatsApp"));
    page->tapSpecifier(page->specifierForName("WhatsApp"));
    PlistValue file = device.readPlist(kFile);
    EXPECT_TRUE(file.isDictionary());
    EXPECT_EQ(file.count(), 0u);
    EXPECT_EQ(DarwinNotifyCenter::postedNames().size(), 4u);
}

TEST_F(AppListPageTest, DescriptorsChooseAppsCellsAndStaticRows) {
    auto page = openPage(withPath(
        "ALSectionDescriptors = ("
        " { title = Links; items = ( { text = Website; action = launchURL; url = \"https://example.com/\"; },"
        "   { text = Version; \"detail-text\" = \"1.0\"; } ); },"
        " { title = Apple; \"footer-title\" = \"Apple's apps\"; predicate = \"bundleIdentifier BEGINSWITH "
        "'com.apple'\";"
        "   \"cell-class-name\" = ALCheckCell; \"icon-size\" = 59; },"
        " { title = Odd; predicate = \"launchCount > 2\"; \"cell-class-name\" = ALDisclosureIndicatedCell;"
        "   \"suppress-hidden-apps\" = 1; } );"));
    EXPECT_EQ(listOutline(*page),
              (std::vector<std::string>{"[Links]", "Website", "Version", "[Apple]", "camera", "Messages",
                                        "Secret", "[Odd]", "camera", "Messages", "WhatsApp"}));
    EXPECT_EQ(device.countLog("AppList: the predicate 'launchCount > 2' is not understood"), 1u);
    EXPECT_EQ(page->table()->titleForFooterInSection(1), "Apple's apps");
    EXPECT_EQ(cellOf(*page, "Version")->detailText(), "1.0");
    EXPECT_EQ(cellOf(*page, "WhatsApp")->detailText(), "Off");
    EXPECT_EQ(cellOf(*page, "WhatsApp")->accessoryType(), UITableViewCellAccessoryDisclosureIndicator);

    // A check row toggles on a tap, in or out of single mode.
    page->tapSpecifier(page->specifierForName("Secret"));
    EXPECT_EQ(device.readPlist(kFile).get("ALValue-com.apple.hidden"), PlistValue(true));
    EXPECT_EQ(cellOf(*page, "Secret")->accessoryType(), UITableViewCellAccessoryCheckmark);

    Subscription handler = UIApplication::sharedApplication()->setURLHandler(
        [](const NSURL& url) { return url.scheme() == "https"; });
    page->tapSpecifier(page->specifierForName("Website"));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs(),
              std::vector<std::string>{"https://example.com/"});
}

TEST_F(AppListPageTest, ShowPreferencesPushesTheEntryRowsPage) {
    auto page =
        openPage(withPath("ALSectionDescriptors = ( { items = ( { text = More; action = showPreferences;"
                          " entry = { detail = MYMoreController; }; } ); } );"));
    page->tapSpecifier(page->specifierForName("More"));
    auto more = std::dynamic_pointer_cast<PSMissingCodeController>(navigation->topViewController());
    ASSERT_TRUE(more);
    EXPECT_EQ(more->missingClass(), "MYMoreController");
    EXPECT_EQ(more->title(), "More");
}

TEST_F(AppListPageTest, PathsOutsideTheMobileFolderAreRefusedAndNothingIsWrittenOrPosted) {
    for (const char* path :
         {"/etc/passwd", "/var/mobile/../root/x.plist", "/var/mobile//x.plist", "/var/mobile/./x.plist",
          "var/mobile/x.plist", "/var/mobile/dir/", "/var/mobilex/y.plist"})
        EXPECT_FALSE(AppListSettingsStore::checkedPath(PlistValue(path))) << path;
    EXPECT_FALSE(AppListSettingsStore::checkedPath(PlistValue()));
    EXPECT_EQ(AppListSettingsStore::checkedPath(PlistValue(std::string(kFile))).valueOr(""), kFile);

    auto page = openPage("ALSettingsPath = \"/var/mobile/../../etc/evil.plist\";");
    setSwitchAsScript(*page, "Messages", true);
    EXPECT_FALSE(device.exists("/etc/evil.plist"));
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    EXPECT_EQ(device.countLog("AppList: couldn't save com.apple.MobileSMS: the ALSettingsPath"), 1u);
    EXPECT_FALSE(std::dynamic_pointer_cast<UISwitch>(cellOf(*page, "Messages")->accessoryView())->isOn());

    page = openPage("");
    setSwitchAsScript(*page, "Messages", true);
    EXPECT_EQ(device.countLog("AppList: couldn't save com.apple.MobileSMS: the row has no ALSettingsPath"),
              1u);
}

TEST_F(AppListPageTest, AFileThatIsNotADictionaryIsLeftAsItIs) {
    device.write(kFile, "not a property list");
    auto page = openPage(withPath());
    setSwitchAsScript(*page, "Messages", true);
    EXPECT_EQ(device.read(kFile), "not a property list");
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
}

} // namespace
