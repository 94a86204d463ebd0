// Packages built by dpkg-deb itself, as a tweak's build makes them, installed into a device: the
// files, the package database, the tweak's row in Settings and its package header; hostile
// packages that dpkg-deb builds all the same, refused with the device left as it was. And a Theos
// project given with --project: installed, recorded, and opened from its row in Settings.

#include "sim/tools/InstallCommand.h"

#include "platform/prefslibs/HBPackageNameHeaderCell.h"
#include "platform/prefslibs/PackageDatabase.h"
#include "sim/settings/SettingsTweakList.h"
#include "sim/settings/Simulator.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const char* const kShineRoot = R"({ items = (
    { cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = com.example.shine; },
    { cell = PSSwitchCell; label = Enabled; key = enabled; defaults = com.example.shine; default = 1; },
); })";
const char* const kShineEntry =
    "{ entry = { bundle = ShinePrefs; cell = PSLinkCell; isController = 1; label = \"Shine\"; }; }";
const char* const kShineControl = "Package: com.example.shine\nName: Shine\nVersion: 2.1\n"
                                  "Architecture: iphoneos-arm64\nMaintainer: Sam Roe <sam@example.com>\n"
                                  "Author: Sam Roe <sam@example.com>\nDescription: Chat heads that shine\n";

bool haveDpkgDeb() {
    return std::system("command -v dpkg-deb >/dev/null 2>&1") == 0;
}

// Every file and link under a folder, with its size or target: the device's state to compare.
std::map<std::string, std::string> deviceStateOf(const std::string& root) {
    std::map<std::string, std::string> state;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(e.path(), root).generic_string();
        if (e.is_symlink())
            state[name] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file())
            state[name] = std::to_string(e.file_size());
        else
            state[name] = "folder";
    }
    return state;
}

class InstallCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveDpkgDeb())
            GTEST_SKIP() << "dpkg-deb is not installed";
    }
    // The staged files of a rootless tweak with a preference bundle, in a folder dpkg-deb builds.
    std::string stage(const std::string& name) {
        const std::string folder = "/" + name;
        work.write(folder + "/DEBIAN/control", kShineControl);
        const std::string bundle = folder + "/var/jb/Library/PreferenceBundles/ShinePrefs.bundle";
        work.write(bundle + "/Root.plist", kShineRoot);
        work.write(folder + "/var/jb/Library/PreferenceLoader/Preferences/ShinePrefs.plist", kShineEntry);
        return work.host(folder);
    }
    std::string build(const std::string& staged) {
        const std::string package = staged + ".deb";
        const std::string command =
            "dpkg-deb --root-owner-group -Zgzip --build '" + staged + "' '" + package + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return package;
    }
    int install(const std::string& package, std::string& out, std::string& err) {
        return runSubcommand(RunInstallCommand, "install", {package, "--device", device.path()}, out, err);
    }

    TempDeviceRoot work;
    SampleDeviceCopy device;
};

} // namespace

TEST_F(InstallCommandTest, ABuiltPackageIsInstalledRecordedAndShownWithItsPackageHeader) {
    const std::string package = build(stage("shine"));
    std::string out, err;
    ASSERT_EQ(install(package, out, err), 0) << err;
    EXPECT_NE(out.find("installed /var/jb/Library/PreferenceBundles/ShinePrefs.bundle/Root.plist"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("recorded com.example.shine in /var/jb/var/lib/dpkg/status"), std::string::npos)
        << out;
    EXPECT_EQ(device.read("/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/Root.plist"), kShineRoot);
    const std::string list = device.read("/var/jb/var/lib/dpkg/info/com.example.shine.list");
    EXPECT_NE(list.find("/var/jb/Library/PreferenceLoader/Preferences/ShinePrefs.plist\n"), std::string::npos)
        << list;
    // The sample device's own packages are still there.
    const auto db = PackageDatabase::parse(device.read(PackageDatabase::kRootlessStatusPath));
    EXPECT_TRUE(db.packageWithIdentifier("com.example.glow"));
    EXPECT_TRUE(db.packageWithIdentifier("mobilesubstrate"));

    Simulator sim(offlineOptions(device.path()));
    sim.settings().openBundle("Shine");
    sim.runUntilIdle();
    auto list2 = sim.settings().visibleList();
    ASSERT_TRUE(list2);
    EXPECT_EQ(list2->title(), "Shine");
    const auto header = HBPackageNameHeaderCell::contentOf(*list2->specifiers()->at(0));
    EXPECT_EQ(header.name, "Shine");
    EXPECT_EQ(header.version, "2.1");
    EXPECT_EQ(header.author, "Sam Roe");

    // A newer build replaces the record.
    std::string newer = kShineControl;
    newer.replace(newer.find("Version: 2.1"), 12, "Version: 2.2");
    work.write("/shine/DEBIAN/control", newer);
    ASSERT_EQ(install(build(work.host("/shine")), out, err), 0) << err;
    const std::string status = device.read(PackageDatabase::kRootlessStatusPath);
    EXPECT_EQ(status.find("Package: com.example.shine"), status.rfind("Package: com.example.shine"));
    EXPECT_EQ(PackageDatabase::parse(status).packageWithIdentifier("com.example.shine")->version, "2.2");
}

TEST_F(InstallCommandTest, HostilePackagesThatDpkgDebBuildsAreRefusedAndTheDeviceIsLeftAsItWas) {
    TempDeviceRoot outside;
    struct Hostile {
        std::string what;
        std::function<void(const std::string& staged)> make;
        std::string reason;
    };
    const std::vector<Hostile> hostile{
        {"a link out of the device",
         [](const std::string& staged) {
             fs::create_symlink("../../../../../../../../etc/passwd",
                                staged + "/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/out");
         },
         "a link that leads out of the device"},
        {"an absolute link out of the device",
         [](const std::string& staged) {
             fs::create_symlink("/../../etc",
                                staged + "/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/abs");
         },
         "a link that leads out of the device"},
        {"a setuid file",
         [](const std::string& staged) {
             const std::string file = staged + "/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/su";
             std::ofstream(file) << "#!/bin/sh\n";
             ASSERT_EQ(::chmod(file.c_str(), 04755), 0);
         },
         "setuid"},
    };
    const auto before = deviceStateOf(device.path());
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        SCOPED_TRACE(hostile[i].what);
        const std::string staged = stage("h" + std::to_string(i));
        hostile[i].make(staged);
        std::string out, err;
        EXPECT_EQ(install(build(staged), out, err), 1);
        EXPECT_NE(err.find(hostile[i].reason), std::string::npos) << err;
        EXPECT_EQ(deviceStateOf(device.path()), before);
    }
    EXPECT_TRUE(fs::is_empty(outside.path()));

    // An absolute link that stays in the device is not written either: the device's own file
    // stays, and the link is listed as left out.
    const std::string staged = stage("inside");
    fs::create_symlink("/var/mobile/Library/Preferences",
                       staged + "/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/prefs");
    std::string out, err;
    ASSERT_EQ(install(build(staged), out, err), 0) << err;
    EXPECT_NE(out.find("left out the link /var/jb/Library/PreferenceBundles/ShinePrefs.bundle/prefs"),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(device.host("/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/prefs")));
}

TEST_F(InstallCommandTest, AProjectIsInstalledRecordedAndOpenedFromItsRowInSettings) {
    work.write("/tweak/Makefile", "SUBPROJECTS += shineprefs\ninclude $(THEOS_MAKE_PATH)/aggregate.mk\n");
    work.write("/tweak/control", kShineControl);
    work.write("/tweak/shineprefs/Makefile",
               "BUNDLE_NAME = ShinePrefs\ninclude $(THEOS_MAKE_PATH)/bundle.mk\n");
    work.write("/tweak/shineprefs/Resources/Root.plist", kShineRoot);
    work.write("/tweak/shineprefs/entry.plist", kShineEntry);
    for (bool rootless : {false, true}) {
        SCOPED_TRACE(rootless ? "rootless" : "rootful");
        SampleDeviceCopy phone;
        Simulator::Options options = offlineOptions(phone.path());
        BundleInput keep;
        std::ostringstream note;
        auto prepared = prepareBundleInput(work.host("/tweak"), "", "", "", options, keep, note, rootless);
        ASSERT_TRUE(prepared) << prepared.reason();
        const std::string prefix = rootless ? "/var/jb" : "";
        EXPECT_EQ(options.preferenceBundle,
                  phone.host(prefix + "/Library/PreferenceBundles/ShinePrefs.bundle"));
        EXPECT_TRUE(phone.exists(prefix + "/Library/PreferenceLoader/Preferences/entry.plist"));
        // The sample device keeps its database under /var/jb: the project is recorded there.
        EXPECT_NE(phone.read(PackageDatabase::kRootlessStatusPath).find("Package: com.example.shine\n"),
                  std::string::npos);
        EXPECT_NE(phone.read("/var/jb/var/lib/dpkg/info/com.example.shine.list")
                      .find(prefix + "/Library/PreferenceBundles/ShinePrefs.bundle/Root.plist\n"),
                  std::string::npos);

        Simulator sim(options);
        sim.settings().open();
        sim.runUntilIdle();
        const auto stack = sim.settings().navigationController()->viewControllers();
        ASSERT_EQ(stack.size(), 2u);
        EXPECT_TRUE(std::dynamic_pointer_cast<SettingsTweakList>(stack[0]));
        auto page = sim.settings().visibleList();
        ASSERT_TRUE(page);
        EXPECT_EQ(page->title(), "Shine");
        EXPECT_EQ(HBPackageNameHeaderCell::contentOf(*page->specifiers()->at(0)).version, "2.1");
        // Back returns to the Settings list.
        sim.settings().tap("Settings");
        sim.runUntilIdle();
        EXPECT_TRUE(std::dynamic_pointer_cast<SettingsTweakList>(sim.settings().visibleList()));
    }
}

// The program is not linked with libarchive: `install` loads it at the first package it reads.
TEST_F(InstallCommandTest, TheProgramInstallsAPackageThroughTheLibraryItLoadsOnDemand) {
    const std::string package = build(stage("shine"));
    std::string out;
    ASSERT_EQ(runSimProgram("install '" + package + "' --device '" + device.path() + "'", out, true), 0)
        << out;
    EXPECT_NE(out.find("recorded com.example.shine in /var/jb/var/lib/dpkg/status"), std::string::npos)
        << out;
    EXPECT_EQ(device.read("/var/jb/Library/PreferenceBundles/ShinePrefs.bundle/Root.plist"), kShineRoot);
}
