#include "support/DeviceFixture.h"

#include "sim/script/ScriptRunner.h"
#include "sim/script/SimDump.h"
#include "sim/settings/Simulator.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <sys/wait.h>

using nlohmann::json;

namespace {

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.mkdirs("/var/mobile/Library/Preferences");
        PlistValue type = PlistValue::dictionary();
        type.set("CFBundleURLSchemes", PlistValue::array({PlistValue("sileo")}));
        device.addApp("org.coolstar.SileoStore",
                      {{"CFBundleDisplayName", "Sileo"}, {"CFBundleURLTypes", PlistValue::array({type})}});
        device.addApp("com.apple.MobileSMS", {{"CFBundleDisplayName", "Messages"}});
        writeBundle();
    }
    void writeBundle() {
        device.write("/bundle/OrbitchatPreferences.plist", R"({ items = (
            { cell = PSGroupCell; label = Top; footerText = "Install"; },
            { cell = PSSwitchCell; label = Enabled; key = enabled; defaults = com.t; get = "getValueForSpecifier:"; set = "setValue:forSpecifier:"; },
            { cell = PSSliderCell; label = Size; key = size; defaults = com.t; min = 10; max = 100; get = "getValueForSpecifier:"; set = "setValue:forSpecifier:"; },
            { cell = PSSegmentCell; label = Side; key = side; defaults = com.t; validValues = (0, 1); validTitles = (Left, Right); get = "getValueForSpecifier:"; set = "setValue:forSpecifier:"; },
            { cell = PSEditTextCell; label = Reply; key = reply; defaults = com.t; get = "getValueForSpecifier:"; set = "setValue:forSpecifier:"; },
            { cell = PSButtonCell; label = Donate; action = "makeDonation:"; },
            { cell = PSButtonCell; label = "Get Extensions"; action = "viewExtensions:"; }
        ); })");
    }
    std::optional<ScriptError> run(const std::string& script, std::string& out) {
        return runSimScript({.deviceRoot = device.root(), .bundlePath = device.host("/bundle")}, script, out);
    }
    DeviceFixture device;
};

TEST_F(ScriptTest, EmptyDeviceAlertShowMeAndClose) {
    std::string out;
    auto error = run("open\ndump  # the alert\ntap \"Show Me!\"\ndump\ntap Close\ndump\n", out);
    ASSERT_FALSE(error) << error->text();
    auto d = splitDumps(out);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0]["alert"]["title"], "No Extensions!");
    EXPECT_EQ(d[0]["alert"]["actions"][0], json({{"title", "Show Me!"}, {"style", 0}}));
    EXPECT_EQ(d[0]["alert"]["actions"][1], json({{"title", "Dismiss"}, {"style", 1}}));
    EXPECT_EQ(d[0]["presented"], json({"UIAlertController"}));
    EXPECT_EQ(d[0]["rows"][0]["footerText"], "Install");
    EXPECT_EQ(d[0]["extensions"], json::array());
    EXPECT_TRUE(d[1]["alert"].is_null());
    EXPECT_EQ(d[1]["presented"], json({"UINavigationController"}));
    EXPECT_EQ(d[2]["presented"], json::array());
}

TEST_F(ScriptTest, SetChangesValuesAsCellsDoAndTheDumpShowsThem) {
    device.addExtension("OCSupportMessages.dylib", {"com.apple.MobileSMS"});
    std::string out;
    auto error = run(
        "open\nset Enabled on\nset Size 42.5\nset Side Right\nset Reply \"Back \\\"soon\\\"\"\ndump\n", out);
    ASSERT_FALSE(error) << error->text();
    PlistValue prefs = device.readPlist("/var/mobile/Library/Preferences/com.t.plist");
    EXPECT_EQ(prefs.get("enabled"), PlistValue(true));
    EXPECT_EQ(prefs.get("size"), PlistValue(42.5));
    EXPECT_EQ(prefs.get("side"), PlistValue("1")); // the old-style plist's values are strings
    EXPECT_EQ(prefs.get("reply"), PlistValue("Back \"soon\""));
    auto d = splitDumps(out).at(0);
    EXPECT_TRUE(d["alert"].is_null());
    EXPECT_EQ(d["rows"][0]["footerText"], "");
    EXPECT_EQ(d["rows"][1]["title"], "Messages");
    EXPECT_EQ(d["rows"][1]["key"], "com.apple.MobileSMS");
    // What the cells show, and what the pane's getter answered.
    EXPECT_EQ(d["rows"][2]["value"], "on");
    EXPECT_EQ(d["rows"][2]["stored"], "1");
    EXPECT_EQ(d["rows"][3]["value"], "42.5");
    EXPECT_EQ(d["extensions"][0]["appDisplayName"], "Messages");
    EXPECT_EQ(d["extensions"][0]["status"], 1);
    EXPECT_EQ(
        d["log"][0],
        "[OC] saved key 'enabled' with value '1' to plist '/var/mobile/Library/Preferences/com.t.plist'");
}

TEST_F(ScriptTest, BurstWaitRespringAndPages) {
    device.addExtension("OCSupportMessages.dylib", {"com.apple.MobileSMS"});
    std::string out;
    auto error =
        run("open\nburst\nwait 0.5\ndump\nwait 0.5\ndump\ntap Respring\ndump\ntap Donate\ndump\n", out);
    ASSERT_FALSE(error) << error->text();
    auto d = splitDumps(out);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_TRUE(d[0]["alert"].is_null());
    EXPECT_EQ(d[1]["alert"]["title"], "Please Respring!");
    EXPECT_TRUE(d[1]["alert"]["message"].is_null());
    EXPECT_EQ(d[2]["spawned"],
              json::parse(R"([{"path":"/usr/bin/killall","argv":["killall","backboardd"],"result":0}])"));
    // The respring restarted the Settings app on the pane: no alert, same rows.
    EXPECT_TRUE(d[2]["alert"].is_null());
    EXPECT_EQ(d[2]["rows"].size(), d[0]["rows"].size());
    EXPECT_EQ(d[3]["openedURLs"].size(), 1u);
    EXPECT_NE(d[3]["openedURLs"][0].get<std::string>().find(".example/"), std::string::npos);
}

TEST_F(ScriptTest, RespringBarButtonConfirmationThenCancel) {
    device.addExtension("OCSupportMessages.dylib", {"com.apple.MobileSMS"});
    std::string out;
    auto error = run("open\ntap Respring\ndump\ntap Cancel\ndump\n", out);
    ASSERT_FALSE(error) << error->text();
    auto d = splitDumps(out);
    EXPECT_EQ(d[0]["alert"]["title"], "Alert");
    EXPECT_EQ(d[0]["alert"]["actions"][1], json({{"title", "Respring"}, {"style", 2}}));
    EXPECT_EQ(d[1]["spawned"], json::array());
}

TEST_F(ScriptTest, BadLinesNameTheirLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"open\nfly away\n", "line 2: unknown command \"fly\""},
        {"open\n\n# c\ntap\n", "line 4: \"tap\" takes 1 argument(s)"},
        {"wait soon\n", "line 1: wait takes a number of seconds"},
        {"wait -1\n", "line 1: wait takes a number"},
        {"tap \"open\n", "line 1: unterminated quoted text"},
        {"tap Enabled\n", "line 1: nothing is open"},
        {"open\ntap Nowhere\n", "line 2: the alert \"No Extensions!\" has no action \"Nowhere\""},
        {"open\ntap Dismiss\nset Enabled maybe\n", "line 3: the switch \"Enabled\" takes on or off"},
        {"open\ntap Dismiss\nset Size 1000\n", "line 3: the slider \"Size\" goes from 10 to 100"},
        {"open\ntap Dismiss\nset Side Up\n", "line 3: the row \"Side\" offers \"Left\", \"Right\""},
        {"open\ntap Dismiss\nset Donate on\n", "line 3: the row \"Donate\" is a PSButtonCell"},
        {"open\nset Enabled on\n", "line 2: the alert \"No Extensions!\" covers the list"},
        {"open\ntap Dismiss\ntap Ghost\n", "line 3: nothing titled \"Ghost\" to tap"},
    };
    for (const auto& [script, expected] : cases) {
        std::string out;
        auto error = run(script, out);
        ASSERT_TRUE(error) << script;
        EXPECT_EQ(error->text().rfind(expected, 0), 0u) << error->text();
    }
    // A syntax error anywhere stops the script before it runs.
    std::string out;
    EXPECT_TRUE(run("open\ndump\nbogus\n", out));
    EXPECT_TRUE(out.empty());
}

TEST_F(ScriptTest, DumpSurvivesBytesThatAreNotUtf8) {
    device.write("/Library/MobileSubstrate/DynamicLibraries/OCSupport\xff.dylib", "x");
    std::string out;
    ASSERT_FALSE(run("open\ndump\n", out));
    auto d = splitDumps(out).at(0);
    EXPECT_EQ(d["extensions"][0]["name"], "OCSupport\xef\xbf\xbd");
}

// The real program, as a user runs it.
struct ProgramRun {
    int status = -1;
    std::string out;
};

ProgramRun runProgram(const std::string& arguments, const std::string& environment = {}) {
    std::string command = environment + std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim " +
                          arguments + " 2>/dev/null";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST_F(ScriptTest, ProgramRunsScriptsAndExitsTwoOnABadLine) {
    device.write("/script.txt", "open\ntap Dismiss\nset Enabled on\ndump\n");
    std::string common = "--device " + device.root() + " --bundle " + device.host("/bundle");
    ProgramRun ok = runProgram(common + " --script " + device.host("/script.txt"));
    ASSERT_EQ(ok.status, 0) << ok.out;
    auto d = splitDumps(ok.out);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["rows"][1]["value"], "on");
    EXPECT_EQ(device.readPlist("/var/mobile/Library/Preferences/com.t.plist").get("enabled"),
              PlistValue(true));

    device.write("/bad.txt", "open\n\njump\n");
    ProgramRun bad = runProgram(common + " --script " + device.host("/bad.txt"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.out.empty());

    ProgramRun plain = runProgram(common + " --dump"); // no script: open and dump
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(splitDumps(plain.out).at(0)["alert"]["title"], "No Extensions!");
}

TEST_F(ScriptTest, WithoutADeviceTheSampleIsCopiedAndNeverWritten) {
    // The program's own sample device; its preference file must come out of every run unchanged.
    const std::string sampleFile =
        std::string(ORBITCHAT_SOURCE_DIR) +
        "/examples/device/var/mobile/Library/Preferences/com.orbitchat.preferences.plist";
    auto readHost = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = readHost(sampleFile);
    ASSERT_FALSE(before.empty());
    device.write("/flip.txt", "open\nset \"Unread Badges\" on\ndump\n");
    device.write("/look.txt", "open\ndump\n");
    std::string env = "XDG_STATE_HOME=" + device.host("/state") + " ";
    std::string kept = device.host(
        "/state/orbitchat-sim/device/var/mobile/Library/Preferences/com.orbitchat.preferences.plist");

    ProgramRun flip = runProgram("--script " + device.host("/flip.txt"), env);
    ASSERT_EQ(flip.status, 0) << flip.out;
    EXPECT_EQ(readHost(sampleFile), before);
    EXPECT_NE(readHost(kept).find("<key>showUnreadBadges</key>\n\t<true/>"), std::string::npos)
        << readHost(kept);

    // The kept copy lasts from run to run...
    ProgramRun look = runProgram("--script " + device.host("/look.txt"), env);
    ASSERT_EQ(look.status, 0);
    EXPECT_NE(readHost(kept).find("<true/>"), std::string::npos);
    // ...until it is reset from the sample.
    ProgramRun reset = runProgram("--script " + device.host("/look.txt") + " --reset-device", env);
    ASSERT_EQ(reset.status, 0);
    EXPECT_EQ(readHost(kept), before);
    EXPECT_EQ(readHost(sampleFile), before);
}

} // namespace
