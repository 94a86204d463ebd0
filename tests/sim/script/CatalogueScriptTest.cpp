#include "support/DeviceFixture.h"

#include "platform/net/URLLoadingSystem.h"
#include "sim/CommandLine.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"

#include "../SimTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using nlohmann::json;
using ::testing::HasSubstr;

namespace {

class CatalogueScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlistValue type = PlistValue::dictionary();
        type.set("CFBundleURLSchemes", PlistValue::array({PlistValue("sileo")}));
        device.addApp("org.coolstar.SileoStore",
                      {{"CFBundleDisplayName", "Sileo"}, {"CFBundleURLTypes", PlistValue::array({type})}});
        device.addApp("com.apple.MobileSMS",
                      {{"CFBundleDisplayName", "Messages"}, {"CFBundleIconFile", "Icon"}});
        device.write("/Applications/com.apple.MobileSMS.app/Icon.png", DeviceFixture::png(58));
        device.write("/bundle/OrbitchatPreferences.plist", R"({ items = (
            { cell = PSButtonCell; label = "Get Extensions"; action = "viewExtensions:"; }
        ); })");
        device.write("/catalogue.json", R"([
            {"title": "For Messages", "repo": "repo.one", "app": "com.apple.MobileSMS", "extension": "com.one.messages"},
            {"title": "For Signal", "repo": "repo.two", "app": "org.whispersystems.signal", "extension": "com.two signal"}
        ])");
    }
    Simulator::Options options() {
        Simulator::Options o;
        o.deviceRoot = device.root();
        o.bundlePath = device.host("/bundle");
        o.catalogueFile = device.host("/catalogue.json");
        return o;
    }
    std::vector<json> run(Simulator::Options o, const std::string& script) {
        Simulator sim(std::move(o));
        std::ostringstream out;
        auto error = ScriptRunner::runScript(sim, script, out);
        EXPECT_FALSE(error) << error->text();
        return splitDumps(out.str());
    }
    DeviceFixture device;
};

TEST_F(CatalogueScriptTest, HeldResponsesShowTheHUDThenTheRowsAndATapReachesThePackageManager) {
    auto d = run(options(), R"(open
tap Dismiss
dump
network hold
tap "Get Extensions"
wait 0.6
dump
network release
network wait
wait 1
dump
tap "For Signal"
wait 0.5
dump
tap Close
wait 0.6
dump
)");
    ASSERT_EQ(d.size(), 5u);
    EXPECT_TRUE(d[0]["catalogue"].is_null());
    EXPECT_EQ(d[1]["catalogue"], json({{"rows", json::array()}, {"hud", true}}));
    EXPECT_EQ(d[2]["catalogue"]["hud"], false);
    EXPECT_EQ(d[2]["catalogue"]["rows"],
              json({{{"title", "For Messages"}, {"detail", "repo.one"}, {"icon", true}},
                    {{"title", "For Signal"}, {"detail", "repo.two"}, {"icon", false}}}));
    EXPECT_EQ(d[3]["openedURLs"], json({"sileo://package/com.two%20signal"}));
    EXPECT_FALSE(d[3]["catalogue"].is_null()); // the catalogue stays presented
    EXPECT_TRUE(d[4]["catalogue"].is_null());
    bool logged = false;
    for (const auto& line : d[2]["log"])
        logged = logged || line.get<std::string>().rfind("Got items: (", 0) == 0;
    EXPECT_TRUE(logged);
}

TEST_F(CatalogueScriptTest, AnOfflineDeviceLogsTheFailureAndShowsNoRows) {
    auto o = options();
    o.offline = true;
    auto d = run(o, "open\ntap Dismiss\ntap \"Get Extensions\"\nnetwork wait\nwait 1\ndump\n");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["catalogue"], json({{"rows", json::array()}, {"hud", false}}));
    int failures = 0;
    for (const auto& line : d[0]["log"])
        failures += line == "URL Session Task Failed: The Internet connection appears to be offline.";
    EXPECT_EQ(failures, 1);
}

TEST_F(CatalogueScriptTest, WaitingOnHeldResponsesDoesNotSettle) {
    Simulator sim(options());
    std::ostringstream out;
    ASSERT_FALSE(
        ScriptRunner::runScript(sim, "open\ntap Dismiss\nnetwork hold\ntap \"Get Extensions\"\n", out));
    auto settled = sim.settleNetwork(0.2);
    ASSERT_FALSE(settled);
    EXPECT_THAT(settled.reason(), HasSubstr("1 request(s) still in flight"));
    EXPECT_THAT(settled.reason(), HasSubstr("network release"));
    URLLoadingSystem::shared().setHoldsResponses(false);
    EXPECT_TRUE(sim.settleNetwork(10));
    EXPECT_EQ(sim.catalogueServerRequests(), 1u);
}

TEST_F(CatalogueScriptTest, NetworkTakesWaitHoldOrRelease) {
    std::vector<ScriptCommand> commands;
    auto error = ScriptRunner::parse("open\nnetwork go\n", commands);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "line 2: network takes wait, hold or release, not \"go\"");
    commands.clear();
    EXPECT_TRUE(ScriptRunner::parse("network\n", commands));
}

TEST(CatalogueURLOptionTest, OnlyHTTPSURLsOfTheCataloguePathAreAccepted) {
    EXPECT_EQ(Simulator::catalogueHostFromURL("https://repo.example").value(), "repo.example");
    EXPECT_EQ(Simulator::catalogueHostFromURL("https://repo.example:8443/").value(), "repo.example:8443");
    EXPECT_EQ(Simulator::catalogueHostFromURL("HTTPS://repo.example/chatheadsextensions.json").value(),
              "repo.example");
    EXPECT_THAT(Simulator::catalogueHostFromURL("http://repo.example").reason(), HasSubstr("https://"));
    EXPECT_THAT(Simulator::catalogueHostFromURL("https://repo.example/other.json").reason(),
                HasSubstr("/chatheadsextensions.json"));
    EXPECT_FALSE(Simulator::catalogueHostFromURL("https:///x"));
    EXPECT_FALSE(Simulator::catalogueHostFromURL("https://user@evil.example"));
}

TEST(CatalogueURLOptionTest, TheCommandLineRefusesAURLTheDeviceCouldNotLoad) {
    auto read = [](const std::string& url, std::string& message) {
        std::string program = "orbitchat-sim", option = "--catalogue-url", value = url;
        char* argv[] = {program.data(), option.data(), value.data()};
        SimArguments arguments;
        std::ostringstream out, err;
        auto status = readSimArguments(3, argv, arguments, out, err);
        message = err.str();
        return status;
    };
    const std::pair<const char*, const char*> refused[] = {
        {"https://127.0.0.1:99999", "its port must be 1 to 65535"},
        {"https://127.0.0.1:0", "its port must be 1 to 65535"},
        {"https://repo.example:-1", "its port must be 1 to 65535"},
        {"https://", "it names no host"},
        {"https://:8443", "names no host"},
        {"https://repo example", "it is not a URL (bad hostname)"},
        {"ftp://repo.example", "must start with https://"},
    };
    for (const auto& [url, reason] : refused) {
        std::string message;
        EXPECT_EQ(read(url, message), 2) << url;
        EXPECT_THAT(message, HasSubstr("--catalogue-url: the catalogue URL")) << url;
        EXPECT_THAT(message, HasSubstr(reason)) << url;
    }
    std::string message;
    EXPECT_EQ(read("https://127.0.0.1:65535", message), std::nullopt) << message;
    EXPECT_EQ(read("https://repo.example/chatheadsextensions.json", message), std::nullopt) << message;
}

TEST_F(CatalogueScriptTest, TheProgramServesAGivenCatalogueAndRefusesBadURLs) {
    device.write("/script.txt", "open\ntap Dismiss\ntap \"Get Extensions\"\nnetwork wait\ndump\n");
    std::string common = "--device " + device.root() + " --bundle " + device.host("/bundle");
    std::string out;
    ASSERT_EQ(runSimProgram(common + " --catalogue " + device.host("/catalogue.json") + " --script " +
                                device.host("/script.txt"),
                            out),
              0)
        << out;
    auto d = splitDumps(out);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["catalogue"]["rows"].size(), 2u);

    out.clear();
    EXPECT_EQ(runSimProgram(common + " --catalogue-url http://plain.example --dump", out, true), 2);
    EXPECT_THAT(out, HasSubstr("--catalogue-url: the catalogue URL must start with https://"));
    out.clear();
    EXPECT_NE(runSimProgram(common + " --offline --catalogue " + device.host("/catalogue.json") + " --dump",
                            out, true),
              0);
    EXPECT_THAT(out, HasSubstr("excludes"));
}

// The catalogue's server is made when the catalogue is first asked for: opening the pane makes
// none, and the catalogue still arrives over it through TLS.
TEST_F(CatalogueScriptTest, TheCatalogueServerStartsAtTheFirstLoad) {
    Simulator sim(options());
    std::ostringstream out;
    ASSERT_FALSE(ScriptRunner::runScript(sim, "open\ntap Dismiss\n", out));
    EXPECT_EQ(sim.catalogueServerPort(), 0);
    ASSERT_FALSE(ScriptRunner::runScript(sim, "tap \"Get Extensions\"\nnetwork wait\ndump\n", out));
    EXPECT_NE(sim.catalogueServerPort(), 0);
    EXPECT_EQ(sim.catalogueServerRequests(), 1u);
    auto d = splitDumps(out.str());
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]["catalogue"]["rows"].size(), 2u);
}

} // namespace
