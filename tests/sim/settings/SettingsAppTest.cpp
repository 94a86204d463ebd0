// The Settings app around any bundle: the list of tweaks that the device's entries make, bundles
// opened as the device opens them, the script commands and dump fields for them, and what a
// placeholder row looks like.

#include "sim/settings/SettingsApp.h"

#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSMissingCodeController.h"
#include "platform/ui/UITableViewContentView.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/BundleLiveReload.h"
#include "sim/settings/Simulator.h"

#include "../SimTestSupport.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

json lastDump(const std::string& out) {
    auto dumps = splitDumps(out);
    return dumps.empty() ? json() : dumps.back();
}

json rowTitled(const json& dump, const std::string& title) {
    for (const auto& row : dump["rows"])
        if (row["title"] == title)
            return row;
    return json();
}

class SettingsAppTest : public ::testing::Test {
protected:
    std::optional<ScriptError> run(const std::string& script, std::string& out) {
        Simulator::Options options;
        options.deviceRoot = device.root();
        options.offline = true;
        options.preferenceBundle = preferenceBundle;
        options.language = language;
        options.model = model;
        return runSimScript(options, script, out);
    }
    SampleDeviceCopy device;
    std::string preferenceBundle, language, model;
};

TEST_F(SettingsAppTest, TheListOfTweaksComesFromTheEntriesOfBothLayoutsSortedByLabel) {
    // An entry whose label sorts between the others, with no icon; an entry file that is not one.
    device.write(
        "/Library/PreferenceLoader/Preferences/Zed.plist",
        "{ entry = { cell = PSLinkCell; label = \"early bird\"; }; title = Early; "
        "items = ({ cell = PSSwitchCell; label = Worm; key = worm; defaults = com.bird; default = 1; }); }");
    device.write("/var/jb/Library/PreferenceLoader/Preferences/Broken.plist", "<?xml garbage");
    std::string out;
    ASSERT_FALSE(run("open settings\ndump\n", out));
    json d = lastDump(out);
    EXPECT_EQ(d["title"], "Settings");
    std::vector<std::string> titles;
    for (const auto& row : d["rows"])
        if (row["cell"] != "PSGroupCell")
            titles.push_back(row["title"]);
    // Case does not count in the order; the rootless entry (Quiet Hours) is there too.
    EXPECT_EQ(titles, (std::vector<std::string>{"Dimmer", "early bird", "Glow", "Orbitchat", "Quiet Hours"}));
    EXPECT_TRUE(rowTitled(d, "Orbitchat")["hasIcon"].get<bool>());
    EXPECT_TRUE(rowTitled(d, "Quiet Hours")["hasIcon"].get<bool>());
    EXPECT_FALSE(rowTitled(d, "early bird")["hasIcon"].get<bool>());
    bool saidWhy = false;
    for (const auto& line : d["log"])
        saidWhy |= line.get<std::string>().rfind("Settings: the entry /var/jb/Library/PreferenceLoader/"
                                                 "Preferences/Broken.plist cannot be shown",
                                                 0) == 0;
    EXPECT_TRUE(saidWhy);

    // An entry with its rows in the entry file itself opens the framework's list on that file.
    ASSERT_FALSE(run("open bundle \"early bird\"\ndump\n", out));
    d = lastDump(out);
    EXPECT_EQ(d["title"], "Early");
    EXPECT_EQ(rowTitled(d, "Worm")["value"], "on");
}

TEST_F(SettingsAppTest, ATapOpensEachKindOfEntryAndBackReturnsToTheList) {
    std::string out;
    ASSERT_FALSE(run("open settings\ntap Orbitchat\ndump\ntap Settings\ntap \"Quiet Hours\"\ndump\n"
                     "tap Settings\ntap Dimmer\ndump\n",
                     out));
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 3u);
    // The pane, from its bundle's principal class; its rows as its Parts define them.
    EXPECT_EQ(dumps[0]["title"], "Orbitchat");
    EXPECT_EQ(rowTitled(dumps[0], "Enabled")["cell"], "PSSwitchCell");
    // A bundle installed rootless, under /var/jb.
    EXPECT_EQ(dumps[1]["title"], "Quiet Hours");
    EXPECT_EQ(rowTitled(dumps[1], "Hours")["value"], "8");
    // A bundle whose principal class the simulator lacks: the framework's list of its Root.plist,
    // where the row of the bundle's own cell is drawn as its stock cell in that cell's place.
    EXPECT_EQ(dumps[2]["title"], "Dimmer");
    EXPECT_EQ(rowTitled(dumps[2], "Colour")["approximated"], "DMColorPickerCell");
    EXPECT_FALSE(rowTitled(dumps[2], "Colour").contains("placeholder"));
    EXPECT_FALSE(rowTitled(dumps[2], "Enabled").contains("approximated"));
}

TEST_F(SettingsAppTest, SetAndTapWorkOnAnyBundlesRowsAndTheDumpShowsValuesAndNotifications) {
    std::string out;
    ASSERT_FALSE(run("open bundle Dimmer\ndump\nset Enabled off\nset Level 0.77\nset Fade Fast\n"
                     "tap Tint\ntap \"Deep Red\"\ndump\ntap Dimmer\ndump\n",
                     out));
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 3u);
    // Defaults shown before anything is stored.
    EXPECT_EQ(rowTitled(dumps[0], "Enabled")["value"], "on");
    EXPECT_EQ(rowTitled(dumps[0], "Level")["value"], "0.4");
    EXPECT_EQ(rowTitled(dumps[0], "Tint")["value"], "Amber");
    EXPECT_EQ(rowTitled(dumps[0], "Fade")["value"], "Slow");
    EXPECT_TRUE(dumps[0]["notifications"].empty());
    // The choice page, with the current choice after the tap.
    EXPECT_EQ(dumps[1]["title"], "Tint");
    EXPECT_EQ(dumps[1]["rows"].size(), 4u);
    // Back on the page: what was stored, as the cells show it (the slider snapped to a step).
    EXPECT_EQ(rowTitled(dumps[2], "Enabled")["value"], "off");
    EXPECT_EQ(rowTitled(dumps[2], "Level")["value"], "0.8");
    EXPECT_EQ(rowTitled(dumps[2], "Fade")["stored"], 2);
    EXPECT_EQ(rowTitled(dumps[2], "Tint")["value"], "Red");
    EXPECT_EQ(dumps[2]["notifications"],
              json::array({"com.example.dimmer/changed", "com.example.dimmer/changed",
                           "com.example.dimmer/changed"}));
    PlistValue prefs = device.readPlist("/var/mobile/Library/Preferences/com.example.dimmer.plist");
    EXPECT_EQ(prefs.get("tint"), PlistValue("red"));
    EXPECT_EQ(prefs.get("fade"), PlistValue(2));
}

TEST_F(SettingsAppTest, RowsThatRequireHardwareShowOnlyOnModelsThatHaveIt) {
    std::string out;
    ASSERT_FALSE(run("open bundle \"Quiet Hours\"\ndump\n", out));
    EXPECT_EQ(rowTitled(lastDump(out), "Silence Calls Too")["value"], "on");
    model = "ipad";
    ASSERT_FALSE(run("open bundle \"Quiet Hours\"\ndump\n", out));
    json d = lastDump(out);
    EXPECT_TRUE(rowTitled(d, "Silence Calls Too").is_null());
    EXPECT_FALSE(rowTitled(d, "Hours").is_null());
}

TEST_F(SettingsAppTest, BadRequestsSayWhatIsThere) {
    std::string out;
    auto error = run("open bundle Nothing\n", out);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(),
              "line 1: the Settings list has no tweak \"Nothing\" (it has: \"Dimmer\", \"Glow\", "
              "\"Orbitchat\", \"Quiet Hours\")");
    error = run("open bundle Dimmer\nset Colour on\n", out);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "line 2: the row \"Colour\" is a PSLinkCell and holds no value to set");
    error = run("open settings everything\n", out);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text().rfind("line 1: open takes nothing, settings, or bundle", 0), 0u);
}

TEST_F(SettingsAppTest, APreferenceBundleFolderOpensAsTheDeviceWouldInTheDevicesLanguage) {
    preferenceBundle = device.host("/Library/PreferenceBundles/DimmerPrefs.bundle");
    language = "de";
    std::string out;
    ASSERT_FALSE(run("open\ndump\n", out));
    json d = lastDump(out);
    EXPECT_EQ(d["title"], "Dimmer");
    EXPECT_EQ(rowTitled(d, "Aktiviert")["value"], "on");
    EXPECT_EQ(rowTitled(d, "Tönung")["value"], "Bernstein");
    // A folder that holds no bundle the device can open says why.
    preferenceBundle = device.host("/var");
    auto error = run("open\n", out);
    ASSERT_TRUE(error);
    EXPECT_NE(error->text().find("nor a Root.plist"), std::string::npos) << error->text();
}

TEST_F(SettingsAppTest, ARespringBringsBackTheBundleThatWasOpenFromTheList) {
    std::string out;
    ASSERT_FALSE(run("open settings\ntap Orbitchat\ntap Respring\ntap Respring\nwait 2\ndump\n", out));
    json d = lastDump(out);
    EXPECT_EQ(d["title"], "Orbitchat");
    EXPECT_EQ(rowTitled(d, "Enabled")["cell"], "PSSwitchCell");
}

TEST_F(SettingsAppTest, ARowOfTheBundlesOwnCellIsItsStockCellWithAnOrangeCornerAndItsTapSaysWhatIsMissing) {
    Simulator::Options options;
    options.deviceRoot = device.root();
    options.offline = true;
    Simulator sim(options);
    SimScreen screen(sim);
    sim.settings().openBundle("Dimmer");
    sim.runUntilIdle();
    screen.update();
    auto at = screen.pointOfRow("Colour");
    ASSERT_TRUE(at);
    CGImageRef frame = screen.render();
    ASSERT_TRUE(frame);
    // An orange corner at the row's top left, none on a plain row; the row is a stock link row
    // (its chevron at the right).
    auto orange = [](const CGImage::Pixel& p) { return p.r > 200 && p.g > 80 && p.g < 160 && p.b < 60; };
    auto orangeNear = [&](const CGPoint& row) {
        int n = 0;
        for (int x = 0; x < 12; ++x)
            for (int y = int(row.y) - 24; y < int(row.y); ++y)
                n += orange(pixels::at(frame, x, y, 2)) ? 1 : 0;
        return n;
    };
    EXPECT_GT(orangeNear(*at), 10);
    auto plain = screen.pointOfRow("Starts at");
    ASSERT_TRUE(plain);
    EXPECT_EQ(orangeNear(*plain), 0);
    int chevron = 0;
    for (int x = 340; x < 365; ++x)
        for (int dy = -7; dy <= 7; ++dy)
            chevron += pixels::at(frame, x, at->y + dy, 2).r < 215 ? 1 : 0;
    EXPECT_GT(chevron, 4);
    // Its tap, the bundle's own code, opens a page that says so.
    sim.settings().tap("Colour");
    sim.runUntilIdle();
    auto page = std::dynamic_pointer_cast<PSMissingCodeController>(sim.settings().visibleList());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->missingClass(), "DMColorPickerCell");
    sim.settings().tap("Dimmer");
    sim.runUntilIdle();
    screen.update();
    frame = screen.render();

    // A link list shows its current choice as grey text at the right, left of its chevron.
    auto tint = screen.pointOfRow("Tint");
    ASSERT_TRUE(tint);
    auto grey = [](const CGImage::Pixel& p) {
        return p.r > 110 && p.r < 190 && std::abs(int(p.r) - int(p.g)) < 12 &&
               std::abs(int(p.g) - int(p.b)) < 16;
    };
    int right = 0, left = 0;
    for (int dy = -8; dy <= 8; ++dy) {
        for (int x = 280; x < 345; ++x)
            right += grey(pixels::at(frame, x, tint->y + dy, 2)) ? 1 : 0;
        for (int x = 100; x < 250; ++x)
            left += grey(pixels::at(frame, x, tint->y + dy, 2)) ? 1 : 0;
    }
    EXPECT_GT(right, 30);
    EXPECT_EQ(left, 0);
}

} // namespace

namespace {

TEST(BundleLiveReloadTest, SavingAFileOfTheShownBundleRereadsThePageAndKeepsItsScroll) {
    SampleDeviceCopy device;
    Simulator::Options options;
    options.deviceRoot = device.root();
    options.offline = true;
    options.screenHeight = 400; // the page scrolls
    Simulator sim(options);
    SimScreen screen(sim);
    sim.settings().openBundle("Dimmer");
    sim.runUntilIdle();
    screen.update();
    BundleLiveReload reload;
    EXPECT_FALSE(reload.poll(sim.settings())); // starts watching the shown bundle
    EXPECT_EQ(reload.watchedFolder(), device.host("/Library/PreferenceBundles/DimmerPrefs.bundle"));
    EXPECT_FALSE(reload.poll(sim.settings())); // nothing changed

    auto list = sim.settings().visibleList();
    auto face = UITableViewContentView::of(*list->table());
    ASSERT_TRUE(face);
    face->setContentOffset(CGPointMake(0, 100));
    screen.update();
    ASSERT_EQ(face->contentOffset().y, 100);
    const std::string root = "/Library/PreferenceBundles/DimmerPrefs.bundle/Root.plist";
    std::string text = device.read(root);
    text.replace(text.find("<string>Enabled</string>"), 25, "<string>Switched On</string>");
    device.write(root, text);
    EXPECT_TRUE(reload.poll(sim.settings()));
    screen.update();
    EXPECT_TRUE(list->specifierForName("Switched On"));
    EXPECT_EQ(face->contentOffset().y, 100);

    // A strings table added later (a new language folder) is seen too.
    NSBundle::setPreferredLanguages({"fr"});
    device.write("/Library/PreferenceBundles/DimmerPrefs.bundle/fr.lproj/Root.strings",
                 "\"Level\" = \"Niveau\";");
    EXPECT_TRUE(reload.poll(sim.settings()));
    EXPECT_TRUE(list->specifierForName("Niveau"));
}

} // namespace
