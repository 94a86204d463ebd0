// Confetti in the simulator: the confetti script commands and the pane's burst, the "confetti"
// part of the dump, reproducible pieces with a seed, and pieces on the drawn screen that touches
// pass through. Time moves on the simulator's manual clock only.

#include "sim/script/ConfettiCommands.h"

#include "confetti/OCConfettiArea.h"
#include "confetti/OCConfettiPieceTypes.h"
#include "platform/foundation/DeviceRandom.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"
#include "support/PixelTesting.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class ConfettiScriptTest : public ::testing::Test {
protected:
    std::optional<ScriptError> run(const std::string& script, std::string& out,
                                   std::optional<std::uint64_t> seed = std::nullopt) {
        Simulator::Options options;
        options.deviceRoot = device.path();
        options.seed = seed;
        return runSimScript(options, script, out);
    }
    std::vector<json> confettiDumps(const std::string& script,
                                    std::optional<std::uint64_t> seed = std::nullopt) {
        std::string out;
        auto error = run(script, out, seed);
        EXPECT_FALSE(error) << error->text();
        std::vector<json> dumps;
        for (auto& d : splitDumps(out))
            dumps.push_back(d["confetti"]);
        return dumps;
    }
    SampleDeviceCopy device;
};

TEST_F(ConfettiScriptTest, EmitsShowTheirPiecesAsAttachedAndThenInFlight) {
    auto dumps = confettiDumps("dump\nopen\nconfetti burst 100 200 10 5\ndump\nwait 0.5\ndump\n"
                               "confetti typed 50 60 1.57 300 3 SimStarView\n"
                               "confetti typed 50 60 0 300 3 SimNotAView\n"
                               "confetti blast 10 600 1.0 800 8 0\ndump\n");
    ASSERT_EQ(dumps.size(), 4u);
    EXPECT_TRUE(dumps[0].is_null()); // no pane, no area

    const json& attached = dumps[1];
    EXPECT_EQ(attached["live"], 5);
    ASSERT_EQ(attached["pieces"].size(), 5u);
    for (const auto& p : attached["pieces"]) {
        EXPECT_NEAR(p["frame"][0].get<double>(), 100, 1e-6);
        EXPECT_NEAR(p["frame"][1].get<double>(), 200, 1e-6);
        EXPECT_GE(p["frame"][2].get<double>(), 5);
        EXPECT_LE(p["frame"][2].get<double>(), 12);
        EXPECT_GE(p["velocity"][1].get<double>(), -400); // as thrown: no step yet
        EXPECT_LE(p["velocity"][1].get<double>(), -100);
        ASSERT_EQ(p["color"].size(), 4u);
        EXPECT_EQ(p["color"][3], 1.0);
        EXPECT_LE(p["flutterType"].get<int>(), 3);
        EXPECT_GE(p["flutterSpeed"].get<double>(), 1);
        EXPECT_LE(p["density"].get<double>(), 1);
        EXPECT_LE(p["swayLength"].get<double>(), 50);
    }
    const json& flying = dumps[2];
    ASSERT_EQ(flying["live"], 5);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_NE(flying["pieces"][i]["frame"], attached["pieces"][i]["frame"]);
        // Half a second of gravity at 500 points/s² (less what resistance takes).
        EXPECT_GT(flying["pieces"][i]["velocity"][1].get<double>(),
                  attached["pieces"][i]["velocity"][1].get<double>() + 100);
    }
    // Three stars of the simulator's own type; the type that is not a view and a count of 0 add
    // nothing.
    const json& last = dumps[3];
    ASSERT_EQ(last["live"], 8);
    for (std::size_t i = 5; i < 8; ++i) {
        const json& star = last["pieces"][i];
        EXPECT_EQ(star["frame"], json({44.0, 54.0, 12.0, 12.0}));
        EXPECT_TRUE(star["color"].is_null());
        EXPECT_TRUE(star["flutterType"].is_null());
    }
}

TEST_F(ConfettiScriptTest, TheSameSeedGivesTheSamePieces) {
    const std::string script = "open\nconfetti burst 100 200 10 20\nconfetti blast 10 600 1.0 800 8 20\n"
                               "wait 0.3\nburst\ndump\n";
    // The seed is the simulated device's, as --seed gives it.
    std::vector<json> first = confettiDumps(script, 5), second = confettiDumps(script, 5),
                      other = confettiDumps(script, 6);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["live"], 100); // the pane's burst throws 60
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

TEST_F(ConfettiScriptTest, BadLinesAreReportedBeforeAnythingRuns) {
    const std::pair<const char*, const char*> cases[] = {
        {"confetti", "confetti takes a kind"},
        {"confetti spray 1 2", "unknown confetti kind \"spray\""},
        {"confetti burst 1 2 3", "takes 4 argument(s): confetti burst X Y WIDTH N"},
        {"confetti burst x 2 3 4", "\"x\" is not a number"},
        {"confetti blast 1 2 3 4 5 6.5", "must be a whole number"},
        {"confetti typed 1 2 3 4 5 Balloon", "unknown piece type \"Balloon\""},
        {"confetti burst 1 2 3 1000000000000", "at most 100000 pieces"},
        {"confetti burst 1 2 3 -1", "must be a whole number of 0 or more, not \"-1\""},
        {"confetti burst 1 2 3 1.5", "must be a whole number of 0 or more, not \"1.5\""},
        {"confetti blast 1 2 3 4 5 -3", "must be a whole number of 0 or more"},
        {"confetti typed 1 2 3 4 -2 SimStarView", "must be a whole number of 0 or more"},
        {"confetti typed 1 2 3 4 +2 SimStarView", "must be a whole number of 0 or more"},
    };
    for (const auto& [line, message] : cases) {
        std::string out;
        auto error = run(std::string("open\n") + line + "\n", out);
        ASSERT_TRUE(error) << line;
        EXPECT_EQ(error->line, 2u);
        EXPECT_NE(error->message.find(message), std::string::npos) << error->message;
    }
    std::string out;
    auto error = run("confetti burst 1 2 3 4\n", out);
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("open"), std::string::npos) << error->message;
}

TEST_F(ConfettiScriptTest, PiecesThrownOutOfEveryScreenEndAndLetTheClockRunOn) {
    // The pieces start at no finite point, or far above: they end at the first step, and a day's
    // wait has nothing left to step.
    auto dumps = confettiDumps("open\nconfetti burst 1e308 -1e308 1e308 60\nconfetti burst 100 -1e6 10 60\n"
                               "dump\nwait 86400\ndump\n");
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_EQ(dumps[0]["live"], 120);
    EXPECT_EQ(dumps[1]["live"], 0);
}

TEST_F(ConfettiScriptTest, TypedPiecesWorkOnEveryDeviceNotOnlyTheFirst) {
    const std::string script = "open\nconfetti typed 100 200 1.5 300 4 SimStarView\ndump\n";
    std::vector<json> first = confettiDumps(script);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["live"], 4);
    // A device whose piece types are gone (as a new device starts) is given them again.
    OCConfettiPieceTypes::unregisterType("SimStarView");
    std::vector<json> second = confettiDumps(script);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]["live"], 4);
}

class ConfettiScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        Simulator::Options options;
        options.deviceRoot = device.path();
        sim = std::make_unique<Simulator>(options);
        screen = std::make_unique<SimScreen>(*sim);
        screen->followRunLoopFrames();
        sim->settings().open();
        sim->runUntilIdle();
        sim->advanceBy(1);
        screen->update();
    }
    void TearDown() override {
        screen.reset();
        sim.reset();
    }
    std::string preferences() {
        std::ifstream in(fs::path(device.path()) /
                         "var/mobile/Library/Preferences/com.orbitchat.preferences.plist");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    SampleDeviceCopy device;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<SimScreen> screen;
};

TEST_F(ConfettiScreenTest, PiecesAreDrawnOverTheListAndTouchesPassThrough) {
    auto row = screen->pointOfRow("Unread Badges");
    ASSERT_TRUE(row);
    CGPoint switchPoint{375 - 15 - 25, row->y};
    // Pieces attached right on the switch, before any step: a tap there still flips it.
    ConfettiCommands::registerPieceTypes();
    sim->settings().pane()->confettiArea()->burstAt({switchPoint.x - 2, switchPoint.y - 2}, 10, 30);
    ConfettiCommands::settle();
    screen->update();
    auto area = sim->settings().pane()->confettiArea();
    ASSERT_EQ(area->confettiObjectsCacheCount(), 30u);

    auto image = screen->render();
    const double s = screen->scale();
    int coloured =
        pixels::count(image, static_cast<int>((switchPoint.x - 2) * s),
                      static_cast<int>((switchPoint.y - 2) * s), static_cast<int>((switchPoint.x + 3) * s),
                      static_cast<int>((switchPoint.y + 3) * s), [](const CGImage::Pixel& p) {
                          int hi = std::max({p.r, p.g, p.b}), lo = std::min({p.r, p.g, p.b});
                          return hi - lo > 100; // saturated: a piece, not the grey list
                      });
    EXPECT_GT(coloured, 0);

    std::string before = preferences();
    screen->window().tapAt(switchPoint);
    sim->runUntilIdle();
    EXPECT_NE(preferences(), before);

    // Every piece falls out of the screen; then nothing is left to wake the loop for them.
    for (int i = 0; i < 40 && area->confettiObjectsCacheCount() > 0; ++i)
        sim->advanceBy(0.5);
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);
    EXPECT_FALSE(area->animator()->isRunning());
}

} // namespace
