// The progress HUD in the simulator: the hud, rotate and tilt script commands, the HUD's parts in
// the views dump, the bezel following the device's tilt on the drawn screen, and the recorded
// gallery. Time moves on the simulator's manual clock only.

#include "sim/script/HUDCommands.h"

#include "hud/TQBackgroundView.h"
#include "hud/TQProgressHUD.h"
#include "platform/ui/UIStatusBarOrientation.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"
#include "support/PixelTesting.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <climits>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The entries of a views dump that are parts of a HUD, by part name (the topmost HUD's).
std::map<std::string, json> hudParts(const json& dump) {
    std::map<std::string, json> parts;
    for (const auto& v : dump["views"])
        if (v.contains("hudPart"))
            parts[v["hudPart"]] = v;
    return parts;
}

class HUDScriptTest : public ::testing::Test {
protected:
    std::optional<ScriptError> run(const std::string& script, std::string& out) {
        Simulator::Options options;
        options.deviceRoot = device.path();
        return runSimScript(options, script, out);
    }
    SampleDeviceCopy device;
};

TEST_F(HUDScriptTest, CommandsConfigureTheHUDOverTheVisibleScreen) {
    std::string out;
    auto error = run("open\nwait 0.5\nhud label \"Loading\"\nhud show\nwait 0.5\nviews\n"
                     "hud mode ring\nhud progress 0.5\nhud details \"Two of four\"\nhud button Cancel\n"
                     "hud offset 10 -20\nhud minsize 150 40\nhud square on\nviews\n",
                     out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 2u);

    auto first = hudParts(dumps[0]);
    ASSERT_TRUE(first.count("bezelView"));
    EXPECT_EQ(first["hud"]["alpha"], 1.0);
    EXPECT_EQ(first["bezelView"]["alpha"], 1.0);
    EXPECT_EQ(first["label"]["text"], "Loading");
    EXPECT_EQ(first["indicator"]["class"], "UIActivityIndicatorView");
    EXPECT_EQ(first["bezelView"]["motionOffset"], json({{"x", 0.0}, {"y", 0.0}}));

    auto second = hudParts(dumps[1]);
    EXPECT_EQ(second["indicator"]["class"], "TQRoundProgressView");
    EXPECT_EQ(second["detailsLabel"]["text"], "Two of four");
    EXPECT_EQ(second["button"]["text"], "Cancel");
    EXPECT_EQ(second["button"]["class"], "TQProgressHUDRoundedButton");
    const json& hud = second["hud"]["frame"];
    const json& bezel = second["bezelView"]["frame"];
    double w = bezel["width"], h = bezel["height"];
    EXPECT_GE(w, 150);
    EXPECT_NEAR(w, h, 0.5) << "a square bezel";
    // Centred on the HUD, moved by the offset.
    EXPECT_NEAR(bezel["x"].get<double>() + w / 2,
                hud["x"].get<double>() + hud["width"].get<double>() / 2 + 10, 0.5);
    EXPECT_NEAR(bezel["y"].get<double>() + h / 2,
                hud["y"].get<double>() + hud["height"].get<double>() / 2 - 20, 0.5);
    // The label, details and button stack inside the bezel, top to bottom.
    EXPECT_LT(second["label"]["frame"]["y"].get<double>(),
              second["detailsLabel"]["frame"]["y"].get<double>());
    EXPECT_LT(second["detailsLabel"]["frame"]["y"].get<double>(),
              second["button"]["frame"]["y"].get<double>());
}

TEST_F(HUDScriptTest, GraceTimeKeepsAQuickHUDFromEverAppearing) {
    std::string out;
    // Shown 0.2 s into a 0.5 s grace: invisible. A second HUD is hidden within its grace: it never
    // shows and is gone at once.
    auto error = run("hud grace 0.5\nhud show\nwait 0.2\nviews\nwait 0.4\nviews\nhud hide\nwait 0.5\nviews\n"
                     "hud show\nwait 0.2\nhud hide\nviews\n",
                     out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 4u);
    EXPECT_EQ(hudParts(dumps[0])["hud"]["alpha"], 0.0);
    EXPECT_EQ(hudParts(dumps[1])["hud"]["alpha"], 1.0);
    EXPECT_TRUE(hudParts(dumps[2]).empty()) << "hidden and removed";
    EXPECT_TRUE(hudParts(dumps[3]).empty()) << "hidden within its grace time";
}

TEST_F(HUDScriptTest, MinimumShowTimeHoldsTheHUDAndAShowCancelsTheHold) {
    std::string out;
    auto error = run("hud minshow 2\nhud show\nwait 0.5\nhud hide\nwait 1\nviews\nwait 1\nviews\n"
                     "hud show\nwait 0.5\nhud hide\nwait 0.5\nhud show\nwait 2\nviews\n",
                     out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 3u);
    EXPECT_EQ(hudParts(dumps[0])["hud"]["alpha"], 1.0) << "held until 2 s after it appeared";
    EXPECT_TRUE(hudParts(dumps[1]).empty()) << "then hidden and removed";
    auto shownAgain = hudParts(dumps[2]);
    ASSERT_FALSE(shownAgain.empty()) << "the show forgot the earlier hide";
    EXPECT_EQ(shownAgain["bezelView"]["alpha"], 1.0);
}

TEST_F(HUDScriptTest, WaitsOfHoursAndDaysRunTheHUDsTimersAtTheirTimes) {
    std::string out;
    // The grace timer shows the HUD at 1,000 s; a hide at 37,000 s is held by the minimum show
    // time until 41,000 s; then the HUD fades and goes, and a day passes with nothing on screen.
    auto error = run("open\nhud grace 1000\nhud minshow 40000\nhud show\nwait 999.999\nviews\nwait 0.001\n"
                     "views\nwait 36000\nviews\nhud hide\nwait 3999.999\nviews\nwait 1.001\nviews\n"
                     "wait 86400\nviews\n",
                     out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 6u);
    EXPECT_EQ(hudParts(dumps[0])["hud"]["alpha"], 0.0) << "still within its grace time";
    EXPECT_EQ(hudParts(dumps[1])["hud"]["alpha"], 1.0) << "shown as the grace timer fired";
    auto tenHoursOn = hudParts(dumps[2]);
    EXPECT_EQ(tenHoursOn["hud"]["alpha"], 1.0);
    EXPECT_EQ(tenHoursOn["bezelView"]["alpha"], 1.0);
    EXPECT_EQ(tenHoursOn["indicator"]["hidden"], false) << "the spinner still turns";
    EXPECT_EQ(hudParts(dumps[3])["bezelView"]["alpha"], 1.0) << "held until its minimum show time";
    EXPECT_TRUE(hudParts(dumps[4]).empty()) << "hidden at 41,000 s and removed after its fade";
    EXPECT_TRUE(hudParts(dumps[5]).empty());
}

TEST_F(HUDScriptTest, BadHUDLinesNameTheirLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"open\nhud\n", "line 2: hud needs what to do (show, hide, mode"},
        {"hud fly\n", "line 1: unknown hud command \"fly\" (known: show, hide"},
        {"hud mode\n", "line 1: \"hud mode\" takes 1 argument(s): hud mode N"},
        {"hud mode 6\n", "line 1: hud mode takes 0 to 5 or spinner, pie, bar, ring, custom, text, not \"6\""},
        {"hud progress half\n", "line 1: hud progress takes numbers, not \"half\""},
        {"hud offset 1 nan\n", "line 1: hud offset takes numbers, not \"nan\""},
        {"hud margin -4\n", "line 1: hud margin takes numbers of 0 or more, not \"-4\""},
        {"hud grace soon\n", "line 1: hud grace takes numbers of 0 or more"},
        {"hud square yes\n", "line 1: hud square takes on or off, not \"yes\""},
        {"hud background pink\n", "line 1: hud background takes clear, dim or blur"},
        {"hud label \"a\" \"b\"\n", "line 1: \"hud label\" takes 1 argument(s)"},
        {"tilt 2 0\n", "line 1: tilt takes X and Y from -1 to 1, not \"2\""},
        {"tilt 0.5\n", "line 1: \"tilt\" takes 2 argument(s): tilt X Y"},
        {"rotate left\n", "line 1: \"rotate\" takes 0 argument(s)"},
        {"open\nhud hide\n", "line 2: no HUD is on screen (show one with hud show)"},
    };
    for (const auto& [script, expected] : cases) {
        std::string out;
        auto error = run(script, out);
        ASSERT_TRUE(error) << script;
        EXPECT_EQ(error->text().rfind(expected, 0), 0u) << error->text();
    }
}

// The HUD and its screen directly, to look at pixels and at the HUD object itself.
class HUDScreenTest : public HUDScriptTest {
protected:
    void SetUp() override {
        Simulator::Options options;
        options.deviceRoot = device.path();
        simulator = std::make_unique<Simulator>(options);
        screen = std::make_unique<SimScreen>(*simulator);
        commands = std::make_unique<HUDCommands>(simulator->settings(), *screen);
    }
    void TearDown() override {
        commands.reset();
        screen.reset();
        simulator.reset();
        HUDScriptTest::TearDown();
    }
    void perform(const std::string& name, std::vector<std::string> arguments = {}) {
        auto problem = commands->run(name, arguments);
        ASSERT_FALSE(problem) << *problem;
        simulator->advanceBy(0.5);
        screen->update();
    }
    // The extent of pure red pixels along the row and the column through `centre` (in points),
    // in device pixels: left, top, right, bottom.
    std::array<int, 4> redBox(CGPoint centre) {
        const CGImageRef& frame = screen->render();
        double scale = screen->scale();
        auto row = static_cast<std::size_t>(centre.y * scale),
             column = static_cast<std::size_t>(centre.x * scale);
        std::array<int, 4> box{INT_MAX, INT_MAX, -1, -1};
        auto red = [&](std::size_t x, std::size_t y) {
            return pixels::near(frame->pixelAt(x, y), 255, 0, 0, 255, 4);
        };
        for (std::size_t x = 0; x < frame->width(); ++x)
            if (red(x, row))
                box[0] = std::min(box[0], int(x)), box[2] = std::max(box[2], int(x));
        for (std::size_t y = 0; y < frame->height(); ++y)
            if (red(column, y))
                box[1] = std::min(box[1], int(y)), box[3] = std::max(box[3], int(y));
        return box;
    }
    std::unique_ptr<Simulator> simulator;
    std::unique_ptr<SimScreen> screen;
    std::unique_ptr<HUDCommands> commands;
};

TEST_F(HUDScreenTest, TiltMovesTheBezelsPixelsTenPoints) {
    perform("hud", {"label", "Tilt"});
    perform("hud", {"show"});
    auto hud = commands->hud();
    ASSERT_TRUE(hud);
    // An opaque red bezel is easy to find on the screen.
    hud->bezelView()->setStyle(TQBackgroundStyleFlat);
    hud->bezelView()->setColor(UIColor::redColor());
    screen->update();
    CGRect modelFrame = hud->bezelView()->frame();
    CGRect onScreen = hud->bezelView()->convertRectToView(hud->bezelView()->bounds(), nullptr);
    CGPoint centre = CGPointMake(onScreen.midX(), onScreen.midY());
    auto level = redBox(centre);
    ASSERT_GE(level[2], 0) << "no bezel drawn";

    perform("tilt", {"1", "-1"});
    auto tilted = redBox(centre);
    double scale = screen->scale();
    EXPECT_NEAR(tilted[0] - level[0], 10 * scale, 1);
    EXPECT_NEAR(tilted[2] - level[2], 10 * scale, 1);
    EXPECT_NEAR(tilted[1] - level[1], -10 * scale, 1);
    EXPECT_NEAR(tilted[3] - level[3], -10 * scale, 1);
    // Only the picture moves: the bezel's frame, and so its layout, stays.
    EXPECT_EQ(hud->bezelView()->frame(), modelFrame);
    auto parts = hudParts(screen->viewsDump());
    EXPECT_EQ(parts["bezelView"]["motionOffset"], json({{"x", 10.0}, {"y", -10.0}}));

    perform("tilt", {"0", "0"});
    EXPECT_EQ(redBox(centre), level);
}

TEST_F(HUDScreenTest, RotateRefitsTheHUDToItsSuperviewAndCustomModeGetsAView) {
    perform("hud", {"mode", "custom"});
    perform("hud", {"show"});
    auto hud = commands->hud();
    ASSERT_TRUE(hud);
    ASSERT_TRUE(hud->indicator());
    EXPECT_EQ(hud->indicator()->className(), "SimCheckmarkView");
    // With the app closed the HUD lies on the window.
    EXPECT_EQ(hud->superview().get(), &screen->window());

    hud->setFrame(CGRectMake(0, 0, 10, 10));
    perform("rotate");
    EXPECT_EQ(UIStatusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(hud->frame(), screen->window().bounds());
    perform("rotate");
    EXPECT_EQ(UIStatusBarOrientation(), UIInterfaceOrientationPortraitUpsideDown);
}

TEST_F(HUDScreenTest, AButtonHidesItsHUDAndAnAlertPutsTheHUDOnTheWindow) {
    simulator->settings().open();
    simulator->runUntilIdle();
    perform("hud", {"button", "Stop"});
    perform("hud", {"show"});
    auto hud = commands->hud();
    ASSERT_TRUE(hud);
    auto visible = simulator->settings().visibleController();
    EXPECT_EQ(hud->superview(), visible->view());
    hud->button()->simulateTap();
    simulator->advanceBy(1);
    EXPECT_FALSE(commands->hud()) << "the button's tap hid the HUD";
    EXPECT_FALSE(hud->superview());

    simulator->settings().tap("Contact Support"); // the support alert
    simulator->runUntilIdle();
    ASSERT_TRUE(simulator->settings().presentedAlert());
    perform("hud", {"show"});
    ASSERT_TRUE(commands->hud());
    EXPECT_EQ(commands->hud()->superview().get(), &screen->window());
}

// The program, as a user runs it.
TEST(HUDGalleryProgramTest, HeadlessGalleryWritesItsPicturesAndAnimation) {
    TempDeviceRoot out;
    std::string command = std::string(ORBITCHAT_BINARY_DIR) +
                          "/src/sim/orbitchat-sim --hud-gallery --headless --out " + out.path() +
                          " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string printed;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        printed.append(buffer, n);
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << printed;
    for (const char* name :
         {"01-spinner.png", "02-pie.png", "03-ring.png", "04-bar.png", "05-custom-view.png",
          "06-text-only.png", "07-details-and-button.png", "08-dimmed-background.png",
          "09-blurred-background.png", "10-offset.png", "13-tilted.png", "animations.webp"}) {
        fs::path file = fs::path(out.path()) / "hud" / name;
        EXPECT_TRUE(fs::exists(file) && fs::file_size(file) > 1000) << file;
        EXPECT_NE(printed.find("wrote " + file.string()), std::string::npos) << printed;
    }
    auto spinner = CGImage::createFromPNGFile((fs::path(out.path()) / "hud/01-spinner.png").string());
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner->width(), 750u);
}

} // namespace
