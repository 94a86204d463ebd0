// The window's watcher on the manual clock: when a saved bundle is re-read and when the title
// follows the device's notifications. The window's own loop runs it under Xvfb in tests/e2e.

#include "sim/screen/SimWindowWatcher.h"

#include "platform/dispatch/NSRunLoop.h"
#include "sim/settings/SettingsApp.h"
#include "sim/settings/Simulator.h"
#include "sim/tools/InstallCommand.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(SimWindowWatcherTest, ASavedPageIsReReadAtTheNextQuarterSecondAndTheTitleFollowsNotifications) {
    SampleDeviceCopy device;
    Simulator sim(offlineOptions(device.root()));
    sim.settings().openBundle("Dimmer");
    sim.runUntilIdle();
    std::vector<std::string> titles;
    SimWindowWatcher watcher(NSRunLoop::main(), sim.settings(),
                             [&](const std::string& title) { titles.push_back(title); });
    sim.runUntilIdle(); // the first look starts watching
    sim.advanceBy(0.1);

    const std::string root = "/Library/PreferenceBundles/DimmerPrefs.bundle/Root.plist";
    std::string text = device.read(root);
    text.replace(text.find("<string>Enabled</string>"), 25, "<string>Switched On</string>");
    device.write(root, text);
    // Polled at 0.25 s: the change made at 0.1 s is seen then, not before.
    sim.advanceBy(0.14);
    EXPECT_EQ(watcher.reloads(), 0u);
    sim.advanceBy(0.02);
    EXPECT_EQ(watcher.reloads(), 1u);
    EXPECT_TRUE(sim.settings().visibleList()->specifierForName("Switched On"));
    // Nothing changed since: no more re-reads.
    sim.advanceBy(1);
    EXPECT_EQ(watcher.reloads(), 1u);

    EXPECT_TRUE(titles.empty());
    sim.settings().set("Switched On", "off");
    sim.advanceBy(SimWindowWatcher::kInterval);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles.back(), "orbitchat-sim - posted com.example.dimmer/changed");
}

TEST(SimWindowWatcherTest, GoingBackAfterAChangeShowsTheSavedParentPage) {
    SampleDeviceCopy device;
    Simulator sim(offlineOptions(device.root()));
    sim.settings().openBundle("Dimmer");
    sim.runUntilIdle();
    SimWindowWatcher watcher(NSRunLoop::main(), sim.settings(), nullptr);
    sim.runUntilIdle();
    sim.settings().tap("Tint"); // the choice page, a page of the same bundle's list
    sim.runUntilIdle();
    sim.advanceBy(SimWindowWatcher::kInterval);

    const std::string root = "/Library/PreferenceBundles/DimmerPrefs.bundle/Root.plist";
    std::string text = device.read(root);
    text.replace(text.find("<string>Level</string>"), 22, "<string>Strength</string>");
    device.write(root, text);
    sim.advanceBy(SimWindowWatcher::kInterval);
    sim.settings().tap("Dimmer");
    sim.runUntilIdle();
    EXPECT_TRUE(sim.settings().visibleList()->specifierForName("Strength"));
}

TEST(SimWindowWatcherTest, AProjectsSavedResourcesAndEntryAreInstalledAgainAndThePageReloads) {
    SampleDeviceCopy device;
    TempDeviceRoot project;
    project.write("/Makefile", "SUBPROJECTS = prefs\n");
    project.write("/prefs/Makefile", "BUNDLE_NAME = LivePrefs\nLivePrefs_RESOURCE_DIRS = Pages\n");
    project.write("/prefs/Pages/Root.plist", "{ items = ( { cell = PSSwitchCell; label = Before; key = k; "
                                             "defaults = com.example.live; } ); }");
    project.write("/prefs/entry.plist",
                  "{ entry = { bundle = LivePrefs; cell = PSLinkCell; isController = 1; label = Live; }; }");
    Simulator::Options options = offlineOptions(device.root());
    BundleInput keep;
    std::ostringstream note;
    ASSERT_TRUE(prepareBundleInput(project.path(), "", "", "", options, keep, note, false));
    ASSERT_TRUE(options.projectBundle);
    Simulator sim(options);
    sim.settings().open();
    sim.runUntilIdle();
    SimWindowWatcher watcher(NSRunLoop::main(), sim.settings(), nullptr);
    watcher.followProject(*options.projectBundle, options.deviceRoot);
    sim.runUntilIdle(); // the first look starts watching the project
    EXPECT_TRUE(sim.settings().visibleList()->specifierForName("Before"));

    // A file elsewhere in the project (a build's output) changes nothing.
    project.write("/prefs/LiveRootListController.o", "object");
    sim.advanceBy(SimWindowWatcher::kInterval);
    EXPECT_EQ(watcher.reloads(), 0u);

    project.write("/prefs/Pages/Root.plist", "{ items = ( { cell = PSSwitchCell; label = After; key = k; "
                                             "defaults = com.example.live; } ); }");
    sim.advanceBy(SimWindowWatcher::kInterval);
    EXPECT_EQ(watcher.reloads(), 1u);
    EXPECT_NE(device.read("/Library/PreferenceBundles/LivePrefs.bundle/Root.plist").find("After"),
              std::string::npos);
    EXPECT_TRUE(sim.settings().visibleList()->specifierForName("After"));
    // Still the page opened from Settings: the stack stays.
    EXPECT_EQ(sim.settings().navigationController()->viewControllers().size(), 2u);

    // A new language folder is followed, and the entry file too.
    project.write("/prefs/Pages/de.lproj/Root.strings", "\"After\" = \"Danach\";");
    sim.advanceBy(SimWindowWatcher::kInterval);
    EXPECT_EQ(watcher.reloads(), 2u);
    EXPECT_TRUE(device.exists("/Library/PreferenceBundles/LivePrefs.bundle/de.lproj/Root.strings"));
    project.write(
        "/prefs/entry.plist",
        "{ entry = { bundle = LivePrefs; cell = PSLinkCell; isController = 1; label = Lively; }; }");
    sim.advanceBy(SimWindowWatcher::kInterval);
    EXPECT_EQ(watcher.reloads(), 3u);
    EXPECT_NE(device.read("/Library/PreferenceLoader/Preferences/entry.plist").find("Lively"),
              std::string::npos);
}

} // namespace
