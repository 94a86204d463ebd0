// Lint says what the simulator does: each bundle here goes through `lint` and through a simulator
// that opens it and taps its rows, and the two are held to the same account of every row.

#include "sim/SimTestSupport.h"
#include "sim/tools/BundleLint.h"

#include "support/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

std::string pair(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key><string>" + value + "</string>";
}

class LintAndSimulatorAgreeTest : public ::testing::Test {
protected:
    void SetUp() override { device.mkdirs("/var/mobile/Library/Preferences"); }

    // Root.plist with row N (from 1) on line N + 1.
    void writePage(const std::vector<std::string>& rows, const std::string& name = "Root") const {
        std::string page = "<plist><dict><key>items</key><array>\n";
        for (const auto& row : rows)
            page += "<dict>" + row + "</dict>\n";
        device.write("/My.bundle/" + name + ".plist", page + "</array></dict></plist>\n");
    }

    // Lint's findings on a file, "line code" to message.
    std::multimap<std::string, std::string> lint(const std::string& file = "Root.plist") const {
        Result<BundleLintReport> report = BundleLint::lint(device.host("/My.bundle"));
        EXPECT_TRUE(report) << report.reason();
        std::multimap<std::string, std::string> out;
        for (const auto& f : report ? report.value().findings : std::vector<BundleLintFinding>{})
            if (f.file == file)
                out.emplace(std::to_string(f.line) + " " + f.code, f.message);
        return out;
    }

    // Runs the script on a simulator of the bundle; answers the script's error, or "".
    std::string simulate(const std::string& script) {
        Simulator::Options options;
        options.deviceRoot = device.root();
        options.preferenceBundle = device.host("/My.bundle");
        options.offline = true;
        std::string out;
        auto error = runSimScript(options, script, out);
        dumps = splitDumps(out);
        return error ? error->text() : "";
    }

    // The page a tap on the row opened: the class it names when it is the page of missing code,
    // "" when the tap left the list where it was.
    std::string tapOpens(const std::string& title) {
        EXPECT_EQ(simulate("open\ntap \"" + title + "\"\ndump\n"), "") << title;
        if (dumps.empty() || dumps.back()["title"] != title)
            return "";
        const auto& rows = dumps.back()["rows"];
        if (rows.empty() || !rows[0]["footerText"].is_string())
            return "a page";
        std::string footer = rows[0]["footerText"];
        return footer.substr(0, footer.find(' '));
    }

    DeviceFixture device;
    std::vector<nlohmann::json> dumps;
};

} // namespace

TEST_F(LintAndSimulatorAgreeTest, StockCellClassesAreDrawnAsTheyAreAndNeitherSideCallsThemCustom) {
    writePage({
        pair("cell", "PSSwitchCell") + pair("label", "Plain") + pair("key", "plain") +
            pair("defaults", "com.agree") + pair("cellClass", "PSSwitchTableCell"),
        pair("cell", "PSEditTextCell") + pair("label", "Name") + pair("key", "name") +
            pair("defaults", "com.agree") + pair("cellClass", "PSEditableTableCell"),
        pair("cell", "PSButtonCell") + pair("label", "Go") + pair("action", "go:") +
            pair("cellClass", "PSTableCell"),
        // A name the libraries' lists know as a controller, not as a cell: the simulator has no
        // such cell and draws the row as its stock switch.
        pair("cell", "PSSwitchCell") + pair("label", "Lib") + pair("key", "lib") +
            pair("defaults", "com.agree") + pair("cellClass", "HBListController"),
    });
    auto found = lint();
    ASSERT_EQ(simulate("open\ndump\n"), "");
    const auto& rows = dumps.at(0)["rows"];
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string place = std::to_string(i + 2) + " custom-cell";
        EXPECT_EQ(found.count(place), rows[i].contains("approximated") ? 1u : 0u) << rows[i]["title"];
    }
    EXPECT_EQ(rows[3]["approximated"], "HBListController");
}

TEST_F(LintAndSimulatorAgreeTest, FrameworkControllersWithoutPagesOfTheirOwnOpenThePageThatNamesThem) {
    writePage({
        pair("cell", "PSLinkCell") + pair("label", "Setup") + pair("detail", "PSSetupController"),
        pair("cell", "PSLinkCell") + pair("label", "View") + pair("detail", "PSViewController"),
        pair("cell", "PSLinkCell") + pair("label", "List") + pair("detail", "PSListController"),
    });
    auto found = lint();
    EXPECT_EQ(tapOpens("Setup"), "PSSetupController");
    EXPECT_EQ(tapOpens("View"), "PSViewController");
    EXPECT_EQ(tapOpens("List"), "a page");
    ASSERT_EQ(found.count("2 unknown-detail"), 1u);
    EXPECT_NE(
        found.find("2 unknown-detail")->second.find("the tap opens a page that names \"PSSetupController\""),
        std::string::npos)
        << found.find("2 unknown-detail")->second;
    EXPECT_EQ(found.count("3 unknown-detail"), 1u);
    EXPECT_EQ(found.count("4 unknown-detail"), 0u);
}

TEST_F(LintAndSimulatorAgreeTest, ALinkRowOfTheBundlesOwnCellClassWithoutADetailOpensThePageThatNamesIt) {
    writePage({
        pair("cell", "PSLinkCell") + pair("label", "Credits") + pair("cellClass", "MyCreditsCell"),
        pair("cell", "PSLinkCell") + pair("label", "Nowhere"),
        pair("cell", "PSLinkCell") + pair("label", "Follow") + pair("cellClass", "MyFollowCell") +
            pair("action", "follow:"),
    });
    auto found = lint();
    EXPECT_EQ(tapOpens("Credits"), "MyCreditsCell");
    ASSERT_EQ(found.count("2 no-detail"), 1u);
    EXPECT_NE(found.find("2 no-detail")->second.find("the tap opens a page that names \"MyCreditsCell\""),
              std::string::npos)
        << found.find("2 no-detail")->second;
    ASSERT_EQ(found.count("2 custom-cell"), 1u);
    EXPECT_NE(found.find("2 custom-cell")->second.find("a tap opens a page that names the class"),
              std::string::npos);

    EXPECT_EQ(tapOpens("Nowhere"), "");
    ASSERT_EQ(found.count("3 no-detail"), 1u);
    EXPECT_NE(found.find("3 no-detail")->second.find("tapping it does nothing"), std::string::npos);

    // With an action the tap runs it (code the bundle brings, so its page names the action).
    EXPECT_EQ(tapOpens("Follow"), "follow:");
    EXPECT_EQ(found.count("4 no-detail"), 0u);
    ASSERT_EQ(found.count("4 custom-cell"), 1u);
    EXPECT_EQ(found.find("4 custom-cell")->second.find("a tap opens a page"), std::string::npos);
}

TEST_F(LintAndSimulatorAgreeTest, APageThatIsALinkOutOfTheBundleIsSaidToLeadOut) {
    // Pages that are links: one to a file beside the bundle, one to a file of the host by its
    // absolute path, one that stays inside.
    device.write("/Elsewhere.plist", "<plist><dict><key>items</key><array/></dict></plist>");
    writePage({pair("cell", "PSGroupCell") + pair("label", "Inside")}, "Real");
    std::filesystem::create_symlink("../Elsewhere.plist", device.host("/My.bundle/Near.plist"));
    std::filesystem::create_symlink(device.host("/Elsewhere.plist"), device.host("/My.bundle/Far.plist"));
    std::filesystem::create_symlink("Real.plist", device.host("/My.bundle/Same.plist"));
    writePage({
        pair("cell", "PSLinkCell") + pair("label", "Near") + pair("detail", "Near"),
        pair("cell", "PSLinkCell") + pair("label", "Far") + pair("detail", "Far"),
        pair("cell", "PSLinkCell") + pair("label", "Same") + pair("detail", "Same"),
    });
    auto found = lint();
    for (const char* line : {"2", "3"}) {
        ASSERT_EQ(found.count(std::string(line) + " missing-page"), 1u) << line;
        EXPECT_NE(found.find(std::string(line) + " missing-page")
                      ->second.find("a link that leads out of the bundle"),
                  std::string::npos);
    }
    EXPECT_EQ(found.count("4 missing-page"), 0u);
    auto near = lint("Near.plist");
    ASSERT_EQ(near.count("0 unreadable"), 1u);
    EXPECT_EQ(
        near.find("0 unreadable")->second,
        "“Near.plist” is a link that leads out of the bundle (to \"../Elsewhere.plist\"): the device does "
        "not follow it");
    EXPECT_TRUE(lint("Same.plist").empty());

    // The simulator's tap says the same in its log, and follows the link that stays inside.
    for (const char* page : {"Near", "Far"}) {
        ASSERT_EQ(simulate(std::string("open\ntap ") + page + "\ndump\n"), "");
        const std::string log = dumps.back()["log"].dump();
        EXPECT_NE(log.find(std::string("Couldn't load specifier plist ") + page + ": “" + page +
                           ".plist” is a link that leads out of the bundle"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("no such file"), std::string::npos) << log;
    }
    ASSERT_EQ(simulate("open\ntap Same\ndump\n"), "");
    EXPECT_EQ(dumps.back()["rows"].at(0)["title"], "Inside");
}

TEST_F(LintAndSimulatorAgreeTest, ADefaultsNameThatIsNotAllowedIsSaidToBeSoWithWhy) {
    const std::pair<std::string, std::string> names[] = {
        {"../../x", "the name leads out of the preferences folder"},
        {".", "\"\", \".\" and \"..\" name no file"},
        {"com/h/slash", "a name in the preferences folder holds no \"/\" (a path starts with one)"},
        {"~/evil", "a name in the preferences folder holds no \"/\" (a path starts with one)"},
    };
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < std::size(names); ++i)
        rows.push_back(pair("cell", "PSSwitchCell") + pair("label", "Row" + std::to_string(i)) +
                       pair("key", "k") + pair("defaults", names[i].first));
    writePage(rows);
    auto found = lint();
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const auto& [defaults, why] = names[i];
        const std::string notAllowed = "the \"defaults\" \"" + defaults + "\" is not allowed";
        const auto finding = found.find(std::to_string(i + 2) + " bad-defaults");
        ASSERT_NE(finding, found.end()) << defaults;
        EXPECT_NE(finding->second.find(notAllowed), std::string::npos) << finding->second;
        EXPECT_NE(finding->second.find(why), std::string::npos) << finding->second;
        EXPECT_EQ(finding->second.find("no \"key\""), std::string::npos) << finding->second;
        EXPECT_EQ(simulate("open\nset Row" + std::to_string(i) + " on\n"),
                  "line 2: the row \"Row" + std::to_string(i) + "\" was not stored: " + notAllowed + ": " +
                      why);
    }
    EXPECT_FALSE(device.exists("/var/mobile/Library/Preferences/..plist"));
}
