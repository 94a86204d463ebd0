// The Settings app's list of tweaks finds its rows' bundles in the bundle folders listed once:
// each row must come out as the device's own lookups make it (its bundle by deviceBundleNamed,
// its icon by imageFromBundle, what it misses by missingForBundle), in whatever order the rows
// are shown, for rootful and rootless bundles, missing bundles, broken Info.plists, links and odd
// icon files.

#include "sim/settings/SettingsTweakList.h"

#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"

#include "support/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string readHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsTweakListTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIScreen::mainScreen()->setScale(2);
        const std::filesystem::path icons = std::filesystem::path(ORBITCHAT_SOURCE_DIR) /
                                            "examples/device/Library/PreferenceBundles/DimmerPrefs.bundle";
        png1 = readHostFile(icons / "icon.png");
        png2 = readHostFile(icons / "icon@2x.png");
        // Forty tweaks, rootful and rootless, each with a different odd case or none.
        for (int i = 0; i < 40; ++i) {
            std::string name = "Tweak" + std::to_string(i);
            std::string base = i % 2 ? "/var/jb/Library" : "/Library";
            std::string bundle = base + "/PreferenceBundles/" + name + ".bundle";
            std::string icon = "icon.png";
            device.write(base + "/PreferenceLoader/Preferences/" + name + ".plist",
                         "{ entry = { bundle = " + name + "; cell = PSLinkCell; icon = " + icon +
                             "; label = \"Tweak " + std::to_string((i * 7) % 40) + "\"; }; }");
            switch (i % 10) {
            case 0: // no bundle at all
                continue;
            case 1: // a broken Info.plist, a Root plist: opens as a list
                device.write(bundle + "/Info.plist", "{ NSPrincipalClass = ");
                device.write(bundle + "/Root.plist", "{ items = (); }");
                break;
            case 2: // no Info.plist, no Root plist: misses its principal class
                device.mkdirs(bundle);
                break;
            case 3: // an icon that is no PNG at 2x: the 1x one is taken
                device.write(bundle + "/Info.plist", "{ NSPrincipalClass = X; }");
                device.write(bundle + "/icon@2x.png", "not a png at all, not at all");
                device.write(bundle + "/icon.png", png1);
                break;
            case 4: // a link to a bundle elsewhere on the device, with a localised icon
                device.write("/opt/" + name + ".bundle/Info.plist",
                             "{ NSPrincipalClass = Y; CFBundleDevelopmentRegion = fr; }");
                device.write("/opt/" + name + ".bundle/fr.lproj/icon@2x.png", png2);
                std::filesystem::create_directories(std::filesystem::path(device.host(bundle)).parent_path());
                ASSERT_EQ(symlink(("/opt/" + name + ".bundle").c_str(), device.host(bundle).c_str()), 0);
                break;
            case 5: // a file where the bundle should be
                device.write(bundle, "not a folder");
                break;
            case 6: // an icon that is a folder, and one that is a FIFO
                device.write(bundle + "/Info.plist", "{ NSPrincipalClass = Z; }");
                device.mkdirs(bundle + "/icon@2x.png");
                ASSERT_EQ(mkfifo(device.host(bundle + "/icon.png").c_str(), 0644), 0);
                break;
            case 7: // an icon linked out of the device
                device.write(bundle + "/Info.plist", "{ NSPrincipalClass = W; }");
                outside.write("/icon@2x.png", png2);
                ASSERT_EQ(symlink(outside.host("/icon@2x.png").c_str(),
                                  device.host(bundle + "/icon@2x.png").c_str()),
                          0);
                break;
            default: // as most tweaks are
                device.write(bundle + "/Info.plist", "{ NSPrincipalClass = " + name + "Controller; }");
                device.write(bundle + "/Root.plist", "{ items = (); }");
                device.write(bundle + "/icon.png", png1);
                device.write(bundle + "/icon@2x.png", png2);
                break;
            }
        }
        // An entry with rows of its own, its icon beside it, and one whose bundle name leaves the folder.
        device.write("/Library/PreferenceLoader/Preferences/Own.plist",
                     "{ entry = { cell = PSLinkCell; icon = own.png; label = Own; }; items = (); }");
        device.write("/Library/PreferenceLoader/Preferences/own@2x.png", png2);
        device.write(
            "/Library/PreferenceLoader/Preferences/Climb.plist",
            "{ entry = { bundle = \"../Tweak8\"; cell = PSLinkCell; icon = icon.png; label = Climb; }; }");
    }

    static std::shared_ptr<SettingsTweakList> open() {
        auto list = SettingsTweakList::create();
        auto nav = UINavigationController::create(list);
        nav->loadViewIfNeeded();
        list->loadViewIfNeeded();
        return list;
    }

    // What one row comes to when resolved alone, by the device's own lookups.
    struct Resolved {
        bool icon = false;
        CGFloat scale = 0;
        CGSize size{};
        std::string missing;
        bool operator==(const Resolved& o) const {
            return icon == o.icon && scale == o.scale && size.width == o.size.width &&
                   size.height == o.size.height && missing == o.missing;
        }
    };
    static Resolved resolvedAlone(const PSSpecifier& row) {
        Resolved r;
        PlistValue bundleName = row.propertyForKey("bundle");
        std::string name = bundleName.isString() ? bundleName.stringValue() : "";
        auto bundle = name.empty() ? nullptr : PSControllerClasses::deviceBundleNamed(name);
        std::string file = row.propertyForKey("entryFile").stringValue();
        auto images = name.empty() ? NSBundle::bundleWithPath(file.substr(0, file.rfind('/'))) : bundle;
        if (PlistValue icon = row.propertyForKey("icon"); icon.isString() && images)
            if (auto image = PSListController::imageFromBundle(*images, icon.stringValue())) {
                r.icon = true;
                r.scale = image->scale();
                r.size = image->size();
            }
        if (!name.empty())
            r.missing = bundle ? PSControllerClasses::missingForBundle(*bundle)
                               : PSControllerClasses::missingForBundleNamed(name);
        return r;
    }
    static Resolved resolvedInList(const PSSpecifier& row) {
        Resolved r;
        if (auto image = std::dynamic_pointer_cast<UIImage>(row.propertyForKey("iconImage").objectValue())) {
            r.icon = true;
            r.scale = image->scale();
            r.size = image->size();
        }
        r.missing = row.missingClassName();
        return r;
    }
    static void expectEveryRowAsAlone(const PSSpecifierList& rows) {
        for (const auto& row : rows) {
            if (row->cellType() != PSLinkCell)
                continue;
            SCOPED_TRACE(row->name());
            EXPECT_TRUE(row->propertyForKey("resolved").isBoolean());
            EXPECT_TRUE(resolvedInList(*row) == resolvedAlone(*row));
        }
    }

    DeviceFixture device;
    TempDeviceRoot outside;
    std::string png1, png2;
};

} // namespace

TEST_F(SettingsTweakListTest, RowsComeOutAsTheDevicesOwnLookupsMakeThemInAnyOrder) {
    {
        // In order, as a script that names a row makes every cell: the rows are resolved in
        // batches, with the ring and without it.
        for (bool ring : {true, false}) {
            SCOPED_TRACE(ring);
            DeviceFolder::setBatchedReadsUseRing(ring);
            auto list = open();
            auto table = list->table();
            for (std::int64_t r = 0; r < table->numberOfRowsInSection(0); ++r)
                (void)table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0));
            auto rows = list->specifiers();
            ASSERT_EQ(rows->size(), 43u); // the group and 42 entries
            expectEveryRowAsAlone(*rows);
        }
        DeviceFolder::setBatchedReadsUseRing(true);

        // From the bottom up, and scattered.
        auto reversed = open();
        auto reversedRows = reversed->specifiers();
        for (std::size_t i = reversedRows->size(); i-- > 0;)
            reversed->resolve((*reversedRows)[i]);
        expectEveryRowAsAlone(*reversedRows);
        auto scattered = open();
        auto scatteredRows = scattered->specifiers();
        for (std::size_t i = 0; i < scatteredRows->size(); ++i)
            scattered->resolve((*scatteredRows)[(i * 17) % scatteredRows->size()]);
        expectEveryRowAsAlone(*scatteredRows);
    }
    // Spot checks that the answers are the right ones, not only equal.
    auto list = open();
    list->resolveAll();
    std::map<std::string, Resolved> byLabel;
    for (const auto& row : *list->specifiers())
        byLabel[row->name()] = resolvedInList(*row);
    EXPECT_EQ(byLabel["Tweak 0"].missing, "Tweak0.bundle");     // no bundle
    EXPECT_EQ(byLabel["Tweak 7"].missing, "");                  // Tweak1: a Root plist
    EXPECT_EQ(byLabel["Tweak 14"].missing, "NSPrincipalClass"); // Tweak2: nothing
    EXPECT_EQ(byLabel["Tweak 21"].scale, 1);                    // Tweak3: the 1x icon
    EXPECT_EQ(byLabel["Tweak 28"].scale, 2);                    // Tweak4: linked, localised
    EXPECT_EQ(byLabel["Tweak 35"].missing, "Tweak5.bundle");    // Tweak5: a file
    EXPECT_FALSE(byLabel["Tweak 2"].icon);                      // Tweak6: folder and FIFO
    EXPECT_FALSE(byLabel["Tweak 9"].icon);                      // Tweak7: out of the device
    EXPECT_EQ(byLabel["Tweak 16"].scale, 2);                    // Tweak8
    EXPECT_EQ(byLabel["Tweak 16"].missing, "");                 // its Root plist opens it
    EXPECT_EQ(byLabel["Own"].scale, 2);
    EXPECT_EQ(byLabel["Climb"].missing, "../Tweak8.bundle");
}

TEST_F(SettingsTweakListTest, OnlyTheRowsShownAndTheNextFewAreResolved) {
    auto list = open();
    auto table = list->table();
    auto rows = list->specifiers();
    auto resolvedRows = [&] {
        std::vector<std::size_t> resolved;
        for (std::size_t i = 0; i < rows->size(); ++i)
            if ((*rows)[i]->propertyForKey("resolved").isBoolean())
                resolved.push_back(i);
        return resolved;
    };
    // The first rows shown resolve the rows after them, up to a batch; the group row is none.
    for (std::int64_t r = 0; r < 3; ++r)
        (void)table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0));
    std::vector<std::size_t> expected;
    for (std::size_t i = 1; i <= SettingsTweakList::kResolvedTogether; ++i)
        expected.push_back(i);
    EXPECT_EQ(resolvedRows(), expected);
    // A row shown further down takes the unresolved rows after it, not those before.
    (void)table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(39, 0)); // the group is no row
    for (std::size_t i = 40; i < rows->size(); ++i)
        expected.push_back(i);
    EXPECT_EQ(resolvedRows(), expected);
}

TEST_F(SettingsTweakListTest, ABundleInstalledWhileTheListIsOpenIsFoundWhenItOpensAgain) {
    auto list = open();
    list->resolve((*list->specifiers())[1]);
    device.write("/Library/PreferenceBundles/Tweak0.bundle/Root.plist", "{ items = (); }");
    auto row = [](const std::shared_ptr<SettingsTweakList>& l) {
        for (const auto& r : *l->specifiers())
            if (r->name() == "Tweak 0")
                return r;
        return std::shared_ptr<PSSpecifier>();
    };
    auto again = open();
    auto after = row(again);
    again->resolve(after);
    EXPECT_EQ(after->missingClassName(), ""); // its Root plist opens it
    EXPECT_TRUE(resolvedInList(*after) == resolvedAlone(*after));
}
