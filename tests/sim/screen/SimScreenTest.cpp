// The simulated screen as a user sees it: the pane's rows in the Settings look, alerts, the
// catalogue sliding up, a respring, URL screens; checked on the views dump and on pixels.

#include "sim/screen/SimScreen.h"
#include "platform/ui/UIAlertControllerView.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewContentView.h"
#include "sim/settings/Simulator.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TempDevice {
    fs::path root;
    TempDevice() {
        root = fs::temp_directory_path() / ("screen-device-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(root);
        fs::copy(fs::path(ORBITCHAT_SOURCE_DIR) / "examples/device", root, fs::copy_options::recursive);
    }
    ~TempDevice() { fs::remove_all(root); }
};

std::shared_ptr<UIView> findView(const std::shared_ptr<UIView>& v, const std::function<bool(UIView&)>& test) {
    if (test(*v))
        return v;
    for (const auto& s : v->subviews())
        if (auto found = findView(s, test))
            return found;
    return nullptr;
}

void saveIfAsked(const CGImageRef& image, const std::string& name) {
    if (const char* dir = std::getenv("ORBITCHAT_SCREEN_SHOTS"))
        image->writePNG(std::string(dir) + "/" + name + ".png");
}

class SimScreenTest : public ::testing::Test {
protected:
    TempDevice device;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<SimScreen> screen;

    void SetUp() override {
        Simulator::Options options;
        options.deviceRoot = device.root.string();
        sim = std::make_unique<Simulator>(options);
        screen = std::make_unique<SimScreen>(*sim);
        screen->followRunLoopFrames();
        sim->settings().open();
        sim->runUntilIdle();
        screen->update();
    }
    void TearDown() override {
        // Let every animation end on this test's run loop: the animation engine keeps ticking on
        // the loop it started on.
        wait(3);
        screen.reset();
        sim.reset();
    }
    void wait(double seconds) {
        sim->runUntilIdle();
        screen->update();
        sim->advanceBy(seconds);
        screen->update();
    }
};

} // namespace

TEST_F(SimScreenTest, PaneShowsBarRowsAndControlsInTheSettingsLook) {
    CGImageRef frame = screen->render();
    saveIfAsked(frame, "pane");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width(), 750u);
    EXPECT_EQ(frame->height(), 1334u);
    // The bar at the top is light grey, the grouped ground below it a bluish grey.
    EXPECT_TRUE(pixels::near(pixels::at(frame, 5, 40, 2), 248, 248, 248, 255, 6));
    nlohmann::json dump = screen->viewsDump();
    bool bar = false, respring = false, toggle = false;
    for (const auto& v : dump["views"]) {
        bar |= v["class"] == "UINavigationBar";
        respring |= v["text"] == "Respring";
        toggle |= v["class"] == "UISwitch";
    }
    EXPECT_TRUE(bar);
    EXPECT_TRUE(respring);
    EXPECT_TRUE(toggle);
}

namespace {
std::string preferenceFile(const TempDevice& d) {
    std::ifstream in(d.root / "var/mobile/Library/Preferences/com.orbitchat.preferences.plist");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool hasView(SimScreen& screen, const std::string& cls, const std::string& text = {}) {
    nlohmann::json dump = screen.viewsDump();
    for (const auto& v : dump["views"])
        if (v["class"] == cls && (text.empty() || v["text"] == text) && !v["hidden"].get<bool>())
            return true;
    return false;
}
} // namespace

TEST_F(SimScreenTest, ATapOnASwitchWritesThePreferenceFileAtOnce) {
    auto at = screen->pointOfRow("Unread Badges");
    ASSERT_TRUE(at);
    std::string before = preferenceFile(device);
    // The switch sits at the right end of its row.
    screen->window().tapAt(CGPointMake(375 - 15 - 25, at->y));
    sim->runUntilIdle();
    std::string after = preferenceFile(device);
    EXPECT_NE(before, after);
    EXPECT_NE(after.find("<key>showUnreadBadges</key>\n\t<true/>"), std::string::npos) << after;
}

TEST_F(SimScreenTest, AlertFadesInCentredWithCancelBoldOnTheLeftAndRespringRed) {
    sim->settings().tap("Respring");
    screen->update();
    // At the start of its appearance the alert is still transparent.
    auto face =
        findView(screen->windowPtr(), [](UIView& v) { return v.className() == "UIAlertControllerView"; });
    ASSERT_TRUE(face);
    EXPECT_LT(face->superview()->presentationAlpha(), 0.05);
    wait(0.5);
    EXPECT_NEAR(face->superview()->presentationAlpha(), 1, 1e-9);
    auto alertView = std::static_pointer_cast<UIAlertControllerView>(face);
    ASSERT_EQ(alertView->buttons().size(), 2u);
    EXPECT_EQ(alertView->buttons()[0].action->title(), "Cancel");
    EXPECT_EQ(alertView->buttons()[1].action->title(), "Respring");
    EXPECT_EQ(alertView->frame().width(), 270);
    EXPECT_NEAR(alertView->center().x, 187.5, 0.01);

    CGImageRef frame = screen->render();
    saveIfAsked(frame, "alert");
    // The destructive title paints red in the right half of the button row; the screen behind
    // is dimmed.
    CGRect right =
        alertView->buttons()[1].button->convertRectToView(alertView->buttons()[1].button->bounds(), nullptr);
    int redPixels = pixels::count(
        frame, int(right.minX() * 2), int(right.minY() * 2), int(right.maxX() * 2), int(right.maxY() * 2),
        [](const CGImage::Pixel& p) { return p.r > 200 && p.g < 120 && p.b < 120; });
    EXPECT_GT(redPixels, 50);
    EXPECT_LT(pixels::at(frame, 5, 300, 2).r, 200);

    sim->settings().tap("Cancel");
    wait(0.5);
    EXPECT_FALSE(
        findView(screen->windowPtr(), [](UIView& v) { return v.className() == "UIAlertControllerView"; }));
}

TEST_F(SimScreenTest, CatalogueSlidesUpFromTheBottomAndCloseSlidesItAway) {
    sim->settings().tap("Get Extensions");
    screen->update();
    auto nav = sim->settings().presentedChain();
    ASSERT_EQ(nav.size(), 1u);
    auto view = nav[0]->view();
    EXPECT_GT(view->presentationFrame().minY(), 600);
    wait(0.2);
    double midway = view->presentationFrame().minY();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 667);
    wait(0.5);
    EXPECT_NEAR(view->presentationFrame().minY(), 0, 0.5);
    EXPECT_TRUE(hasView(*screen, "UINavigationBar", "Available Extensions"));
    saveIfAsked(screen->render(), "catalogue");
    sim->settings().tap("Close");
    wait(0.1);
    EXPECT_GT(view->presentationFrame().minY(), 1);
    wait(0.5);
    EXPECT_FALSE(view->superview());
}

TEST_F(SimScreenTest, RespringDarkensTheScreenAndTheAppComesBackOnThePane) {
    auto before = sim->settings().navigationController();
    sim->settings().tap("Respring");
    sim->settings().tap("Respring");
    sim->runUntilIdle();
    screen->update();
    EXPECT_NE(sim->settings().navigationController(), before);
    EXPECT_TRUE(screen->isRespringing());
    CGImageRef dark = screen->render();
    EXPECT_TRUE(pixels::near(pixels::at(dark, 187, 333, 2), 0, 0, 0, 255, 4));
    wait(1.2);
    EXPECT_FALSE(screen->isRespringing());
    EXPECT_TRUE(hasView(*screen, "UINavigationBar"));
    EXPECT_FALSE(pixels::near(pixels::at(screen->render(), 187, 333, 2), 0, 0, 0, 255, 4));
}

TEST_F(SimScreenTest, OpenedPagesShowInABrowserSheetAndPackagesInThePackageManager) {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString("https://example.com/orbitchat"));
    wait(0.5);
    EXPECT_EQ(screen->openedScreenKind(), "browser");
    EXPECT_TRUE(hasView(*screen, "UILabel", "https://example.com/orbitchat"));
    screen->closeOpenedScreen();
    wait(0.5);
    EXPECT_FALSE(screen->openedScreenKind());

    UIApplication::sharedApplication()->openURL(
        NSURL::URLWithString("sileo://package/com.example.chatheads.whatsapp"));
    wait(0.5);
    EXPECT_EQ(screen->openedScreenKind(), "packageManager");
    EXPECT_TRUE(hasView(*screen, "UILabel", "com.example.chatheads.whatsapp"));
    saveIfAsked(screen->render(), "sileo");
    // An address that no app of the device handles opens nothing.
    screen->closeOpenedScreen();
    wait(0.5);
    EXPECT_FALSE(UIApplication::sharedApplication()->openURL(NSURL::URLWithString("nosuchapp://x")));
    wait(0.5);
    EXPECT_FALSE(screen->openedScreenKind());
}
