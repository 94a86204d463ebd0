#include "pane/PaneTestSupport.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIScreen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override { installPaneTestBundle(device); }
    std::shared_ptr<UIAlertController> presentedAlert(OpenPane& p) {
        return std::dynamic_pointer_cast<UIAlertController>(p.pane->presentedViewController());
    }
    DeviceFixture device;
};

std::vector<std::pair<std::string, std::int64_t>> actionsOf(const UIAlertController& alert) {
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const auto& a : alert.actions())
        out.emplace_back(a->title(), a->style());
    return out;
}

TEST_F(PaneTest, NoExtensionsAlertAtViewLoadAndShowMeOpensTheCatalogue) {
    OpenPane p;
    auto alert = presentedAlert(p);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "No Extensions!");
    EXPECT_EQ(
        alert->message(),
        "You'll need to install some extensions for chatheads to work! Each supported chat app has it's own "
        "extension to prevent everything from breaking if one extension becomes outdated.");
    EXPECT_EQ(alert->preferredStyle(), UIAlertControllerStyleAlert);
    EXPECT_EQ(actionsOf(*alert),
              (std::vector<std::pair<std::string, std::int64_t>>{{"Show Me!", 0}, {"Dismiss", 1}}));
    // The plist's rows alone, with the first footer left as the plist has it.
    EXPECT_THAT(p.titles(), ElementsAre("Extensions", "General", "Enabled", "Support"));
    EXPECT_EQ(p.pane->specifiers()->front()->propertyForKey("footerText"), PlistValue("Install some"));

    alert->performAction(alert->actionWithTitle("Show Me!"));
    device.loop()->runUntilIdle();
    auto nav = std::dynamic_pointer_cast<UINavigationController>(p.pane->presentedViewController());
    ASSERT_TRUE(nav);
    EXPECT_EQ(nav->topViewController()->className(), "ExtensionsTableViewController");
    EXPECT_EQ(nav->topViewController()->title(), "Available Extensions");
    EXPECT_EQ(nav->topViewController()->navigationItem()->prompt(), "Tap an Extension to View it in Cydia");
    auto close = nav->topViewController()->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->title(), "Close");
    EXPECT_EQ(close->style(), UIBarButtonItemStyleDone);
    UIApplication::sharedApplication()->sendAction(close->action(), close->target(), close);
    device.loop()->runUntilIdle();
    EXPECT_FALSE(p.pane->presentedViewController());
}

TEST_F(PaneTest, DismissOnlyClosesTheAlert) {
    OpenPane p;
    auto alert = presentedAlert(p);
    alert->performAction(alert->actionWithTitle("Dismiss"));
    device.loop()->runUntilIdle();
    EXPECT_FALSE(p.pane->presentedViewController());
    EXPECT_TRUE(DeviceSpawn::records().empty());
}

TEST_F(PaneTest, ViewLoadSetsBarButtonTableAndConfettiArea) {
    OpenPane p;
    auto button = p.pane->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->title(), "Respring");
    EXPECT_EQ(button->style(), UIBarButtonItemStylePlain);
    EXPECT_EQ(button->action(), "confirmRespring:");
    EXPECT_EQ(button->target(), p.pane);
    EXPECT_EQ(p.pane->table()->keyboardDismissMode(), UIScrollViewKeyboardDismissModeOnDrag);

    auto area = p.pane->confettiArea();
    ASSERT_TRUE(area);
    EXPECT_EQ(area->frame(), UIScreen::mainScreen()->bounds());
    EXPECT_FALSE(area->isUserInteractionEnabled());
    EXPECT_EQ(area->delegate().get(), static_cast<OCConfettiAreaDelegate*>(p.pane.get()));
    // Directly above the table in the table's superview.
    const auto& siblings = p.pane->table()->superview()->subviews();
    auto table = std::find(siblings.begin(), siblings.end(), p.pane->table());
    ASSERT_NE(table, siblings.end());
    ASSERT_NE(table + 1, siblings.end());
    EXPECT_EQ(*(table + 1), area);
}

TEST_F(PaneTest, AppRowsFollowTheFirstRowInDiscoveryOrderSkippingRecordsWithoutApps) {
    device.addApp("com.a", {{"CFBundleDisplayName", "Alpha"}});
    device.addApp("com.b", {{"CFBundleDisplayName", "Beta"}, {"CFBundleIconFile", "Icon"}});
    device.write("/Applications/com.b.app/Icon@2x.png", DeviceFixture::png(58));
    device.addExtension("OCSupportA.dylib", {"com.a"});
    device.addExtension("OCSupportB.dylib", {"com.b"});
    device.addExtension("OCSupportX.dylib", {"com.not.installed"});
    OpenPane p;
    EXPECT_FALSE(p.pane->presentedViewController());
    EXPECT_THAT(p.titles(), ElementsAre("Extensions", "Alpha", "Beta", "General", "Enabled", "Support"));
    auto rows = p.pane->specifiers();
    EXPECT_EQ((*rows)[0]->propertyForKey("footerText"), PlistValue(""));
    const auto& alpha = (*rows)[1];
    EXPECT_EQ(alpha->propertyForKey("key"), PlistValue("com.a"));
    EXPECT_EQ(alpha->cellType(), PSStaticTextCell);
    EXPECT_TRUE(alpha->getter().empty());
    EXPECT_EQ(alpha->setter(), "setValue:forSpecifier:");
    EXPECT_FALSE(alpha->propertyForKey("iconImage"));
    auto icon = (*rows)[2]->propertyForKey("iconImage").objectAs<UIImage>();
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), CGSizeMake(29, 29));
    // A second call without a reload gives the same list: no App row twice.
    EXPECT_EQ(p.pane->specifiers(), rows);
    p.pane->reloadSpecifiers();
    EXPECT_EQ(p.titles().size(), 6u);
    // The App row's setter has no "defaults" to write to: nothing happens.
    device.clearLog();
    p.pane->setValueForSpecifier(PlistValue(true), alpha);
    EXPECT_TRUE(device.log().empty());
}

TEST_F(PaneTest, RespringConfirmationSpawnsOnlyOnRespring) {
    OpenPane p;
    presentedAlert(p)->performAction(presentedAlert(p)->actionWithTitle("Dismiss"));
    device.loop()->runUntilIdle();

    int resprings = 0;
    Subscription respringHandler = DeviceSpawn::setRespringHandler([&] { ++resprings; });
    auto button = p.pane->navigationItem()->rightBarButtonItem();
    UIApplication::sharedApplication()->sendAction(button->action(), button->target(), button);
    auto alert = presentedAlert(p);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Alert");
    EXPECT_EQ(alert->message(), "Are you sure you want to respring?");
    EXPECT_EQ(actionsOf(*alert),
              (std::vector<std::pair<std::string, std::int64_t>>{{"Cancel", 1}, {"Respring", 2}}));
    alert->performAction(alert->actionWithTitle("Cancel"));
    device.loop()->runUntilIdle();
    EXPECT_TRUE(DeviceSpawn::records().empty());

    UIApplication::sharedApplication()->sendAction(button->action(), button->target(), button);
    presentedAlert(p)->performAction(presentedAlert(p)->actionWithTitle("Respring"));
    device.loop()->runUntilIdle();
    auto records = DeviceSpawn::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].path, "/usr/bin/killall");
    EXPECT_THAT(records[0].argv, ElementsAre("killall", "backboardd"));
    EXPECT_EQ(resprings, 1);
}

TEST_F(PaneTest, BurstThrowsAtOnceAndAsksToRespringOneSecondLater) {
    OpenPane p;
    presentedAlert(p)->performAction(presentedAlert(p)->actionWithTitle("Dismiss"));
    device.loop()->runUntilIdle();

    p.pane->burst();
    EXPECT_EQ(p.pane->confettiArea()->colors(), OCConfettiArea::defaultColors());
    dispatch_global_queue_drain_for_testing();
    device.loop()->runUntilIdle();
    // 60 pieces of width 10 from the area's centre, on screen at once.
    auto pieces = p.pane->confettiArea()->confettiObjects();
    ASSERT_EQ(pieces.size(), 60u);
    for (const auto& piece : pieces) {
        CGRect f = piece->confettiView()->frame();
        EXPECT_NEAR(f.origin.x, p.pane->confettiArea()->center().x, 1e-9);
        EXPECT_NEAR(f.origin.y, p.pane->confettiArea()->center().y, 1e-9);
        EXPECT_GE(f.size.width, 5.0);
        EXPECT_LE(f.size.width, 12.0);
        EXPECT_EQ(piece->confettiView()->superview(), p.pane->confettiArea());
    }

    device.loop()->advanceBy(0.999);
    EXPECT_FALSE(p.pane->presentedViewController());
    device.loop()->advanceBy(0.001);
    auto alert = presentedAlert(p);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Please Respring!");
    EXPECT_FALSE(alert->message());
    EXPECT_EQ(actionsOf(*alert),
              (std::vector<std::pair<std::string, std::int64_t>>{{"Later", 1}, {"Respring", 2}}));
    alert->performAction(alert->actionWithTitle("Later"));
    device.loop()->runUntilIdle();
    EXPECT_TRUE(DeviceSpawn::records().empty());

    p.pane->burst();
    device.loop()->advanceBy(1);
    presentedAlert(p)->performAction(presentedAlert(p)->actionWithTitle("Respring"));
    device.loop()->runUntilIdle();
    ASSERT_EQ(DeviceSpawn::records().size(), 1u);
    EXPECT_THAT(DeviceSpawn::records()[0].argv, ElementsAre("killall", "backboardd"));
}

TEST_F(PaneTest, SupportAlertPagesAndMailComposer) {
    OpenPane p;
    presentedAlert(p)->performAction(presentedAlert(p)->actionWithTitle("Dismiss"));
    device.loop()->runUntilIdle();

    // Tapping the "Support" row calls support: by selector, as the framework does.
    p.pane->performButtonAction(p.pane->specifierForName("Support"));
    auto alert = presentedAlert(p);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), OrbitchatPreferencesController::endpoints().supportEmail);
    EXPECT_EQ(alert->message(),
              "If you're experiencing crashes, please install CrashReporter and send the crash logs.");
    EXPECT_EQ(actionsOf(*alert), (std::vector<std::pair<std::string, std::int64_t>>{{"Ok", 1}}));
    // The mail composer's delegate call dismisses what the pane presents.
    p.pane->mailComposeController(nullptr, 0, nullptr);
    device.loop()->runUntilIdle();
    EXPECT_FALSE(p.pane->presentedViewController());

    Subscription urlHandler = UIApplication::sharedApplication()->setURLHandler(
        [](const NSURL& url) { return url.scheme() == "https"; });
    p.pane->followOnTwitter(nullptr);
    p.pane->followTavinOnTwitter(nullptr);
    p.pane->makeDonation(nullptr);
    auto e = OrbitchatPreferencesController::endpoints();
    EXPECT_THAT(UIApplication::sharedApplication()->openedURLs(),
                ElementsAre(e.makerProfileURL, e.secondProfileURL, e.donationURL));
    for (const auto& url : UIApplication::sharedApplication()->openedURLs())
        EXPECT_NE(url.find(".example/"), std::string::npos) << url;
}

TEST_F(PaneTest, APageTheDeviceCannotOpenIsLoggedNotOpened) {
    OpenPane p;
    // No handler: the device has nothing that opens a web page.
    device.clearLog();
    p.pane->makeDonation(nullptr);
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    EXPECT_EQ(device.log(),
              std::vector<std::string>{"[OC] could not open " +
                                       OrbitchatPreferencesController::endpoints().donationURL});
}

TEST_F(PaneTest, RowsAskedBeforeViewLoadHoldThePlistAlone) {
    device.addApp("com.a", {{"CFBundleDisplayName", "Alpha"}});
    device.addExtension("OCSupportA.dylib", {"com.a"});
    auto pane = OrbitchatPreferencesController::create();
    auto nav = UINavigationController::create(pane);
    auto early = pane->specifiers();
    ASSERT_TRUE(early);
    EXPECT_EQ(early->size(), 4u);
    pane->loadViewIfNeeded();
    EXPECT_EQ(pane->specifiers()->size(), 5u);
}

TEST_F(PaneTest, MissingSpecifierPlistGivesNoRows) {
    PSListController::setBundlePath(device.host("/nowhere"));
    OpenPane p;
    EXPECT_FALSE(p.pane->specifiers());
}

} // namespace
