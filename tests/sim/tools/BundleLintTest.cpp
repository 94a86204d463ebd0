#include "sim/tools/BundleLint.h"

#include "platform/foundation/plist/BinaryPlistWriter.h"
#include "platform/prefs/PSCellTypes.h"
#include "support/BundleWriter.h"
#include "support/TempDeviceRoot.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string utf16le(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii)
        out += std::string{c, '\0'};
    return out;
}

class BundleLintTest : public ::testing::Test {
protected:
    std::string bundle() const { return my.path(); }
    void write(const std::string& file, std::string_view bytes) const { my.write(file, bytes); }

    std::vector<BundleLintFinding> lint(std::size_t* filesRead = nullptr) const {
        Result<BundleLintReport> report = BundleLint::lint(bundle());
        EXPECT_TRUE(report) << report.reason();
        if (!report)
            return {};
        if (filesRead)
            *filesRead = report.value().filesRead;
        return report.value().findings;
    }

    // "file:line code" for each finding, which is what most tests assert.
    std::multiset<std::string> places() const {
        std::multiset<std::string> out;
        for (const auto& f : lint())
            out.insert(f.file + ":" + std::to_string(f.line) + " " + f.code);
        return out;
    }

    int run(std::vector<std::string> args, std::string& out, std::string& err) const {
        return runSubcommand(RunBundleLint, "lint", std::move(args), out, err);
    }

    TempDeviceRoot dir;
    BundleWriter my{dir};
};

} // namespace

TEST_F(BundleLintTest, AWellFormedBundleHasNoFindings) {
    write("Info.plist", kBundleInfo);
    write(
        "Root.plist",
        xmlSpecifierPage(
            {xmlEntry("cell", "PSGroupCell") + xmlEntry("label", "General") + xmlEntry("footerText", "Foot"),
             xmlEntry("cell", "PSSwitchCell") + xmlEntry("label", "Enabled") + xmlEntry("key", "enabled") +
                 xmlEntry("defaults", "com.my") + "<key>default</key><true/>",
             xmlEntry("cell", "PSSliderCell") + xmlEntry("key", "size") + xmlEntry("defaults", "com.my") +
                 "<key>min</key><integer>1</integer><key>max</key><real>9.5</real>"
                 "<key>default</key><integer>3</integer>",
             xmlEntry("cell", "PSSegmentCell") + xmlEntry("label", "Mode") + xmlEntry("key", "mode") +
                 xmlEntry("defaults", "com.my") +
                 "<key>validTitles</key><array><string>A</string><string>B</string></array>"
                 "<key>validValues</key><array><integer>0</integer><integer>1</integer></array>"
                 "<key>default</key><real>1.0</real>",
             // Its own getter and setter: no key or defaults needed.
             xmlEntry("cell", "PSEditTextCell") + xmlEntry("label", "Name") + xmlEntry("get", "name:") +
                 xmlEntry("set", "setName:specifier:") + xmlEntry("default", "x"),
             xmlEntry("cell", "PSLinkCell") + xmlEntry("label", "More") + xmlEntry("detail", "Child") +
                 xmlEntry("icon", "more"),
             xmlEntry("cell", "PSLinkListCell") + xmlEntry("label", "Pick") +
                 xmlEntry("detail", "PSListItemsController") + xmlEntry("key", "pick") +
                 xmlEntry("defaults", "com.my") +
                 "<key>validTitles</key><array><string>A</string></array>"
                 "<key>validValues</key><array><string>a</string></array>"},
            "Mine"));
    // Old-style text holds only strings: numbers and booleans are written as text.
    write("Child.plist",
          "{ title = Child; items = (\n"
          "  { cell = PSSwitchCell; label = On; key = on; defaults = com.my; default = YES; },\n"
          "  { cell = PSSliderCell; label = Size; key = s; defaults = com.my; min = 0; max = 1;"
          " default = 0.5; },\n"
          "  { cell = PSButtonCell; label = Go; action = go; },\n"
          "); }\n");
    write("more@2x.png", "png");
    write("de.lproj/Root.strings",
          utf16le("\"Mine\" = \"Meins\";\n\"General\" = \"Allgemein\"; \"Foot\" = \"Fuss\";\n\"Enabled\";\n"
                  "\"Mode\" = \"Modus\"; \"A\"; \"B\"; \"Name\"; \"More\" = \"Mehr\"; \"Pick\";\n"));
    write("de.lproj/Child.strings", "Child = Kind; On = An; Size = Groesse; Go = Los;");
    write("de.lproj/InfoPlist.strings", "/* nothing yet */");
    write("de.lproj/Localizable.strings", "\"Hello\" = \"Hallo\";");

    std::size_t filesRead = 0;
    EXPECT_EQ(lint(&filesRead).size(), 0u);
    EXPECT_EQ(filesRead, 7u);
    std::string out, err;
    EXPECT_EQ(run({bundle()}, out, err), 0);
    EXPECT_EQ(out, "no findings in 7 files\n");
    EXPECT_EQ(run({bundle(), "--format", "json"}, out, err), 0);
    auto report = nlohmann::json::parse(out);
    EXPECT_EQ(report["findings"].size(), 0u);
    EXPECT_EQ(report["errors"], 0);
    EXPECT_EQ(report["files"], 7);
}

TEST_F(BundleLintTest, InfoPlistMustNameItsClassAndExecutable) {
    write("Root.plist", xmlSpecifierPage({}));
    EXPECT_EQ(places(), (std::multiset<std::string>{"Info.plist:0 no-info-plist"}));

    write("Info.plist", "{\n CFBundleExecutable = \"\";\n}");
    EXPECT_EQ(places(),
              (std::multiset<std::string>{"Info.plist:1 info-missing-key", "Info.plist:1 info-missing-key"}));
    write("Info.plist", "( NSPrincipalClass )");
    EXPECT_EQ(places(), (std::multiset<std::string>{"Info.plist:1 bad-info-plist"}));
    write("Info.plist", "<plist><dict><key>a</key></plist>");
    auto findings = lint();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].code, "unreadable");
    EXPECT_EQ(findings[0].severity, BundleLintFinding::Severity::Error);
    EXPECT_NE(findings[0].message.find("XML list"), std::string::npos) << findings[0].message;
}

TEST_F(BundleLintTest, RowsAreCheckedAndNamedByTheirLinesInXml) {
    write("Info.plist", kBundleInfo);
    write("Other.plist", xmlSpecifierPage({}));
    write("Root.plist",
          xmlSpecifierPage(
              {xmlEntry("cell", "PSFooCell") + xmlEntry("label", "Foo"), xmlEntry("label", "No cell"),
               xmlEntry("cell", "PSSwitchCell") + xmlEntry("label", "Bare"),
               xmlEntry("cell", "PSSwitchCell") + xmlEntry("key", "k") + xmlEntry("get", "g:"),
               xmlEntry("cell", "PSSwitchCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                   xmlEntry("default", "on"),
               xmlEntry("cell", "PSSliderCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                   "<key>default</key><true/><key>min</key><integer>5</integer>"
                   "<key>max</key><integer>5</integer>",
               xmlEntry("cell", "PSEditTextCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                   "<key>default</key><integer>3</integer>",
               xmlEntry("cell", "PSSegmentCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                   "<key>validTitles</key><array><string>A</string></array>"
                   "<key>validValues</key><array><string>a</string><string>b</string></array>" +
                   xmlEntry("default", "c"),
               xmlEntry("cell", "PSLinkListCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d"),
               xmlEntry("cell", "PSButtonCell") + xmlEntry("cellClass", "MyCell"),
               xmlEntry("cell", "PSLinkCell") + xmlEntry("label", "Nowhere"),
               xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "Other") + xmlEntry("icon", "gone"),
               xmlEntry("cell", "PSSegmentCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                   "<key>validValues</key><array><integer>1</integer></array>"
                   "<key>shortTitles</key><array/><key>default</key><true/>"}));
    EXPECT_EQ(places(),
              (std::multiset<std::string>{
                  "Root.plist:4 unknown-cell", "Root.plist:5 missing-cell", "Root.plist:6 missing-key",
                  "Root.plist:6 missing-defaults",
                  "Root.plist:7 missing-defaults", // a getter of its own, but the stock setter
                  "Root.plist:8 default-type", "Root.plist:9 default-type", "Root.plist:9 slider-range",
                  "Root.plist:10 default-type", "Root.plist:11 valid-length",
                  "Root.plist:11 default-not-valid", "Root.plist:12 missing-values",
                  "Root.plist:13 custom-cell", "Root.plist:14 no-detail", "Root.plist:15 missing-icon",
                  "Root.plist:16 valid-length", // shortTitles; true equals 1 as NSNumbers do
              }));
    // Severities follow what the device does: a value that is never saved is an error, a row
    // shown differently a warning.
    for (const auto& f : lint()) {
        const bool error =
            f.code == "missing-key" || f.code == "missing-defaults" || f.code == "valid-length";
        EXPECT_EQ(f.severity == BundleLintFinding::Severity::Error, error) << f.code;
    }
}

TEST_F(BundleLintTest, DefaultsAreCheckedWithTheFrameworksOwnPathRules) {
    write("Info.plist", kBundleInfo);
    write("Root.plist", "{ items = (\n"
                        "  { cell = PSSwitchCell; key = a; defaults = \"..\"; },\n"
                        "  { cell = PSSwitchCell; key = b; defaults = \"my/prefs\"; },\n"
                        "  { cell = PSSwitchCell; key = c; defaults = \"/var/mobile/\"; },\n"
                        "  { cell = PSSwitchCell; key = d; defaults = \"../../etc/x\"; },\n"
                        "  { cell = PSSwitchCell; key = e; defaults = \"/var/mobile/my\"; },\n"
                        "  { cell = PSSwitchCell; key = f; defaults = \"..\"; get = g; set = s; },\n"
                        "); }\n");
    EXPECT_EQ(places(),
              (std::multiset<std::string>{"Root.plist:2 bad-defaults", "Root.plist:3 bad-defaults",
                                          "Root.plist:4 bad-defaults", "Root.plist:5 bad-defaults"}));
    auto findings = lint();
    ASSERT_FALSE(findings.empty());
    EXPECT_EQ(findings[0].severity, BundleLintFinding::Severity::Error);
    EXPECT_NE(findings[0].message.find("\"..\""), std::string::npos) << findings[0].message;
    EXPECT_NE(findings[3].message.find("leads out of the preferences folder"), std::string::npos)
        << findings[3].message;
}

TEST_F(BundleLintTest, EveryTypeThatHoldsAValueNeedsAKeyAsTheTableOfTypesSays) {
    write("Info.plist", kBundleInfo);
    std::vector<std::string> rows;
    std::multiset<std::string> expected;
    for (const PSCellTypeInfo& info : PSCellTypes::all()) {
        rows.push_back(xmlEntry("cell", std::string(info.name)) + xmlEntry("label", "Row"));
        if (info.value != PSValueKind::None)
            expected.insert("Root.plist:" + std::to_string(rows.size() + 3) + " missing-key");
    }
    write("Root.plist", xmlSpecifierPage(rows));
    std::multiset<std::string> missingKeys;
    for (const std::string& place : places())
        if (place.ends_with(" missing-key"))
            missingKeys.insert(place);
    EXPECT_EQ(missingKeys, expected);
    EXPECT_EQ(expected.size(), 7u); // switch, slider, segment, link list and three text fields
}

TEST_F(BundleLintTest, PagesWithoutItemsAndRowsThatAreNotDictionaries) {
    write("Info.plist", kBundleInfo);
    write("Root.plist", "{\n  title = Root;\n  rows = ();\n}\n");
    write("List.plist", "( a, b )");
    write("Mixed.plist", "{ items = (\n  plain,\n  { cell = PSGroupCell; }\n); }");
    EXPECT_EQ(places(), (std::multiset<std::string>{"List.plist:1 no-items", "Mixed.plist:1 bad-row",
                                                    "Root.plist:1 no-items"}));
}

TEST_F(BundleLintTest, OldStyleListsHaveLinesAndTheirTextValuesAreTakenForNumbers) {
    write("Info.plist", kBundleInfo);
    write("Root.plist",
          "// settings\n"
          "{\n"
          "  items = (\n"
          "    { cell = PSSwitchCell; key = a; defaults = d; default = 1; },\n"
          "    { cell = PSSwitchCell; key = b; defaults = d; default = maybe; },\n"
          "\n"
          "    { cell = PSSliderCell; key = c; defaults = d; default = \"-0.5\"; min = \"-1\"; max = 1; },\n"
          "    { cell = PSSliderCell; key = e; defaults = d; default = big; min = 2; max = 1; },\n"
          "    {\n"
          "      cell = PSSegmentCell; key = f; defaults = d;\n"
          "      validValues = (1, 2); validTitles = (One, Two); default = 3;\n"
          "    },\n"
          "    { cell = PSStaticTextCell; label = Banner; height = \"120\"; },\n"
          "    { cell = PSStaticTextCell; label = Flat; height = tall; },\n"
          "    { cell = PSStaticTextCell; label = Sky; height = 5000; },\n"
          "  );\n"
          "}\n");
    EXPECT_EQ(places(),
              (std::multiset<std::string>{"Root.plist:5 default-type", "Root.plist:8 default-type",
                                          "Root.plist:8 slider-range", "Root.plist:9 default-not-valid",
                                          "Root.plist:14 bad-height", "Root.plist:15 bad-height"}));
}

TEST_F(BundleLintTest, BinaryListsAreReadAndHaveNoLines) {
    write("Info.plist", kBundleInfo);
    PlistValue row = PlistValue::dictionary();
    row.set("cell", "PSBarCell");
    PlistValue page = PlistValue::dictionary();
    page.set("items", PlistValue::array({row}));
    std::string binary;
    ASSERT_FALSE(writeBinaryPlist(page, PlistLimits{}, binary));
    write("Root.plist", binary);
    auto findings = lint();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].code, "unknown-cell");
    EXPECT_EQ(findings[0].line, 0u);
    EXPECT_EQ(
        BundleLint::text(findings, 2),
        "Root.plist: warning: unknown cell type \"PSBarCell\" (shown as a plain text row) [unknown-cell]\n"
        "0 errors and 1 warning in 2 files\n");
}

TEST_F(BundleLintTest, DetailsNameAPageOrAControllerTheSimulatorHas) {
    write("Info.plist", kBundleInfo);
    write("About.plist", xmlSpecifierPage({}));
    write("Root.plist", xmlSpecifierPage({
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "About"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "PSListController"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "about"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "About.plist"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "Credits.plist"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "my page"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "credits"),
                            xmlEntry("cell", "PSLinkCell") + xmlEntry("detail", "MyCreditsController"),
                            xmlEntry("cell", "PSLinkCell") + "<key>detail</key><integer>1</integer>",
                        }));
    auto findings = lint();
    std::vector<std::string> got;
    for (const auto& f : findings)
        got.push_back(std::to_string(f.line) + " " + f.code);
    EXPECT_EQ(
        got, (std::vector<std::string>{"6 missing-page", "7 missing-page", "8 missing-page", "9 missing-page",
                                       "10 missing-page", "11 unknown-detail", "12 missing-page"}));
    EXPECT_NE(findings[0].message.find("\"About.plist\"; the device's names are case-sensitive"),
              std::string::npos)
        << findings[0].message;
    EXPECT_NE(findings[1].message.find("use \"About\""), std::string::npos) << findings[1].message;
    EXPECT_EQ(findings[5].severity, BundleLintFinding::Severity::Warning);
}

TEST_F(BundleLintTest, StringsTablesAreCheckedAgainstTheirPages) {
    write("Info.plist", kBundleInfo);
    write(
        "Root.plist",
        xmlSpecifierPage(
            {xmlEntry("cell", "PSGroupCell") + xmlEntry("label", "Group") + xmlEntry("footerText", "Footer"),
             xmlEntry("cell", "PSStaticTextCell") + xmlEntry("staticTextMessage", "Static"),
             xmlEntry("cell", "PSSegmentCell") + xmlEntry("key", "k") + xmlEntry("defaults", "d") +
                 "<key>validTitles</key><array><string>One</string></array>"
                 "<key>shortTitles</key><array><string>1</string></array>"
                 "<key>validValues</key><array><integer>1</integer></array>"},
            "Title"));
    write("de.lproj/Root.strings", utf16le("\"Group\" = \"Gruppe\";\n\"One\";\n"));
    write("fr.lproj/Root.strings", "/* vide */");
    write("fr.lproj/Gone.strings", "\"a\" = \"b\";");
    write("fr.lproj/Localizable.strings", "\"a\" = \"b\";");
    write("fr.lproj/notes.txt", "not a table");
    write("es.lproj/Root.strings", "\xFF\xFE\x41"); // odd UTF-16

    auto findings = lint();
    std::vector<std::string> got;
    for (const auto& f : findings) {
        // The message up to the place of the use, where it names one.
        const std::size_t close = f.message.find(')');
        got.push_back(f.file + " " + f.code + " " +
                      (close == std::string::npos ? f.message : f.message.substr(0, close + 1)));
    }
    EXPECT_EQ(
        got, (std::vector<std::string>{
                 "de.lproj/Root.strings missing-string \"Title\" (Root.plist:3)",
                 "de.lproj/Root.strings missing-string \"Footer\" (Root.plist:4)",
                 "de.lproj/Root.strings missing-string \"Static\" (Root.plist:5)",
                 "de.lproj/Root.strings missing-string \"1\" (Root.plist:6)",
                 "es.lproj/Root.strings unreadable The data couldn’t be read because it isn’t in the correct "
                 "format (UTF-16 text of odd length)",
                 "fr.lproj/Gone.strings orphan-strings a strings table for \"Gone.plist\", which the bundle "
                 "does not have",
                 "fr.lproj/Root.strings missing-string \"Title\" (Root.plist:3)",
                 "fr.lproj/Root.strings missing-string \"Footer\" (Root.plist:4)",
                 "fr.lproj/Root.strings missing-string \"Group\" (Root.plist:4)",
                 "fr.lproj/Root.strings missing-string \"Static\" (Root.plist:5)",
                 "fr.lproj/Root.strings missing-string \"1\" (Root.plist:6)",
                 "fr.lproj/Root.strings missing-string \"One\" (Root.plist:6)",
             }));
}

TEST_F(BundleLintTest, FilesThatCannotBeReadAreReportedAndNothingLeavesTheBundle) {
    write("Info.plist", kBundleInfo);
    write("Broken.plist", "{ items = ( { cell = PSSwitchCell; } ); ");
    dir.write("/outside/Secret.plist", xmlSpecifierPage({xmlEntry("cell", "PSNeverReadCell")}));
    std::filesystem::create_symlink("../outside/Secret.plist", bundle() + "/Secret.plist");
    // An absolute link names a file of the host: it leads out of the bundle too.
    std::filesystem::create_symlink(dir.host("/outside/Secret.plist"), bundle() + "/Absolute.plist");
    std::filesystem::create_symlink("../outside", bundle() + "/x.lproj");
    ASSERT_EQ(mkfifo((bundle() + "/Fifo.plist").c_str(), 0600), 0);

    auto findings = lint();
    std::map<std::string, std::string> unreadable;
    for (const auto& f : findings) {
        EXPECT_EQ(f.code, "unreadable") << f.file << ": " << f.message;
        unreadable[f.file] = f.message;
    }
    ASSERT_EQ(unreadable.size(), 5u);
    EXPECT_NE(unreadable["Absolute.plist"].find("is a link that leads out of the bundle"), std::string::npos)
        << unreadable["Absolute.plist"];
    EXPECT_NE(unreadable["Broken.plist"].find("old-style list: "), std::string::npos);
    EXPECT_NE(unreadable["Secret.plist"].find("outside"), std::string::npos) << unreadable["Secret.plist"];
    EXPECT_NE(unreadable["x.lproj"].find("outside"), std::string::npos) << unreadable["x.lproj"];
    EXPECT_TRUE(unreadable.contains("Fifo.plist"));
}

TEST_F(BundleLintTest, TheCommandPrintsTextOrJsonAndExitsAsLintersDo) {
    write("Info.plist", "<plist><dict>" + xmlEntry("CFBundleExecutable", "My") + "</dict></plist>");
    write("Root.plist",
          xmlSpecifierPage({xmlEntry("cell", "PSFooCell") + xmlEntry("label", "Say \"hi\"\nthere")}));
    std::string out, err;
    EXPECT_EQ(run({bundle()}, out, err), 1);
    EXPECT_EQ(
        out,
        "Info.plist:1: error: no NSPrincipalClass: the device does not know which controller opens the "
        "bundle [info-missing-key]\n"
        "Root.plist:4: warning: unknown cell type \"PSFooCell\" (shown as a plain text row) [unknown-cell]\n"
        "1 error and 1 warning in 2 files\n");
    EXPECT_EQ(err, "");

    EXPECT_EQ(run({"--format", "json", bundle()}, out, err), 1);
    auto report = nlohmann::json::parse(out);
    EXPECT_EQ(report["bundle"], bundle());
    EXPECT_EQ(report["errors"], 1);
    EXPECT_EQ(report["warnings"], 1);
    ASSERT_EQ(report["findings"].size(), 2u);
    EXPECT_EQ(report["findings"][1],
              (nlohmann::json{{"file", "Root.plist"},
                              {"line", 4},
                              {"severity", "warning"},
                              {"code", "unknown-cell"},
                              {"message", "unknown cell type \"PSFooCell\" (shown as a plain text row)"}}));
    // A finding without a line has a null one; texts of the bundle stay on one line.
    write("Root.plist", xmlSpecifierPage({xmlEntry("cell", "PSSwitchCell\n") + xmlEntry("key", "k") +
                                          xmlEntry("defaults", "d")}));
    std::remove((bundle() + "/Info.plist").c_str());
    EXPECT_EQ(run({bundle(), "--format=json"}, out, err), 1);
    report = nlohmann::json::parse(out);
    EXPECT_TRUE(report["findings"][0]["line"].is_null());
    EXPECT_EQ(run({bundle()}, out, err), 1);
    EXPECT_NE(out.find("unknown cell type \"PSSwitchCell\\x0a\""), std::string::npos) << out;

    // Usage errors and folders that cannot be read: 2, with the reason on the error stream.
    EXPECT_EQ(run({}, out, err), 2);
    EXPECT_NE(err.find("BUNDLE"), std::string::npos) << err;
    EXPECT_EQ(run({bundle(), "--format", "xml"}, out, err), 2);
    EXPECT_EQ(run({dir.host("/nothing.bundle")}, out, err), 2);
    EXPECT_EQ(err, "orbitchat-sim lint: cannot read " + dir.host("/nothing.bundle") + ": no such folder\n");
    EXPECT_EQ(run({bundle() + "/Root.plist"}, out, err), 2);
    EXPECT_NE(err.find("not a folder"), std::string::npos);
    EXPECT_EQ(run({"--help"}, out, err), 0);
}
