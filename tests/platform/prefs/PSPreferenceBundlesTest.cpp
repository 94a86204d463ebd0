// The preference-bundle folders listed once: every bundle found from the listings must answer as
// the device's own lookup (PSControllerClasses::deviceBundleNamed) answers it, for rootful and
// rootless bundles, links, odd files and broken Info.plists; and what the listings hold is what
// the folders held when they were made.

#include "support/DeviceFixture.h"

#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSPreferenceBundles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kRootful = "/Library/PreferenceBundles/";
constexpr const char* kRootless = "/var/jb/Library/PreferenceBundles/";

class PSPreferenceBundlesTest : public ::testing::Test {
protected:
    void SetUp() override {
        NSBundle::setPreferredLanguages({"de"});
        for (int i = 0; i < 6; ++i) {
            std::string n = std::to_string(i);
            device.write(kRootful + ("Full" + n + ".bundle/Info.plist"),
                         "{ NSPrincipalClass = Full" + n + "Controller; }");
            device.write(kRootful + ("Full" + n + ".bundle/Root.plist"), "{ items = (); }");
            device.write(kRootful + ("Full" + n + ".bundle/icon@2x.png"), "top icon " + n);
            device.write(kRootless + ("Less" + n + ".bundle/Info.plist"),
                         "{ NSPrincipalClass = Less; CFBundleDevelopmentRegion = fr; }");
            device.write(kRootless + ("Less" + n + ".bundle/fr.lproj/icon@2x.png"), "french icon");
        }
        device.write(kRootful + std::string("Full0.bundle/de.lproj/icon@2x.png"), "german icon");
        // In both folders the rootful one wins; a file where a bundle should be is passed over.
        device.write(kRootless + std::string("Both.bundle/Info.plist"), "{ NSPrincipalClass = Rootless; }");
        device.write(kRootful + std::string("Both.bundle/Info.plist"), "{ NSPrincipalClass = Rootful; }");
        device.write(kRootful + std::string("Shadowed.bundle"), "a file");
        device.write(kRootless + std::string("Shadowed.bundle/Info.plist"), "{ NSPrincipalClass = Found; }");
        // Broken, missing, odd Info.plist files.
        device.write(kRootful + std::string("Broken.bundle/Info.plist"), "{ NSPrincipalClass = ");
        device.write(kRootful + std::string("NotADictionary.bundle/Info.plist"), "( a, b )");
        device.write(kRootful + std::string("NoInfo.bundle/Root.plist"), "{ items = (); }");
        device.mkdirs(kRootful + std::string("InfoFolder.bundle/Info.plist"));
        device.write(kRootful + std::string("InfoLink.bundle/Real.plist"), "{ NSPrincipalClass = ByLink; }");
        symlinkAt("Real.plist", kRootful + std::string("InfoLink.bundle/Info.plist"));
        symlinkAt(outside.host("/Info.plist"), kRootful + std::string("InfoOut.bundle/Info.plist"));
        outside.write("/Info.plist", "{ NSPrincipalClass = Outside; }");
        device.write(kRootful + std::string("InfoFifo.bundle/Root.plist"), "{ items = (); }");
        EXPECT_EQ(mkfifo(device.host(kRootful + std::string("InfoFifo.bundle/Info.plist")).c_str(), 0644), 0);
        // Links: to a bundle inside the device, out of it, to a file, dangling.
        device.write("/opt/Real.bundle/Info.plist", "{ NSPrincipalClass = Linked; }");
        symlinkAt("/opt/Real.bundle", kRootful + std::string("Linked.bundle"));
        outside.write("/Out.bundle/Info.plist", "{ NSPrincipalClass = Escaped; }");
        symlinkAt(outside.host("/Out.bundle"), kRootful + std::string("Escaping.bundle"));
        symlinkAt("/opt/Real.bundle/Info.plist", kRootful + std::string("ToAFile.bundle"));
        symlinkAt("/opt/None.bundle", kRootful + std::string("Dangling.bundle"));
        EXPECT_EQ(mkfifo(device.host(kRootful + std::string("Fifo.bundle")).c_str(), 0644), 0);
    }

    void symlinkAt(const std::string& target, const std::string& devicePath) {
        std::filesystem::create_directories(std::filesystem::path(device.host(devicePath)).parent_path());
        EXPECT_EQ(symlink(target.c_str(), device.host(devicePath).c_str()), 0) << devicePath;
    }

    static std::vector<std::string> names() {
        std::vector<std::string> all{
            "Both",     "Shadowed",       "Broken",       "NotADictionary", "NoInfo",   "InfoFolder",
            "InfoLink", "InfoOut",        "InfoFifo",     "Linked",         "Escaping", "ToAFile",
            "Dangling", "Fifo",           "Missing",      "Full1.bundle",   "",         ".",
            "..",       "Full0/../Full1", "Full0.bundle/"};
        all.push_back(std::string("Full0\0", 6)); // a NUL ends no name here
        for (int i = 0; i < 6; ++i) {
            all.push_back("Full" + std::to_string(i));
            all.push_back("Less" + std::to_string(i));
        }
        return all;
    }

    // A bundle found from the listings answers every question as the one the device looks up.
    static void expectSameBundle(const std::shared_ptr<NSBundle>& listed,
                                 const std::shared_ptr<NSBundle>& alone) {
        ASSERT_EQ(listed != nullptr, alone != nullptr);
        if (!alone)
            return;
        EXPECT_EQ(listed->bundlePath(), alone->bundlePath());
        EXPECT_TRUE(listed->infoDictionary() == alone->infoDictionary());
        EXPECT_EQ(listed->principalClassName(), alone->principalClassName());
        EXPECT_EQ(listed->localizations(), alone->localizations());
        for (const char* resource : {"Root", "icon@2x", "Info", "Real"})
            EXPECT_EQ(listed->pathForResource(resource, resource == std::string("icon@2x") ? "png" : "plist"),
                      alone->pathForResource(resource, resource == std::string("icon@2x") ? "png" : "plist"))
                << resource;
        EXPECT_EQ(PSControllerClasses::missingForBundle(*listed),
                  PSControllerClasses::missingForBundle(*alone));
    }

    DeviceFixture device;
    TempDeviceRoot outside;
};

} // namespace

TEST_F(PSPreferenceBundlesTest, BundlesFromTheListingsAnswerAsTheDevicesOwnLookup) {
    const std::vector<std::string> all = names();
    PSPreferenceBundles bundles;
    std::vector<std::shared_ptr<NSBundle>> found;
    for (const auto& name : all)
        found.push_back(bundles.bundleNamed(name));
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i]);
        expectSameBundle(found[i], PSControllerClasses::deviceBundleNamed(all[i]));
    }
    // Spot checks that the answers are the right ones, not only equal.
    EXPECT_EQ(found[0]->principalClassName(), "Rootful");
    EXPECT_EQ(found[1]->principalClassName(), "Found");
    EXPECT_EQ(found[1]->bundlePath(), "/var/jb/Library/PreferenceBundles/Shadowed.bundle");
    EXPECT_TRUE(found[2]->infoDictionary() == PlistValue::dictionary());
    EXPECT_EQ(found[6]->principalClassName(), "ByLink");
    EXPECT_EQ(found[7]->principalClassName(), "");
    EXPECT_EQ(found[9]->principalClassName(), "Linked");
    for (std::size_t i : {10, 11, 12, 13, 14, 16, 17, 18, 19, 20})
        EXPECT_FALSE(found[i]) << all[i];
    EXPECT_FALSE(found[21]);
    EXPECT_EQ(found[22]->pathForResource("icon@2x", "png"),
              "/Library/PreferenceBundles/Full0.bundle/de.lproj/icon@2x.png");
    EXPECT_EQ(found[23]->pathForResource("icon@2x", "png"),
              "/var/jb/Library/PreferenceBundles/Less0.bundle/fr.lproj/icon@2x.png");
    // A flush forgets what the listing gave, as everything the bundle read.
    device.write(kRootful + std::string("Full1.bundle/Info.plist"), "{ NSPrincipalClass = Edited; }");
    found[15]->flushCaches();
    EXPECT_EQ(found[15]->principalClassName(), "Edited");
}

TEST_F(PSPreferenceBundlesTest, HeadsAnswerAsTheManagersHeadReads) {
    const std::vector<std::string> paths{
        "/Library/PreferenceBundles/Full0.bundle/de.lproj/icon@2x.png",
        "/Library/PreferenceBundles/Full1.bundle/icon@2x.png",
        "/Library/PreferenceBundles/Full2.bundle/icon@2x.png",
        "/Library/PreferenceBundles/Full3.bundle/icon@2x.png",
        "/Library/PreferenceBundles/Full4.bundle/none.png",
        "/Library/PreferenceBundles/InfoFolder.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoFifo.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoLink.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoOut.bundle/Info.plist",
        "/Library/PreferenceBundles/Linked.bundle/Info.plist",
        "/var/jb/Library/PreferenceBundles/Less1.bundle/fr.lproj/icon@2x.png",
        "/var/jb/Library/PreferenceBundles/Less1.bundle/../Less2.bundle/Info.plist",
        "/Library/PreferenceBundles",
        "/opt/Real.bundle/Info.plist",
    };
    {
        PSPreferenceBundles bundles;
        PSPreferenceBundles::Heads heads = bundles.headsOf(paths, 5, 12);
        // Paths outside the folders, or not made of plain names, are left to the caller.
        EXPECT_EQ(heads.size(), paths.size() - 3);
        for (const auto& path : paths) {
            SCOPED_TRACE(path);
            auto head = heads.find(path);
            if (head == heads.end())
                continue;
            auto alone = NSFileManager::defaultManager()->headOfFileAtPath(path, 5, nullptr, 12);
            ASSERT_EQ(head->second.has_value(), alone.has_value());
            if (alone) {
                EXPECT_TRUE(*head->second == *alone);
            }
        }
        EXPECT_EQ(heads.at(paths[0]), (std::vector<std::uint8_t>{'g', 'e', 'r', 'm', 'a'}));
        EXPECT_FALSE(heads.at(paths[4]));
        EXPECT_FALSE(heads.at(paths[5]));
        EXPECT_FALSE(heads.at(paths[6]));
        EXPECT_FALSE(heads.at(paths[8]));
        EXPECT_FALSE(heads.at(paths[9])); // "{ NSPrincipalClass = Linked; }" is over the cap
    }
}

TEST_F(PSPreferenceBundlesTest, PreparedBundlesAndHeadsAnswerAsEachLookupAlone) {
    const std::vector<std::string> all = names();
    const std::vector<std::string> paths{
        "/Library/PreferenceBundles/Full0.bundle/de.lproj/icon@2x.png",
        "/Library/PreferenceBundles/Full1.bundle/icon@2x.png",
        "/Library/PreferenceBundles/Full2.bundle/icon@2x.png",
        "/Library/PreferenceBundles/Full4.bundle/none.png",
        "/Library/PreferenceBundles/InfoFolder.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoFifo.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoLink.bundle/Info.plist",
        "/Library/PreferenceBundles/InfoOut.bundle/Info.plist",
        "/Library/PreferenceBundles/Linked.bundle/Info.plist",
        "/var/jb/Library/PreferenceBundles/Less1.bundle/fr.lproj/icon@2x.png",
        "/var/jb/Library/PreferenceBundles/Less2.bundle/fr.lproj/icon@2x.png",
        "/var/jb/Library/PreferenceBundles/Less3.bundle/fr.lproj/icon@2x.png",
        "/var/jb/Library/PreferenceBundles/Less4.bundle/fr.lproj/icon@2x.png",
        "/var/jb/Library/PreferenceBundles/Less1.bundle/../Less2.bundle/Info.plist",
        "/opt/Real.bundle/Info.plist",
    };
    for (bool ring : {true, false}) {
        SCOPED_TRACE(ring);
        DeviceFolder::setBatchedReadsUseRing(ring);
        PSPreferenceBundles bundles;
        // Every name prepared at once (twice over, so that a name asked twice is read once), then
        // looked up in an order of its own.
        std::vector<std::string> twice = all;
        twice.insert(twice.end(), all.begin(), all.end());
        bundles.prepare(twice);
        for (std::size_t k = 0; k < all.size(); ++k) {
            const std::string& name = all[(k * 7) % all.size()];
            SCOPED_TRACE(name);
            expectSameBundle(bundles.bundleNamed(name), PSControllerClasses::deviceBundleNamed(name));
            // Asked again, once what was prepared has been taken.
            expectSameBundle(bundles.bundleNamed(name), PSControllerClasses::deviceBundleNamed(name));
        }
        // Heads prepared answer as heads read alone; asked with another count or cap they are read
        // again, as asked.
        PSPreferenceBundles fresh;
        bundles.prepareHeads(paths, 5, 12);
        EXPECT_EQ(bundles.headsOf(paths, 5, 12), fresh.headsOf(paths, 5, 12));
        bundles.prepareHeads(paths, 5, 12);
        EXPECT_EQ(bundles.headsOf(paths, 3, 12), fresh.headsOf(paths, 3, 12));
        bundles.prepareHeads(paths, 5, 12);
        EXPECT_EQ(bundles.headsOf(paths, 5, 40), fresh.headsOf(paths, 5, 40));
        EXPECT_EQ(bundles.headsOf(paths, 5, 12).at(paths[0]),
                  (std::vector<std::uint8_t>{'g', 'e', 'r', 'm', 'a'}));
    }
    DeviceFolder::setBatchedReadsUseRing(true);
}

TEST_F(PSPreferenceBundlesTest, TheListingsAreWhatTheFoldersHeldWhenMade) {
    PSPreferenceBundles before;
    device.write(kRootless + std::string("New.bundle/Info.plist"), "{ NSPrincipalClass = New; }");
    EXPECT_FALSE(before.bundleNamed("New"));
    PSPreferenceBundles after;
    ASSERT_TRUE(after.bundleNamed("New"));
    EXPECT_EQ(after.bundleNamed("New")->principalClassName(), "New");
}

TEST_F(PSPreferenceBundlesTest, AFolderThatCannotBeListedIsProbedNameByName) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    ASSERT_EQ(chmod(device.host("/var/jb/Library/PreferenceBundles").c_str(), 0311), 0);
    PSPreferenceBundles bundles;
    auto found = bundles.bundleNamed("Less3");
    ASSERT_TRUE(found);
    expectSameBundle(found, PSControllerClasses::deviceBundleNamed("Less3"));
    EXPECT_FALSE(bundles.bundleNamed("Missing"));
    ASSERT_EQ(chmod(device.host("/var/jb/Library/PreferenceBundles").c_str(), 0755), 0);
}

TEST_F(PSPreferenceBundlesTest, ADeviceWithoutTheRootlessFolderFindsItsRootfulBundles) {
    std::filesystem::remove_all(device.host("/var/jb"));
    PSPreferenceBundles bundles;
    std::vector<std::string> all = names();
    for (const auto& name : all)
        expectSameBundle(bundles.bundleNamed(name), PSControllerClasses::deviceBundleNamed(name));
    EXPECT_TRUE(bundles.bundleNamed("Both"));
    EXPECT_FALSE(bundles.bundleNamed("Shadowed"));
}
