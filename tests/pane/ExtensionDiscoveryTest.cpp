#include "pane/PaneTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using ::testing::ElementsAre;

namespace {

constexpr const char* kDir = "/Library/MobileSubstrate/DynamicLibraries";

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        installPaneTestBundle(device);
        device.mkdirs(kDir);
        pane = OrbitchatPreferencesController::create();
        pane->setDylibsArray(PlistValue::array());
    }
    std::vector<std::string> field(const char* key) {
        std::vector<std::string> out;
        for (const auto& r : *pane->dylibsArray().arrayValue())
            out.push_back(r.get(key).description());
        return out;
    }
    PlistValue record(std::string_view name) {
        for (const auto& r : *pane->dylibsArray().arrayValue())
            if (r.get("name").stringValue() == name)
                return r;
        return {};
    }
    DeviceFixture device;
    std::shared_ptr<OrbitchatPreferencesController> pane;
};

TEST_F(DiscoveryTest, FileNameFilterStatusAndNames) {
    for (const char* name : {"OCSupportExample.plist", "ocsupportexample.dylib", "OCExample.dylib",
                             "Other.dylib", "SupportOC.disabled", "OCSupportBoth.dylib.disabled",
                             "Foo.OCSupport.dylib", ".OCSupport.dylib", "OCSupportMessages.dylib"})
        device.write(std::string(kDir) + "/" + name, "x");
    pane->loadDylibs();
    ASSERT_EQ(pane->dylibsArray().count(), 5u);
    EXPECT_EQ(record("SupportOC").get("status"), PlistValue(0));
    EXPECT_EQ(record("OCSupportBoth").get("status"), PlistValue(1));
    EXPECT_EQ(record("OCSupportMessages").get("path"),
              PlistValue(std::string(kDir) + "/OCSupportMessages.dylib"));
    EXPECT_EQ(record("OCSupportMessages").get("plistPath"),
              PlistValue(std::string(kDir) + "/OCSupportMessages.plist"));
    // The plist is looked for under the cut name.
    EXPECT_EQ(record("Foo").get("plistPath"), PlistValue(std::string(kDir) + "/Foo.plist"));
    EXPECT_EQ(record("").get("plistPath"), PlistValue(std::string(kDir) + "/.plist"));
    EXPECT_FALSE(record("Foo").get("appId"));
}

TEST_F(DiscoveryTest, AppIdsDisplayNamesAndByteOrder) {
    device.addApp("com.beta", {{"CFBundleDisplayName", "beta"}});
    device.addApp("com.zeta", {{"CFBundleDisplayName", "Zeta"}});
    device.addApp("com.alpha", {{"CFBundleDisplayName", "Alpha"}});
    device.addExtension("OCSupportB.dylib", {"com.beta"});
    device.addExtension("OCSupportZ.dylib", {"com.zeta", "com.beta"});
    device.addExtension("OCSupportA.disabled", {"com.alpha"});
    device.addExtension("OCSupportGone.dylib", {"com.not.installed"});
    device.addExtension("OCSupportNoPlist.dylib", {});
    pane->loadDylibs();
    EXPECT_THAT(field("appDisplayName"), ElementsAre("Alpha", "Zeta", "beta", "(null)", "(null)"));
    EXPECT_EQ(record("OCSupportZ").get("appId"), PlistValue("com.zeta")); // only the first bundle
    EXPECT_EQ(record("OCSupportGone").get("appId"), PlistValue("com.not.installed"));
    EXPECT_FALSE(record("OCSupportNoPlist").get("appId"));
}

TEST_F(DiscoveryTest, EnabledAndDisabledCopiesGiveTwoRecords) {
    device.addApp("com.apple.MobileSMS", {{"CFBundleDisplayName", "Messages"}});
    device.addExtension("OCSupportMessages.dylib", {"com.apple.MobileSMS"});
    device.write(std::string(kDir) + "/OCSupportMessages.disabled", "x");
    pane->loadDylibs();
    ASSERT_EQ(pane->dylibsArray().count(), 2u);
    std::vector<std::string> statuses = field("status");
    std::sort(statuses.begin(), statuses.end());
    EXPECT_THAT(statuses, ElementsAre("0", "1"));
    EXPECT_THAT(field("appDisplayName"), ElementsAre("Messages", "Messages"));
}

TEST_F(DiscoveryTest, MalformedFilterPlistsLeaveTheAppIdOut) {
    auto filterPlist = [&](const char* name, PlistValue filter) {
        PlistValue plist = PlistValue::dictionary();
        plist.set("Filter", filter);
        device.write(std::string(kDir) + "/" + name + ".dylib", "x");
        device.writePlist(std::string(kDir) + "/" + name + ".plist", plist);
    };
    PlistValue bundlesNotArray = PlistValue::dictionary();
    bundlesNotArray.set("Bundles", "com.apple.MobileSMS");
    filterPlist("OCSupportNotArray", bundlesNotArray);
    PlistValue emptyBundles = PlistValue::dictionary();
    emptyBundles.set("Bundles", PlistValue::array());
    filterPlist("OCSupportEmpty", emptyBundles);
    filterPlist("OCSupportFilterString", PlistValue("Bundles"));
    PlistValue numbers = PlistValue::dictionary();
    numbers.set("Bundles", PlistValue::array({PlistValue(42)}));
    filterPlist("OCSupportNumber", numbers);
    device.write(std::string(kDir) + "/OCSupportGarbage.dylib", "x");
    device.write(std::string(kDir) + "/OCSupportGarbage.plist", "bplist00\x01\x02\x03 truncated");
    // Old-style text, as many filter files are written.
    device.write(std::string(kDir) + "/OCSupportText.dylib", "x");
    device.write(std::string(kDir) + "/OCSupportText.plist", "{ Filter = { Bundles = ( \"com.text\" ); }; }");
    device.addApp("com.text", {{"CFBundleName", "Text"}});

    pane->loadDylibs();
    EXPECT_EQ(pane->dylibsArray().count(), 6u);
    EXPECT_FALSE(record("OCSupportNotArray").get("appId"));
    EXPECT_FALSE(record("OCSupportEmpty").get("appId"));
    EXPECT_FALSE(record("OCSupportFilterString").get("appId"));
    EXPECT_FALSE(record("OCSupportGarbage").get("appId"));
    // A non-string identifier is kept as found but names no app.
    EXPECT_EQ(record("OCSupportNumber").get("appId"), PlistValue(42));
    EXPECT_FALSE(record("OCSupportNumber").get("appDisplayName"));
    EXPECT_EQ(record("OCSupportText").get("appDisplayName"), PlistValue("Text"));
}

TEST_F(DiscoveryTest, OddBytesInFileNamesAreKeptAsTheyAre) {
    std::string odd = "OCSupport\xff\xfe.dylib";
    device.write(std::string(kDir) + "/" + odd, "x");
    pane->loadDylibs();
    ASSERT_EQ(pane->dylibsArray().count(), 1u);
    EXPECT_EQ(pane->dylibsArray().at(0).get("path"), PlistValue(std::string(kDir) + "/" + odd));
}

TEST_F(DiscoveryTest, EmptyFolderEmptiesTheSameArrayAndReloadsRows) {
    PlistValue held = pane->dylibsArray();
    held.append(PlistValue::dictionary());
    (void)pane->specifiers();
    pane->loadDylibs();
    EXPECT_EQ(held.count(), 0u); // emptied in place
    EXPECT_EQ(pane->dylibsArray().arrayValue(), held.arrayValue());
}

TEST_F(DiscoveryTest, ListingFailureLogsAndKeepsTheRecords) {
    device.addExtension("OCSupportA.dylib", {});
    pane->loadDylibs();
    ASSERT_EQ(pane->dylibsArray().count(), 1u);
    auto rows = pane->specifiers();
    std::filesystem::remove_all(device.host("/Library/MobileSubstrate"));
    device.clearLog();
    pane->loadDylibs();
    EXPECT_EQ(pane->dylibsArray().count(), 1u);
    EXPECT_EQ(pane->specifiers(), rows); // not rebuilt
    ASSERT_EQ(device.log().size(), 1u);
    EXPECT_EQ(device.log()[0].rfind("[OC] Content Reading Erroing: Error Domain=", 0), 0u) << device.log()[0];
    // Device paths only, never the host's.
    EXPECT_EQ(device.log()[0].find(device.root()), std::string::npos);
}

TEST_F(DiscoveryTest, UnreadableFolderLogsAndShowsTheNoExtensionsAlert) {
    device.addExtension("OCSupportA.dylib", {});
    chmod(device.host(kDir).c_str(), 0);
    EXPECT_EXIT(
        {
            if (!device.becomeNobody())
                std::_Exit(3);
            OpenPane p;
            bool logged = device.countLog("[OC] Content Reading Erroing: ") == 1;
            bool alerted = p.pane->presentedViewController() != nullptr;
            std::_Exit(logged && alerted ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(device.host(kDir).c_str(), 0755);
}

} // namespace
