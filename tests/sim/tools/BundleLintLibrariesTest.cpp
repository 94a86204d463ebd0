#include "sim/tools/BundleLint.h"

#include "platform/prefslibs/PrefsLibraries.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::string field(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key><string>" + value + "</string>";
}

const std::string kStored = field("key", "k") + field("defaults", "com.my");

class BundleLintLibrariesTest : public ::testing::Test {
protected:
    // Writes a Root.plist whose row N (from 1) is on line N + 1.
    void writePage(const std::vector<std::string>& rows) const {
        std::string page = "<plist><dict><key>items</key><array>\n";
        for (const auto& row : rows)
            page += "<dict>" + row + "</dict>\n";
        dir.write("/My.bundle/Root.plist", page + "</array></dict></plist>\n");
    }
    // The findings' messages by "line code", with `libraries` as the names the libraries have.
    std::map<std::string, std::string> findings(const BundleLint::LibraryClassQuery& libraries) const {
        Result<BundleLintReport> report = BundleLint::lint(dir.host("/My.bundle"), libraries);
        EXPECT_TRUE(report) << report.reason();
        std::map<std::string, std::string> out;
        for (const auto& f : report ? report.value().findings : std::vector<BundleLintFinding>{})
            if (f.file == "Root.plist")
                out.emplace(std::to_string(f.line) + " " + f.code, f.message);
        return out;
    }
    TempDeviceRoot dir;
};

bool someLibraries(std::string_view name) {
    return name == "HBLinkTableCell" || name == "PFSimpleLiteColorCell" ||
           name == "ATLApplicationListMultiSelectionController";
}

} // namespace

TEST_F(BundleLintLibrariesTest, LibraryClassesAreKnownCodeAndTheBundlesOwnAreReported) {
    writePage({
        field("cell", "PSButtonCell") + field("label", "Site") + field("cellClass", "HBLinkTableCell"),
        field("cell", "PSLinkCell") + field("label", "Tint") + field("cellClass", "PFSimpleLiteColorCell"),
        field("cell", "PSLinkListCell") + field("label", "Apps") + kStored +
            field("detail", "ATLApplicationListMultiSelectionController"),
        field("cell", "PSSwitchCell") + field("label", "Plain") + kStored +
            field("cellClass", "PSSwitchTableCell"),
    });
    for (const auto& [place, text] : findings(someLibraries))
        ADD_FAILURE() << place << ": " << text;
    // Where the device has no such library, they are the bundle's own code.
    using Places = std::vector<std::string>;
    Places none;
    for (const auto& [place, text] : findings([](std::string_view) { return false; }))
        none.push_back(place);
    EXPECT_EQ(none, (Places{"2 custom-cell", "3 custom-cell", "3 no-detail", "4 missing-values",
                            "4 unknown-detail"}));
    // Without a query lint asks the libraries themselves.
    EXPECT_EQ(findings({}).count("2 custom-cell"),
              PrefsLibraries::isLibraryClass("HBLinkTableCell") ? 0u : 1u);
}

TEST_F(BundleLintLibrariesTest, TheBundlesOwnClassesSayWhatTheSimulatorDoesInTheirPlace) {
    writePage({
        field("cell", "PSSwitchCell") + field("label", "Glow") + kStored + field("cellClass", "MySwitchCell"),
        field("cellClass", "MyBannerCell"),
        field("cell", "PSButtonCell") + field("label", "Show") + field("cellClass", "MyButtonCell"),
        field("cell", "PSButtonCell") + field("label", "Run") + field("action", "run:") +
            field("cellClass", "My"),
        field("cell", "PSLinkCell") + field("label", "More") + field("detail", "MyMoreController"),
    });
    auto found = findings(someLibraries);
    auto says = [&](const std::string& place, const std::string& text) {
        return found[place].find(text) != std::string::npos;
    };
    EXPECT_TRUE(says("2 custom-cell", "approximated, drawn and stored as its stock PSSwitchCell"))
        << found["2 custom-cell"];
    EXPECT_FALSE(says("2 custom-cell", "placeholder"));
    EXPECT_TRUE(says("3 custom-cell", "neither \"cell\" nor \"label\"")) << found["3 custom-cell"];
    EXPECT_TRUE(says("3 custom-cell", "placeholder"));
    EXPECT_TRUE(says("4 custom-cell", "a tap opens a page that names the class")) << found["4 custom-cell"];
    EXPECT_FALSE(says("5 custom-cell", "a tap opens")) << found["5 custom-cell"];
    EXPECT_TRUE(says("6 unknown-detail", "the tap opens a page that names \"MyMoreController\""))
        << found["6 unknown-detail"];
}
