#include "pane/PaneTestSupport.h"

#include "pane/PreferenceFilePath.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/prefs/PSSpecifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kPrefs = "/var/mobile/Library/Preferences";

class ValueStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        installPaneTestBundle(device);
        device.mkdirs(kPrefs);
        pane = OrbitchatPreferencesController::create();
    }
    std::shared_ptr<PSSpecifier> row(PlistValue key, PlistValue defaults) {
        auto s = PSSpecifier::preferenceSpecifierNamed(
            "Row", pane, "setValue:forSpecifier:", "getValueForSpecifier:", {}, PSSwitchCell, {});
        s->setProperty(key, "key");
        s->setProperty(defaults, "defaults");
        return s;
    }
    DeviceFixture device;
    std::shared_ptr<OrbitchatPreferencesController> pane;
};

TEST(PreferenceFilePathTest, ResolvesNamesPathsAndAlwaysAppendsTheExtension) {
    EXPECT_EQ(OrbitchatPreferenceFilePath("com.x"), "/var/mobile/Library/Preferences/com.x.plist");
    EXPECT_EQ(OrbitchatPreferenceFilePath("/var/tmp/x"), "/var/tmp/x.plist");
    EXPECT_EQ(OrbitchatPreferenceFilePath("com.x.plist"),
              "/var/mobile/Library/Preferences/com.x.plist.plist");
    EXPECT_EQ(OrbitchatPreferenceFilePath(""), "/var/mobile/Library/Preferences/.plist");
}

TEST_F(ValueStoreTest, ReadsDescriptionTextAndLogsTheRead) {
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("on", true);
    prefs.set("name", "Chat");
    prefs.set("size", 3);
    prefs.set("scale", 0.5);
    device.writePlist(std::string(kPrefs) + "/com.x.plist", prefs);

    EXPECT_EQ(pane->getValueForSpecifier(row("on", "com.x")), PlistValue("1"));
    EXPECT_EQ(pane->getValueForSpecifier(row("name", "com.x")), PlistValue("Chat"));
    EXPECT_EQ(pane->getValueForSpecifier(row("size", "com.x")), PlistValue("3"));
    EXPECT_EQ(pane->getValueForSpecifier(row("scale", "com.x")), PlistValue("0.5"));
    ASSERT_FALSE(device.log().empty());
    EXPECT_EQ(device.log()[0],
              "[OC] read key 'on' with value '1' from plist '/var/mobile/Library/Preferences/com.x.plist'");
}

TEST_F(ValueStoreTest, MissingValuesAnswerNoneAndLogTheRow) {
    // The row's declared default is not applied by the store.
    auto missingKey = row("absent", "com.x");
    missingKey->setProperty(true, "default");
    device.writePlist(std::string(kPrefs) + "/com.x.plist", PlistValue::dictionary());
    EXPECT_TRUE(pane->getValueForSpecifier(missingKey).isNone());
    EXPECT_TRUE(pane->getValueForSpecifier(row("k", "no.file")).isNone());
    device.write(std::string(kPrefs) + "/garbage.plist", "not a plist at all");
    EXPECT_TRUE(pane->getValueForSpecifier(row("k", "garbage")).isNone());
    EXPECT_EQ(device.countLog("[OC] no value for app spec: <PSSpecifier 0x"), 3u);
    EXPECT_NE(device.log()[0].find("ID Row"), std::string::npos) << device.log()[0];

    // No "defaults": none, and nothing logged.
    device.clearLog();
    EXPECT_TRUE(pane->getValueForSpecifier(row("k", PlistValue())).isNone());
    EXPECT_TRUE(device.log().empty());
}

TEST_F(ValueStoreTest, WritesChangeOneKeyKeepOthersAndCreateMissingFiles) {
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("keep", "me");
    prefs.set("on", false);
    std::string path = std::string(kPrefs) + "/com.x.plist";
    device.writePlist(path, prefs);

    pane->setValue(PlistValue(true), row("on", "com.x"));
    PlistValue after = device.readPlist(path);
    EXPECT_EQ(after.get("keep"), PlistValue("me"));
    EXPECT_EQ(after.get("on"), PlistValue(true)); // stays a boolean, not "1"
    EXPECT_EQ(after.count(), 2u);
    EXPECT_EQ(device.log().back(), "[OC] saved key 'on' with value '1' to plist '" + path + "'");

    pane->setValue(PlistValue(0.25), row("scale", "/var/mobile/custom"));
    PlistValue created = device.readPlist("/var/mobile/custom.plist");
    EXPECT_EQ(created.count(), 1u);
    EXPECT_EQ(created.get("scale"), PlistValue(0.25));
    // Read back through the getter: the description text.
    EXPECT_EQ(pane->getValueForSpecifier(row("scale", "/var/mobile/custom")), PlistValue("0.25"));
}

TEST_F(ValueStoreTest, FilesThatAreNotDictionariesStayByteForByte) {
    std::string path = std::string(kPrefs) + "/bad.plist";
    const std::string arrayList = writePropertyListXML(PlistValue::array({PlistValue(1)})).bytes;
    const std::string unreadable =
        "the file cannot be read: The data couldn’t be read because it isn’t in the correct format (";
    const std::pair<std::string, std::string> files[] = {
        {"garbage \x01\x02", unreadable + "old-style list: unexpected text after the list at offset 8)."},
        {arrayList, "the file holds an array, not a dictionary"},
        {"bplist00\xff", unreadable + "binary list: too short)."},
    };
    for (const auto& [content, why] : files) {
        device.write(path, content);
        auto reloads = pane->table()->reloadCount();
        device.clearLog();
        pane->setValue(PlistValue("v"), row("k", "bad"));
        // The rows are shown afresh, so a switch that could not be saved shows what is stored.
        EXPECT_GT(pane->table()->reloadCount(), reloads);
        EXPECT_EQ(device.read(path), content);
        // Nothing was stored, and the log says so rather than claiming a save.
        EXPECT_EQ(device.countLog("[OC] saved key"), 0u);
        EXPECT_EQ(device.log(), std::vector<std::string>{"[OC] did not save key 'k' with value 'v' to plist "
                                                         "'/var/mobile/Library/Preferences/bad.plist': " +
                                                         why});
    }
    // Loading the view presented "No Extensions!", whose actions hold the pane until it goes.
    pane->dismissViewControllerAnimated(false, nullptr);
    device.loop()->runUntilIdle();
}

TEST_F(ValueStoreTest, ASetKeepsEveryOtherValueOfTheFileExactly) {
    // Values another program stored that XML text cannot give back: the file is kept in the
    // binary form instead of every later save failing or losing them.
    std::string path = std::string(kPrefs) + "/com.x.plist";
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("big", PlistValue::unsignedInteger(UINT64_MAX));
    prefs.set("old", PlistValue(NSDate{-63113904000.0}));
    prefs.set("bell", "ding\a");
    prefs.set("nan", std::numeric_limits<double>::quiet_NaN());
    std::string bytes = writePropertyList(prefs).bytes;
    ASSERT_TRUE(bytes.starts_with("bplist00"));
    device.write(path, bytes);
    device.clearLog();
    pane->setValue(PlistValue(true), row("on", "com.x"));
    EXPECT_EQ(device.countLog("[OC] saved key 'on' with value '1'"), 1u);
    PlistValue stored = NSDictionary::dictionaryWithContentsOfFile(path);
    EXPECT_EQ(stored.get("on"), PlistValue(true));
    EXPECT_EQ(stored.get("big").unsignedValue(), UINT64_MAX);
    EXPECT_TRUE(stored.get("big").isUnsignedInteger());
    EXPECT_EQ(stored.get("old"), PlistValue(NSDate{-63113904000.0}));
    EXPECT_EQ(stored.get("bell"), PlistValue("ding\a"));
    EXPECT_TRUE(std::isnan(stored.get("nan").doubleValue()));
}

TEST_F(ValueStoreTest, WritesWithoutValueKeyOrDefaultsDoNothingAndLogNothing) {
    std::string path = std::string(kPrefs) + "/com.x.plist";
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("k", "old");
    device.writePlist(path, prefs);
    std::string before = device.read(path);
    device.clearLog();

    pane->setValue(PlistValue(), row("k", "com.x"));                // no value: the old one stays
    pane->setValue(PlistValue("new"), row(PlistValue(), "com.x"));  // no key
    pane->setValue(PlistValue("new"), row(PlistValue(7), "com.x")); // a key that is not a string
    pane->setValue(PlistValue("new"), row("k", PlistValue()));      // no file named
    pane->setValue(PlistValue(std::make_shared<NSObject>()), row("k", "com.x")); // not storable
    pane->setValue(PlistValue("new"), nullptr);
    EXPECT_EQ(device.read(path), before);
    EXPECT_TRUE(device.log().empty());
    EXPECT_FALSE(device.exists(std::string(kPrefs) + "/.plist"));
}

TEST_F(ValueStoreTest, ReadOnlyPreferencesFolderKeepsTheOldFileWhole) {
    std::string path = std::string(kPrefs) + "/com.x.plist";
    PlistValue prefs = PlistValue::dictionary();
    prefs.set("k", "old");
    device.writePlist(path, prefs);
    std::string before = device.read(path);
    chmod(device.host(kPrefs).c_str(), 0555);
    EXPECT_EXIT(
        {
            if (!device.becomeNobody())
                std::_Exit(3);
            pane->setValue(PlistValue("new"), row("k", "com.x"));
            // The failure is logged with its reason and the device path, never as a save.
            auto lines = device.log();
            bool logged = device.countLog("[OC] saved key") == 0 && lines.size() == 1 &&
                          lines[0].rfind("[OC] did not save key 'k' with value 'new' to plist "
                                         "'/var/mobile/Library/Preferences/com.x.plist': ",
                                         0) == 0 &&
                          lines[0].find("permission") != std::string::npos &&
                          lines[0].find(device.root()) == std::string::npos;
            std::_Exit(logged ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(device.host(kPrefs).c_str(), 0755);
    EXPECT_EQ(device.read(path), before);
    EXPECT_EQ(device.names(kPrefs).size(), 1u); // no temporary file left behind
}

TEST_F(ValueStoreTest, PathsThatClimbOutOfTheDeviceAreRefused) {
    pane->setValue(PlistValue("x"), row("k", "../../../../../../escape"));
    pane->setValue(PlistValue("x"), row("k", "/../../outside"));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(device.root()).parent_path() / "escape.plist"));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(device.root()).parent_path() / "outside.plist"));
}

TEST_F(ValueStoreTest, NamesThatLeaveThePreferencesFolderAreNeitherReadNorWritten) {
    // A file just outside the folder, which a name climbing out of it would reach.
    PlistValue outside = PlistValue::dictionary();
    outside.set("k", "secret");
    device.writePlist("/var/mobile/Library/outside.plist", outside);
    const std::string before = device.read("/var/mobile/Library/outside.plist");
    device.clearLog();

    EXPECT_TRUE(pane->getValueForSpecifier(row("k", "../outside")).isNone());
    pane->setValue(PlistValue("x"), row("k", "../outside"));
    EXPECT_EQ(device.read("/var/mobile/Library/outside.plist"), before);
    EXPECT_EQ(device.log(), (std::vector<std::string>{
                                device.log().front(), // the row's "no value" line
                                "[OC] did not save key 'k' with value 'x' to plist "
                                "'/var/mobile/Library/Preferences/../outside.plist': the \"defaults\" "
                                "\"../outside\" is not allowed: the name leads out of the preferences folder",
                            }));
    EXPECT_EQ(device.countLog("[OC] no value for app spec"), 1u);

    // A subfolder of the folder is still the pane's to use.
    device.mkdirs(std::string(kPrefs) + "/sub");
    pane->setValue(PlistValue("y"), row("k", "sub/inside"));
    EXPECT_EQ(device.readPlist(std::string(kPrefs) + "/sub/inside.plist").get("k"), PlistValue("y"));
}

TEST_F(ValueStoreTest, RowsCallTheStoreBySelector) {
    pane->setValueForSpecifier(PlistValue(true), row("on", "com.x"));
    EXPECT_EQ(pane->valueForSpecifier(row("on", "com.x")), PlistValue("1"));
}

} // namespace
