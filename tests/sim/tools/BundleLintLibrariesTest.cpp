#include "sim/tools/BundleLint.h"

#include "platform/prefslibs/PrefsLibraries.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A specifier plist with one row per line: row N (from 1) is on line N + 2.
std::string libraryLintPage(const std::vector<std::string>& rows) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>items</key><array>\n";
    for (const auto& row : rows)
        out += "<dict>" + row + "</dict>\n";
    return out + "</array></dict></plist>\n";
}

std::string field(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key><string>" + value + "</string>";
}

const std::string kStored = field("key", "k") + field("defaults", "com.my");

// Names of the preference libraries as a test decides them, so that what lint does with a library
// class does not wait for the libraries themselves.
bool testLibraryClass(std::string_view name) {
    return name == "HBLinkTableCell" || name == "PFSimpleLiteColorCell" ||
           name == "ATLApplicationListMultiSelectionController";
}

class BundleLintLibrariesTest : public ::testing::Test {
protected:
    void writePage(const std::vector<std::string>& rows) const {
        dir.write("/My.bundle/Info.plist", "<plist><dict>" + field("CFBundleExecutable", "My") +
                                               field("NSPrincipalClass", "MyListController") +
                                               "</dict></plist>");
        dir.write("/My.bundle/Root.plist", libraryLintPage(rows));
    }
    // The findings' messages by "line code".
    std::multimap<std::string, std::string> findings(const BundleLint::LibraryClassQuery& libraries) const {
        Result<BundleLintReport> report = BundleLint::lint(dir.host("/My.bundle"), libraries);
        EXPECT_TRUE(report) << report.reason();
        std::multimap<std::string, std::string> out;
        if (report)
            for (const auto& f : report.value().findings)
                out.emplace(std::to_string(f.line) + " " + f.code, f.message);
        return out;
    }
    TempDeviceRoot dir;
};

} // namespace

TEST_F(BundleLintLibrariesTest, LibraryClassesAreKnownAndOnlyTheBundlesOwnAreReported) {
    writePage({
        field("cell", "PSButtonCell") + field("label", "Site") + field("cellClass", "HBLinkTableCell"),
        field("cell", "PSLinkCell") + field("label", "Tint") + field("cellClass", "PFSimpleLiteColorCell"),
        field("cell", "PSLinkListCell") + field("label", "Apps") + kStored +
            field("detail", "ATLApplicationListMultiSelectionController"),
        field("cell", "PSSwitchCell") + field("label", "Plain") + kStored +
            field("cellClass", "PSSwitchTableCell"),
    });
    for (const auto& [place, text] : findings(testLibraryClass))
        ADD_FAILURE() << place << ": " << text;

    // The same names, when the device has no such libraries, are the bundle's own code.
    auto none = findings([](std::string_view) { return false; });
    EXPECT_EQ(none.count("3 custom-cell"), 1u);
    EXPECT_EQ(none.count("4 custom-cell"), 1u);
    EXPECT_EQ(none.count("5 unknown-detail"), 1u);
    EXPECT_EQ(none.count("5 missing-values"), 1u); // choices the bundle's own page would bring
    EXPECT_EQ(none.count("6 custom-cell"), 0u);    // the framework's own class
    EXPECT_EQ(none.count("4 no-detail"), 1u);      // a plain link row that leads nowhere

    // Without a query lint asks the libraries themselves.
    auto byDefault = findings({});
    EXPECT_EQ(byDefault.count("3 custom-cell"), PrefsLibraries::isLibraryClass("HBLinkTableCell") ? 0u : 1u);
}

TEST_F(BundleLintLibrariesTest, TheBundlesOwnClassesSayWhatTheSimulatorDrawsInTheirPlace) {
    writePage({
        field("cell", "PSSwitchCell") + field("label", "Glow") + kStored + field("cellClass", "MySwitchCell"),
        field("cell", "PSSliderCell") + field("label", "Size") + kStored + field("cellClass", "MySliderCell"),
        field("cellClass", "MyBannerCell"),
        field("cell", "PSButtonCell") + field("label", "Show") + field("cellClass", "MyButtonCell"),
        field("cell", "PSButtonCell") + field("label", "Run") + field("action", "run:") +
            field("cellClass", "MyButtonCell"),
        field("cell", "PSLinkCell") + field("label", "More") + field("detail", "MyMoreController"),
    });
    auto found = findings(testLibraryClass);
    auto message = [&](const std::string& place) {
        auto it = found.find(place);
        return it == found.end() ? std::string("(none)") : it->second;
    };
    // A value row is approximated: drawn and stored as its stock cell.
    EXPECT_NE(message("3 custom-cell").find("approximated, drawn and stored as its stock PSSwitchCell"),
              std::string::npos)
        << message("3 custom-cell");
    EXPECT_NE(message("4 custom-cell").find("stock PSSliderCell"), std::string::npos);
    // Only a row with neither cell nor label is a placeholder.
    EXPECT_NE(message("5 custom-cell").find("placeholder"), std::string::npos) << message("5 custom-cell");
    for (const char* place : {"3 custom-cell", "4 custom-cell", "6 custom-cell", "7 custom-cell"})
        EXPECT_EQ(message(place).find("placeholder"), std::string::npos) << message(place);
    // A button whose tap is the class's code opens a page naming it; one with an action runs it.
    EXPECT_NE(message("6 custom-cell").find("a tap opens a page that names the class"), std::string::npos)
        << message("6 custom-cell");
    EXPECT_EQ(message("7 custom-cell").find("a tap opens"), std::string::npos) << message("7 custom-cell");
    // A detail of the bundle's own opens a page that names it.
    EXPECT_NE(message("8 unknown-detail").find("the tap opens a page that names \"MyMoreController\""),
              std::string::npos)
        << message("8 unknown-detail");
    for (const auto& [place, text] : found)
        EXPECT_TRUE(place.ends_with("custom-cell") || place.ends_with("unknown-detail") ||
                    place == "5 missing-cell")
            << place << ": " << text;
}
