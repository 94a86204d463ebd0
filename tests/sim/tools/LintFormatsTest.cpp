#include "sim/tools/LintReport.h"

#include "support/BundleWriter.h"
#include "support/TempDeviceRoot.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

// A page whose second line holds a row of an unknown cell type (one warning on line 2).
const std::string kFormatsWarningPage = "<plist><dict><key>items</key><array>\n"
                                        "<dict><key>cell</key><string>PSFooCell</string></dict>\n"
                                        "</array></dict></plist>\n";
const std::string kFormatsCleanPage = "<plist><dict><key>items</key><array>\n"
                                      "<dict><key>cell</key><string>PSGroupCell</string></dict>\n"
                                      "</array></dict></plist>\n";

struct GithubLine {
    std::string level, file, line, title, message;
};

// Reads workflow commands back, undoing their escaping.
std::vector<GithubLine> parseGithub(const std::string& out) {
    auto unescape = [](std::string s) {
        for (auto [from, to] : {std::pair{"%0D", "\r"}, {"%0A", "\n"}, {"%3A", ":"}, {"%2C", ","}}) {
            for (std::size_t at; (at = s.find(from)) != std::string::npos;)
                s.replace(at, 3, to);
        }
        for (std::size_t at = 0; (at = s.find("%25", at)) != std::string::npos; ++at)
            s.replace(at, 3, "%");
        return s;
    };
    static const std::regex kLine(
        R"(^::(warning|error) file=([^,:]+)(?:,line=(\d+))?,title=([^,:]+)::(.*)$)");
    std::vector<GithubLine> lines;
    std::istringstream in(out);
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(text, m, kLine)) << text;
        if (!m.empty())
            lines.push_back({m[1], unescape(m[2]), m[3], unescape(m[4]), unescape(m[5])});
    }
    return lines;
}

class LintFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const BundleWriter clean(dir, "Clean.bundle"), warn(dir, "Warn.bundle");
        clean.write("Info.plist", kBundleInfo);
        warn.write("Info.plist", kBundleInfo);
        clean.write("Root.plist", kFormatsCleanPage);
        warn.write("Root.plist", kFormatsWarningPage);
        // A file the reader refuses: an error without a line, in a name that needs escaping.
        warn.write("Odd, name: 100%.plist", "<plist><dict>");
    }

    // Runs the command in `folder` (the test's own folder unless given), as CI runs it in the
    // checkout.
    int run(std::vector<std::string> args, std::string& out, std::string& err,
            const std::string& folder = "") {
        const auto before = std::filesystem::current_path();
        std::filesystem::current_path(folder.empty() ? dir.path() : folder);
        const int status = runSubcommand(RunBundleLint, "lint", std::move(args), out, err);
        std::filesystem::current_path(before);
        return status;
    }

    TempDeviceRoot dir;
};

} // namespace

TEST_F(LintFormatsTest, WorkflowCommandsEscapeTheirDataAndProperties) {
    EXPECT_EQ(LintReport::githubMessage("50% done\r\nnext: a, b"), "50%25 done%0D%0Anext: a, b");
    EXPECT_EQ(LintReport::githubProperty("a:b,c%d\n"), "a%3Ab%2Cc%25d%0A");

    std::string out, err;
    EXPECT_EQ(run({"Warn.bundle", "--format", "github"}, out, err), 1) << err;
    auto lines = parseGithub(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    std::set<std::string> seen;
    for (const auto& l : lines) {
        seen.insert(l.level + " " + l.file + ":" + l.line + " " + l.title);
        EXPECT_FALSE(l.message.empty());
    }
    // Paths relative to the current folder, named as on disk; a finding without a line has none.
    EXPECT_EQ(seen, (std::set<std::string>{"warning Warn.bundle/Root.plist:2 unknown-cell",
                                           "error Warn.bundle/Odd, name: 100%.plist: unreadable"}));
}

TEST_F(LintFormatsTest, FilesOutsideTheCurrentFolderKeepTheirAbsolutePath) {
    EXPECT_EQ(LintReport::filePath("My.bundle", "de.lproj/Root.strings", "/src/tweak"),
              "My.bundle/de.lproj/Root.strings");
    EXPECT_EQ(LintReport::filePath("/src/tweak/./My.bundle", "Root.plist", "/src/tweak/"),
              "My.bundle/Root.plist");
    EXPECT_EQ(LintReport::filePath("/elsewhere/My.bundle", "Root.plist", "/src/tweak"),
              "/elsewhere/My.bundle/Root.plist");
    EXPECT_EQ(LintReport::filePath("../My.bundle", "Root.plist", "/src/tweak"), "/src/My.bundle/Root.plist");
}

TEST_F(LintFormatsTest, SarifCarriesTheRequiredKeysForEveryFinding) {
    std::string out, err;
    EXPECT_EQ(run({"Clean.bundle", dir.host("/Warn.bundle"), "--format=sarif"}, out, err), 1) << err;
    const auto log = nlohmann::json::parse(out);
    EXPECT_EQ(log["version"], "2.1.0");
    EXPECT_NE(log["$schema"].get<std::string>().find("sarif-2.1.0"), std::string::npos);
    ASSERT_EQ(log["runs"].size(), 1u);
    const auto& run = log["runs"][0];
    EXPECT_EQ(run["tool"]["driver"]["name"], "orbitchat-sim");
    EXPECT_FALSE(run["tool"]["driver"]["version"].get<std::string>().empty());

    std::set<std::string> rules;
    for (const auto& rule : run["tool"]["driver"]["rules"]) {
        EXPECT_TRUE(rules.insert(rule["id"]).second) << "a rule listed twice: " << rule["id"];
        EXPECT_FALSE(rule["shortDescription"]["text"].get<std::string>().empty());
    }
    EXPECT_EQ(rules, (std::set<std::string>{"unknown-cell", "unreadable"}));

    ASSERT_EQ(run["results"].size(), 2u);
    std::set<std::string> places;
    for (const auto& result : run["results"]) {
        EXPECT_TRUE(rules.contains(result["ruleId"]));
        EXPECT_EQ(run["tool"]["driver"]["rules"][result["ruleIndex"].get<std::size_t>()]["id"],
                  result["ruleId"]);
        EXPECT_FALSE(result["message"]["text"].get<std::string>().empty());
        const auto& location = result["locations"][0]["physicalLocation"];
        std::string place =
            result["level"].get<std::string>() + " " + location["artifactLocation"]["uri"].get<std::string>();
        if (location.contains("region"))
            place += ":" + std::to_string(location["region"]["startLine"].get<int>());
        places.insert(place);
    }
    // Inside the current folder the URI is relative and percent-encoded where a URI needs it.
    EXPECT_EQ(places, (std::set<std::string>{"warning Warn.bundle/Root.plist:2",
                                             "error Warn.bundle/Odd,%20name%3A%20100%25.plist"}));

    // Outside it, a file URI.
    TempDeviceRoot elsewhere;
    EXPECT_EQ(this->run({dir.host("/Warn.bundle"), "--format", "sarif"}, out, err, elsewhere.path()), 1);
    const auto outside = nlohmann::json::parse(out);
    const std::string uri =
        outside["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["artifactLocation"]["uri"];
    EXPECT_TRUE(uri.starts_with("file://" + dir.path() + "/Warn.bundle/")) << uri;
}

TEST_F(LintFormatsTest, SeveralBundlesAreReportedTogetherWithTheWorstStatus) {
    std::string out, err;
    EXPECT_EQ(run({"Clean.bundle", "Clean.bundle"}, out, err), 0);
    EXPECT_EQ(out, "no findings in 4 files of 2 bundles\n");

    EXPECT_EQ(run({"Clean.bundle", "Warn.bundle"}, out, err), 1);
    EXPECT_NE(out.find("Warn.bundle/Root.plist:2: warning: "), std::string::npos) << out;
    EXPECT_NE(out.find("1 error and 1 warning in 5 files of 2 bundles\n"), std::string::npos) << out;

    EXPECT_EQ(run({"Clean.bundle", "Warn.bundle", "--format", "json"}, out, err), 1);
    auto report = nlohmann::json::parse(out);
    ASSERT_EQ(report["bundles"].size(), 2u);
    EXPECT_EQ(report["bundles"][1]["bundle"], "Warn.bundle");
    EXPECT_EQ(report["errors"], 1);
    EXPECT_EQ(report["warnings"], 1);

    // A bundle that cannot be read makes the status 2; the others are still reported.
    EXPECT_EQ(run({"Warn.bundle", "Missing.bundle", "--format", "github"}, out, err), 2);
    EXPECT_EQ(parseGithub(out).size(), 2u);
    EXPECT_NE(err.find("cannot read Missing.bundle: no such folder"), std::string::npos) << err;
    EXPECT_EQ(run({"Clean.bundle", "Missing.bundle"}, out, err), 2);
}

TEST_F(LintFormatsTest, AProjectIsLintedWhereItsFilesAre) {
    dir.write("/tweak/Makefile", "SUBPROJECTS += prefs\n");
    dir.write("/tweak/prefs/Makefile", "BUNDLE_NAME = TweakPrefs\n");
    dir.write("/tweak/prefs/Resources/Info.plist", kBundleInfo);
    dir.write("/tweak/prefs/Resources/Root.plist", kFormatsWarningPage);
    dir.write("/tweak/layout/Library/PreferenceBundles/Other.bundle/Info.plist", kBundleInfo);
    dir.write("/tweak/layout/Library/PreferenceBundles/Other.bundle/Root.plist", kFormatsCleanPage);

    std::string out, err;
    EXPECT_EQ(run({"tweak", "--format", "github"}, out, err), 1) << err;
    auto lines = parseGithub(out);
    ASSERT_EQ(lines.size(), 1u) << out;
    EXPECT_EQ(lines[0].file, "tweak/prefs/Resources/Root.plist");
    EXPECT_EQ(run({"tweak", "--bundle-name", "Other"}, out, err), 0) << err;
    EXPECT_EQ(run({"tweak", "--bundle-name", "Missing"}, out, err), 2);
    EXPECT_NE(err.find("TweakPrefs"), std::string::npos) << err;
}
