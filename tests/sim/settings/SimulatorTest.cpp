// A simulator is a device of its own: what one device was set up with, and whatever was changed on
// it while it ran, is gone when it goes; the next one starts from a device's defaults.

#include "sim/settings/Simulator.h"

#include "confetti/OCConfettiPieceTypes.h"
#include "platform/foundation/CFVersion.h"
#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIDevice.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIStatusBarOrientation.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITraitCollection.h"
#include "sim/script/ScriptRunner.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using nlohmann::json;

namespace {

// The titles of the rows of each bundle's page: Dimmer's, then Quiet Hours'.
std::vector<std::vector<std::string>> pages(Simulator& sim) {
    std::ostringstream out;
    auto error =
        ScriptRunner::runScript(sim, "open bundle Dimmer\ndump\nopen bundle \"Quiet Hours\"\ndump\n", out);
    EXPECT_FALSE(error) << error->text();
    std::vector<std::vector<std::string>> titles;
    for (const json& dump : splitDumps(out.str())) {
        titles.emplace_back();
        for (const auto& row : dump["rows"])
            if (row["title"].is_string())
                titles.back().push_back(row["title"]);
    }
    return titles;
}

bool has(const std::vector<std::string>& titles, const std::string& title) {
    return std::find(titles.begin(), titles.end(), title) != titles.end();
}

TEST(SimulatorTest, ASecondDeviceSeesNothingOfTheFirst) {
    SampleDeviceCopy firstRoot, secondRoot;
    NSBundle::setPreferredLanguages({"fr"}); // the test's own device, around both
    {
        Simulator::Options options;
        options.deviceRoot = firstRoot.path();
        options.offline = true;
        options.language = "de";
        options.model = "ipad";
        options.screenWidth = 414;
        options.screenHeight = 896;
        options.screenScale = 3;
        options.appearance = UIUserInterfaceStyleDark;
        options.seed = 7;
        Simulator first(options);
        EXPECT_EQ(NSFileManager::defaultManager()->deviceRoot(), firstRoot.path());
        EXPECT_EQ(NSBundle::preferredLanguages(), std::vector<std::string>{"de"});
        EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 414, 896));
        EXPECT_TRUE(UITraitCollection::isDark());
        EXPECT_EQ(DeviceRandom::currentSeed(), 7u);
        auto shown = pages(first);
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_TRUE(has(shown[0], "Aktiviert"));
        EXPECT_FALSE(has(shown[1], "Silence Calls Too")) << "an iPad has no telephony";

        // What the host, a script or a user changes on the device while it runs.
        UIDeviceTilt::set(1, -1);
        UISetStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
        CFSetCoreFoundationVersionNumber(kCFCoreFoundationVersionNumber_iOS_6_1);
        PSControllerClasses::registerClass("FirstOnlyController", [] { return PSListController::create(); });
        OCConfettiPieceTypes::registerType("FirstOnlyPiece",
                                           [](CGPoint, std::optional<UIColor>, double, std::int64_t) {
                                               return std::make_shared<NSObject>();
                                           });
        UIAppearance::appearance("UILabel").setColor("textColor", UIColor::redColor());
        PSListController::setBundlePath(firstRoot.path());
        auto field = UITextField::create(CGRectMake(0, 0, 100, 30));
        ASSERT_TRUE(field->becomeFirstResponder());
    }
    {
        Simulator::Options options;
        options.deviceRoot = secondRoot.path();
        options.offline = true;
        Simulator second(options);
        EXPECT_EQ(NSFileManager::defaultManager()->deviceRoot(), secondRoot.path());
        EXPECT_EQ(NSBundle::preferredLanguages(), std::vector<std::string>{"en"});
        EXPECT_EQ(UIDevice::model(), UIDeviceModel::iPhone);
        EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 375, 667));
        EXPECT_EQ(UIScreen::mainScreen()->scale(), 2);
        EXPECT_FALSE(UITraitCollection::isDark());
        EXPECT_FALSE(DeviceRandom::currentSeed());
        EXPECT_EQ(UIDeviceTilt::x(), 0);
        EXPECT_EQ(UIDeviceTilt::y(), 0);
        EXPECT_EQ(UIStatusBarOrientation(), UIInterfaceOrientationPortrait);
        EXPECT_EQ(kCFCoreFoundationVersionNumber(), kCFCoreFoundationVersionNumberCurrent);
        EXPECT_FALSE(PSControllerClasses::hasClass("FirstOnlyController"));
        EXPECT_TRUE(PSControllerClasses::hasClass("OrbitchatPreferencesController"))
            << "registered by this one";
        EXPECT_FALSE(OCConfettiPieceTypes::factoryFor("FirstOnlyPiece"));
        EXPECT_FALSE(UIAppearance::appearance("UILabel").color("textColor"));
        EXPECT_NE(PSListController::bundlePath(), firstRoot.path());
        EXPECT_FALSE(UITextField::focusedTextField());
        auto shown = pages(second);
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_TRUE(has(shown[0], "Enabled"));
        EXPECT_TRUE(has(shown[1], "Silence Calls Too")) << "an iPhone has telephony";
    }
    EXPECT_EQ(NSBundle::preferredLanguages(), std::vector<std::string>{"fr"});
    EXPECT_FALSE(UITraitCollection::isDark());
    EXPECT_FALSE(PSControllerClasses::hasClass("OrbitchatPreferencesController")) << "the simulators' own";
}

} // namespace
