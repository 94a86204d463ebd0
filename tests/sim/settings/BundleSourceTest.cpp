#include "sim/settings/BundleSource.h"

#include "sim/settings/SettingsTweakList.h"
#include "sim/tools/BundleLint.h"
#include "support/DeviceFixture.h"
#include "support/TempDeviceRoot.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

namespace fs = std::filesystem;

const std::string kSourceInfo = "<plist><dict><key>CFBundleExecutable</key><string>P</string>"
                                "<key>NSPrincipalClass</key><string>PListController</string></dict></plist>";

std::string entryPlist(const std::string& bundle, const std::string& label) {
    return "{ entry = { bundle = " + bundle + "; cell = PSLinkCell; isController = 1; label = \"" + label +
           "\"; }; }\n";
}

// --- writing packages with libarchive, as dpkg-deb lays them out ---

struct TarEntry {
    std::string path;
    mode_t type = AE_IFREG;
    mode_t permissions = 0644;
    std::string content{}; // a file's bytes
    std::string linkTo{};  // a symbolic or hard link's target
    bool hardLink = false;
};

la_ssize_t appendTo(archive*, void* out, const void* buffer, size_t length) {
    static_cast<std::string*>(out)->append(static_cast<const char*>(buffer), length);
    return static_cast<la_ssize_t>(length);
}

std::string tarOf(const std::vector<TarEntry>& entries, int filter) {
    std::string out;
    archive* a = archive_write_new();
    archive_write_set_format_gnutar(a);
    archive_write_add_filter(a, filter);
    archive_write_set_bytes_in_last_block(a, 1);
    EXPECT_EQ(archive_write_open(a, &out, nullptr, appendTo, nullptr), ARCHIVE_OK) << archive_error_string(a);
    for (const auto& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.c_str());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, e.permissions);
        if (e.type == AE_IFLNK)
            archive_entry_set_symlink(entry, e.linkTo.c_str());
        if (e.hardLink)
            archive_entry_set_hardlink(entry, e.linkTo.c_str());
        if (e.type == AE_IFREG && !e.hardLink)
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.content.size()));
        if (e.type == AE_IFCHR)
            archive_entry_set_rdev(entry, makedev(1, 3));
        EXPECT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << archive_error_string(a);
        if (!e.content.empty())
            archive_write_data(a, e.content.data(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

std::string debOf(const std::string& dataTar, const std::string& dataName,
                  const std::optional<std::string>& controlText = "Package: com.example.p\n") {
    std::string out;
    archive* a = archive_write_new();
    archive_write_set_format_ar_svr4(a);
    archive_write_set_bytes_in_last_block(a, 1);
    EXPECT_EQ(archive_write_open(a, &out, nullptr, appendTo, nullptr), ARCHIVE_OK);
    const std::string control =
        controlText ? tarOf({{"./control", AE_IFREG, 0644, *controlText}}, ARCHIVE_FILTER_GZIP)
                    : tarOf({{"./postinst", AE_IFREG, 0755, "#!/bin/sh\n"}}, ARCHIVE_FILTER_GZIP);
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"debian-binary", "2.0\n"},
                                      {"control.tar.gz", control},
                                      {dataName, dataTar}}) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, entry);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

// The package of a tweak with a preference bundle, as Theos builds it (rootless).
std::vector<TarEntry> tweakFiles() {
    return {
        {"./", AE_IFDIR, 0755},
        {"./var/", AE_IFDIR, 0755},
        {"./var/jb/", AE_IFDIR, 0755},
        {"./var/jb/Library/", AE_IFDIR, 0755},
        {"./var/jb/Library/PreferenceBundles/", AE_IFDIR, 0755},
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/", AE_IFDIR, 0755},
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/Info.plist", AE_IFREG, 0644, kSourceInfo},
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/Root.plist", AE_IFREG, 0644,
         "{ items = ( { cell = PSGroupCell; label = Hi; } ); }"},
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/P", AE_IFREG, 0755,
         "\x7F"
         "ELF"},
        {"./var/jb/Library/PreferenceLoader/Preferences/PPrefs.plist", AE_IFREG, 0644,
         entryPlist("PPrefs", "P Tweak")},
        // A link that stays in the device is left out, not refused.
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/Same.plist", AE_IFLNK, 0777, "", "Root.plist"}};
}

class BundleSourceTest : public ::testing::Test {
protected:
    std::string writePackage(const std::vector<TarEntry>& entries, int filter = ARCHIVE_FILTER_XZ,
                             const std::string& dataName = "data.tar.xz",
                             const std::optional<std::string>& control = "Package: com.example.p\n") {
        const std::string path = work.host("/p_" + std::to_string(++packages) + ".deb");
        work.write(path.substr(work.path().size()), debOf(tarOf(entries, filter), dataName, control));
        return path;
    }
    std::set<std::string> filesUnder(const std::string& root) const {
        std::set<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (!e.is_directory())
                out.insert(fs::relative(e.path(), root).generic_string());
        return out;
    }

    TempDeviceRoot work; // projects and packages
    TempDeviceRoot device;
    int packages = 0;
};

} // namespace

TEST_F(BundleSourceTest, AProjectsBundlesAreFoundInAllThreeLayouts) {
    const std::string project = work.host("/tweak");
    work.write("/tweak/Makefile", "SUBPROJECTS += bprefs\ninclude $(THEOS_MAKE_PATH)/aggregate.mk\n");
    work.write("/tweak/layout/Library/PreferenceBundles/APrefs.bundle/Info.plist", kSourceInfo);
    work.write("/tweak/layout/Library/PreferenceLoader/Preferences/a-entry.plist", entryPlist("APrefs", "A"));
    work.write("/tweak/bprefs/Makefile",
               "include $(THEOS)/makefiles/common.mk\n\nBUNDLE_NAME  = BPrefs # ours\n"
               "BPrefs_FILES = BRootListController.m\n");
    work.write("/tweak/bprefs/Resources/Info.plist", kSourceInfo);
    work.write("/tweak/bprefs/entry.plist", entryPlist("BPrefs", "B"));
    work.write("/tweak/.theos/_/Library/PreferenceBundles/CPrefs.bundle/Info.plist", kSourceInfo);
    // The staged copy of the subproject's bundle is the same bundle: the source wins.
    work.write("/tweak/.theos/_/Library/PreferenceBundles/BPrefs.bundle/Info.plist", kSourceInfo);
    work.write("/tweak/.theos/_/Library/PreferenceLoader/Preferences/CPrefs.plist",
               entryPlist("CPrefs", "C"));

    EXPECT_TRUE(BundleSource::isProject(project));
    EXPECT_FALSE(BundleSource::isProject(project + "/bprefs/Resources"));
    EXPECT_FALSE(BundleSource::isProject(project + "/layout/Library/PreferenceBundles/APrefs.bundle"));

    const auto bundles = BundleSource::projectBundles(project);
    ASSERT_EQ(bundles.size(), 3u);
    EXPECT_EQ(bundles[0].name, "APrefs");
    EXPECT_EQ(bundles[0].entryFile, project + "/layout/Library/PreferenceLoader/Preferences/a-entry.plist");
    EXPECT_EQ(bundles[1].name, "BPrefs");
    EXPECT_EQ(bundles[1].folder, project + "/bprefs/Resources");
    EXPECT_EQ(bundles[1].entryFile, project + "/bprefs/entry.plist");
    EXPECT_EQ(bundles[2].name, "CPrefs");
    EXPECT_EQ(bundles[2].folder, project + "/.theos/_/Library/PreferenceBundles/CPrefs.bundle");

    // Several: the reason names each, and a name picks one.
    auto none = BundleSource::pick(bundles, "", project);
    ASSERT_FALSE(none);
    for (const char* name : {"APrefs", "BPrefs", "CPrefs", "--bundle-name"})
        EXPECT_NE(none.reason().find(name), std::string::npos) << none.reason();
    EXPECT_EQ(BundleSource::pick(bundles, "BPrefs.bundle", project).value().folder, bundles[1].folder);
    EXPECT_FALSE(BundleSource::pick(bundles, "DPrefs", project));
    EXPECT_FALSE(BundleSource::pick({}, "", project));
    EXPECT_EQ(BundleSource::pick({bundles[2]}, "", project).value().name, "CPrefs");
}

TEST_F(BundleSourceTest, AnInstalledProjectBundleIsListedBySettings) {
    DeviceFixture phone;
    work.write("/tweak/bprefs/Makefile", "BUNDLE_NAME = BPrefs\n");
    work.write("/tweak/bprefs/Resources/Info.plist", kSourceInfo);
    work.write("/tweak/bprefs/Resources/Root.plist", "{ items = (); }");
    work.write("/tweak/bprefs/entry.plist", entryPlist("BPrefs", "B Tweak"));
    work.write("/tweak/layout/Library/PreferenceBundles/APrefs.bundle/Info.plist", kSourceInfo);
    // A link in the project is not followed into the device.
    fs::create_symlink("/etc", work.host("/tweak/bprefs/Resources/etc"));

    const auto bundles = BundleSource::projectBundles(work.host("/tweak"));
    ASSERT_EQ(bundles.size(), 2u);
    for (const auto& bundle : bundles)
        ASSERT_TRUE(BundleSource::installBundle(bundle, phone.path()));
    auto installed = BundleSource::installBundle(bundles[1], phone.path());
    ASSERT_TRUE(installed) << installed.reason();
    EXPECT_EQ(installed.value(), phone.host("/Library/PreferenceBundles/BPrefs.bundle"));
    EXPECT_EQ(filesUnder(installed.value()), (std::set<std::string>{"Info.plist", "Root.plist"}));

    std::set<std::string> rows;
    for (const auto& entry : SettingsTweakList::readEntries())
        rows.insert(entry.label + "=" + entry.bundle);
    // The project without an entry of its own gets one under the bundle's name.
    EXPECT_EQ(rows, (std::set<std::string>{"APrefs=APrefs", "B Tweak=BPrefs"}));
}

TEST_F(BundleSourceTest, APackageInstallsInEveryCompressionAndListsItsFiles) {
    for (auto [filter, name] : {std::pair{ARCHIVE_FILTER_XZ, "data.tar.xz"},
                                {ARCHIVE_FILTER_GZIP, "data.tar.gz"},
                                {ARCHIVE_FILTER_ZSTD, "data.tar.zst"},
                                {ARCHIVE_FILTER_LZMA, "data.tar.lzma"},
                                {ARCHIVE_FILTER_NONE, "data.tar"}}) {
        SCOPED_TRACE(name);
        TempDeviceRoot target;
        auto installed =
            BundleSource::installPackage(writePackage(tweakFiles(), filter, name), target.path());
        ASSERT_TRUE(installed) << installed.reason();
        EXPECT_EQ(installed.value().files,
                  (std::vector<std::string>{"/var/jb/Library/PreferenceBundles/PPrefs.bundle/Info.plist",
                                            "/var/jb/Library/PreferenceBundles/PPrefs.bundle/Root.plist",
                                            "/var/jb/Library/PreferenceBundles/PPrefs.bundle/P",
                                            "/var/jb/Library/PreferenceLoader/Preferences/PPrefs.plist"}));
        EXPECT_EQ(installed.value().skipped,
                  (std::vector<std::string>{"/var/jb/Library/PreferenceBundles/PPrefs.bundle/Same.plist"}));
        EXPECT_EQ(target.read("/var/jb/Library/PreferenceBundles/PPrefs.bundle/Info.plist"), kSourceInfo);
        struct stat st {};
        ASSERT_EQ(::stat(target.host("/var/jb/Library/PreferenceBundles/PPrefs.bundle/P").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0755u);

        const auto bundles = BundleSource::deviceBundles(target.path());
        ASSERT_EQ(bundles.size(), 1u);
        EXPECT_EQ(bundles[0].name, "PPrefs");
        EXPECT_EQ(bundles[0].entryFile,
                  target.host("/var/jb/Library/PreferenceLoader/Preferences/PPrefs.plist"));
    }
    work.write("/not.deb", "!<arch>\nnonsense");
    EXPECT_FALSE(BundleSource::installPackage(work.host("/not.deb"), device.path()));
    EXPECT_TRUE(BundleSource::isPackage(writePackage(tweakFiles())));
    EXPECT_FALSE(BundleSource::isPackage(work.host("/missing.deb")));
}

TEST_F(BundleSourceTest, HostileEntriesRefuseTheWholePackageAndWriteNothing) {
    const TarEntry good{"./Library/PreferenceBundles/X.bundle/Info.plist", AE_IFREG, 0644, kSourceInfo};
    const std::vector<std::pair<TarEntry, std::string>> hostile{
        {{"/Library/abs.plist", AE_IFREG, 0644, "x"}, "absolute"},
        {{"./Library/../../escape", AE_IFREG, 0644, "x"}, ".."},
        {{"../escape", AE_IFDIR, 0755}, ".."},
        {{"./Library/out", AE_IFLNK, 0777, "", "../../../etc"}, "leads out"},
        {{"./Library/zero", AE_IFCHR, 0666}, "device node"},
        {{"./Library/fifo", AE_IFIFO, 0666}, "FIFO"},
        {{"./Library/su", AE_IFREG, 04755, "x"}, "setuid"},
        {{"./Library/hard", AE_IFREG, 0644, "", "./Library/PreferenceBundles/X.bundle/Info.plist", true},
         "hard link"},
        {{"./etc/passwd", AE_IFREG, 0644, "x"}, "outside the folders"},
        {{"./Library/huge", AE_IFREG, 0644, std::string(4096, 'x')}, "larger than"},
    };
    BundleSource::PackageLimits limits;
    limits.maxFileBytes = 1024;
    for (const auto& [entry, why] : hostile) {
        SCOPED_TRACE(entry.path);
        auto installed = BundleSource::installPackage(writePackage({good, entry}), device.path(), limits);
        ASSERT_FALSE(installed);
        EXPECT_NE(installed.reason().find(why), std::string::npos) << installed.reason();
        // Named by its path as the package holds it.
        EXPECT_NE(installed.reason().find(entry.path), std::string::npos) << installed.reason();
        EXPECT_TRUE(filesUnder(device.path()).empty());
    }
    // Too much in all.
    limits.maxTotalBytes = 1500;
    auto big =
        BundleSource::installPackage(writePackage({good,
                                                   {"./Library/a", AE_IFREG, 0644, std::string(1000, 'a')},
                                                   {"./Library/b", AE_IFREG, 0644, std::string(1000, 'b')}}),
                                     device.path(), limits);
    EXPECT_FALSE(big);
    EXPECT_TRUE(filesUnder(device.path()).empty());
}

TEST_F(BundleSourceTest, ALinkAlreadyOnTheDeviceIsNotWrittenThrough) {
    TempDeviceRoot outside;
    device.mkdirs("/Library");
    fs::create_symlink(outside.path(), device.host("/Library/PreferenceBundles"));
    auto installed = BundleSource::installPackage(
        writePackage({{"./Library/PreferenceBundles/X.bundle/Info.plist", AE_IFREG, 0644, kSourceInfo}}),
        device.path());
    EXPECT_FALSE(installed);
    EXPECT_NE(installed.reason().find("Library/PreferenceBundles"), std::string::npos) << installed.reason();
    EXPECT_TRUE(filesUnder(outside.path()).empty());

    EXPECT_FALSE(BundleSource::installBundle({"X", work.path(), ""}, device.path()));
    EXPECT_TRUE(filesUnder(outside.path()).empty());
}

TEST_F(BundleSourceTest, LintReadsTheBundlesOfAPackage) {
    auto entries = tweakFiles();
    entries.push_back(
        {"./var/jb/Library/PreferenceBundles/PPrefs.bundle/Bad.plist", AE_IFREG, 0644, "<plist>"});
    const std::string package = writePackage(entries);
    std::string name = "lint", format = "--format=json", path = package;
    char* argv[] = {name.data(), path.data(), format.data()};
    std::ostringstream out, err;
    EXPECT_EQ(RunBundleLint(3, argv, out, err), 1) << err.str();
    auto report = nlohmann::json::parse(out.str());
    // Named by its place in the package: the temporary folder is gone by now.
    EXPECT_EQ(report["bundle"], package + "/var/jb/Library/PreferenceBundles/PPrefs.bundle");
    ASSERT_EQ(report["findings"].size(), 1u);
    EXPECT_EQ(report["findings"][0]["file"], "Bad.plist");

    // A refused package cannot be read: status 2, with the entry named.
    path = writePackage({{"./Library/dev", AE_IFCHR, 0666}});
    argv[1] = path.data();
    std::ostringstream out2, err2;
    EXPECT_EQ(RunBundleLint(2, argv, out2, err2), 2);
    EXPECT_NE(err2.str().find("./Library/dev"), std::string::npos) << err2.str();
}

TEST(TheosMakefileTest, AssignmentsAreReadInEveryFormWithoutRunningMake) {
    const auto variables = BundleSource::makefileVariables("# a comment: BUNDLE_NAME = Commented\n"
                                                           "SUBPROJECTS = a b\n"
                                                           "SUBPROJECTS += c # and a comment\n"
                                                           "export THEOS_PACKAGE_SCHEME=rootless\n"
                                                           "X_RESOURCE_DIRS := One \\\n"
                                                           "    Two\n"
                                                           "X_INSTALL_PATH ?= /Library/Mine\n"
                                                           "X_INSTALL_PATH ?= /Library/Ignored\n"
                                                           "HASH = a\\#b\n"
                                                           "internal-stage::\n"
                                                           "\tBUNDLE_NAME = NotAnAssignment\n"
                                                           "after-install:: install.exec\n");
    auto value = [&](const std::string& name) -> std::string {
        for (const auto& [key, v] : variables)
            if (key == name)
                return v;
        return "<unset>";
    };
    EXPECT_EQ(value("SUBPROJECTS"), "a b c");
    EXPECT_EQ(value("THEOS_PACKAGE_SCHEME"), "rootless");
    EXPECT_EQ(value("X_RESOURCE_DIRS"), "One      Two");
    EXPECT_EQ(value("X_INSTALL_PATH"), "/Library/Mine");
    EXPECT_EQ(value("HASH"), "a#b");
    EXPECT_EQ(value("BUNDLE_NAME"), "<unset>");
    EXPECT_EQ(variables.size(), 5u);
}

TEST_F(BundleSourceTest, AProjectsFoldersInstallPathSchemeAndControlAreRead) {
    const std::string project = work.host("/p");
    work.write("/p/Makefile", "TARGET := iphone:clang:latest:15.0\nSUBPROJECTS = prefs \\\n  other\n"
                              "include $(THEOS_MAKE_PATH)/aggregate.mk\n");
    work.write("/p/control", "Package: com.example.p\nName: P Tweak\nVersion: 1.2\n");
    // Two resource folders; the later one's file wins. The entry is copied by a stage rule.
    work.write("/p/prefs/Makefile",
               "BUNDLE_NAME = PPrefs\nPPrefs_RESOURCE_DIRS = Base Extra\n"
               "PPrefs_INSTALL_PATH = /Library/PreferenceBundles/Tweaks\n"
               "include $(THEOS_MAKE_PATH)/bundle.mk\n\ninternal-stage::\n"
               "\t$(ECHO_NOTHING)mkdir -p "
               "$(THEOS_STAGING_DIR)/Library/PreferenceLoader/Preferences$(ECHO_END)\n"
               "\t$(ECHO_NOTHING)cp PPrefsEntry.plist "
               "$(THEOS_STAGING_DIR)/Library/PreferenceLoader/Preferences/$(ECHO_END)\n");
    work.write("/p/prefs/Base/Root.plist", "{ items = (); title = Base; }");
    work.write("/p/prefs/Base/Info.plist", kSourceInfo);
    work.write("/p/prefs/Extra/Root.plist", "{ items = (); title = Extra; }");
    work.write("/p/prefs/Extra/en.lproj/Root.strings", "\"a\" = \"b\";");
    work.write("/p/prefs/PPrefsEntry.plist", entryPlist("PPrefs", "P"));
    // Rootless by its own makefile; its entry in the top project's layout.
    work.write("/p/other/Makefile", "export THEOS_PACKAGE_SCHEME = rootless\nBUNDLE_NAME += OPrefs\n");
    work.write("/p/other/Resources/Root.plist", "{ items = (); }");
    work.write("/p/layout/Library/PreferenceLoader/Preferences/o.plist", entryPlist("OPrefs", "O"));
    // Not named by SUBPROJECTS: not a subproject.
    work.write("/p/unlisted/Makefile", "BUNDLE_NAME = UPrefs\n");
    work.write("/p/unlisted/Resources/Root.plist", "{ items = (); }");

    auto read = BundleSource::readProject(project);
    EXPECT_FALSE(read.rootless);
    EXPECT_EQ(read.controlFile, project + "/control");
    ASSERT_EQ(read.bundles.size(), 2u);
    const auto& p = read.bundles[0];
    EXPECT_EQ(p.name, "PPrefs");
    EXPECT_EQ(p.resourceFolders,
              (std::vector<std::string>{project + "/prefs/Base", project + "/prefs/Extra"}));
    EXPECT_EQ(p.entryFile, project + "/prefs/PPrefsEntry.plist");
    EXPECT_FALSE(p.rootless);
    const auto& o = read.bundles[1];
    EXPECT_EQ(o.name, "OPrefs");
    EXPECT_EQ(o.folder, project + "/other/Resources");
    EXPECT_EQ(o.entryFile, project + "/layout/Library/PreferenceLoader/Preferences/o.plist");
    EXPECT_TRUE(o.rootless);

    // Installed where the makefile says, the resource folders merged.
    auto installed = BundleSource::installBundle(p, device.path());
    ASSERT_TRUE(installed) << installed.reason();
    EXPECT_EQ(installed.value(), device.host("/Library/PreferenceBundles/Tweaks/PPrefs.bundle"));
    EXPECT_EQ(filesUnder(installed.value()),
              (std::set<std::string>{"Info.plist", "Root.plist", "en.lproj/Root.strings"}));
    EXPECT_EQ(device.read("/Library/PreferenceBundles/Tweaks/PPrefs.bundle/Root.plist"),
              "{ items = (); title = Extra; }");
    EXPECT_TRUE(device.exists("/Library/PreferenceLoader/Preferences/PPrefsEntry.plist"));
    EXPECT_EQ(
        BundleSource::installedFiles(p, device.path()),
        (std::vector<std::string>{"/Library/PreferenceBundles/Tweaks/PPrefs.bundle/Info.plist",
                                  "/Library/PreferenceBundles/Tweaks/PPrefs.bundle/Root.plist",
                                  "/Library/PreferenceBundles/Tweaks/PPrefs.bundle/en.lproj/Root.strings",
                                  "/Library/PreferenceLoader/Preferences/PPrefsEntry.plist"}));
    // The rootless one goes under /var/jb, bundle and entry.
    ASSERT_TRUE(BundleSource::installBundle(o, device.path()));
    EXPECT_TRUE(device.exists("/var/jb/Library/PreferenceBundles/OPrefs.bundle/Root.plist"));
    EXPECT_TRUE(device.exists("/var/jb/Library/PreferenceLoader/Preferences/o.plist"));

    // --rootless makes every bundle rootless, as the scheme given to make does.
    auto rootless = BundleSource::readProject(project, true);
    EXPECT_TRUE(rootless.rootless);
    ASSERT_EQ(rootless.bundles.size(), 2u);
    EXPECT_TRUE(rootless.bundles[0].rootless);
    EXPECT_EQ(BundleSource::installFolder(rootless.bundles[0]).value(),
              "/var/jb/Library/PreferenceBundles/Tweaks");
    // The top Makefile's scheme counts for every subproject.
    work.write("/p/Makefile", "THEOS_PACKAGE_SCHEME=rootless\nSUBPROJECTS += prefs\n");
    EXPECT_TRUE(BundleSource::readProject(project).bundles.at(0).rootless);
}

TEST_F(BundleSourceTest, AnInstallPathOutsideTheDeviceIsAClearErrorAndWritesNothing) {
    TempDeviceRoot outside;
    for (const std::string& path : std::vector<std::string>{"Library/PreferenceBundles",
                                                            "/Library/../../../" + outside.path().substr(1),
                                                            "/../escape", "$(HOME)/x"}) {
        SCOPED_TRACE(path);
        BundleSource::Bundle bundle{"X", work.path(), ""};
        work.write("/Root.plist", "{ items = (); }");
        bundle.installPath = path;
        auto installed = BundleSource::installBundle(bundle, device.path());
        ASSERT_FALSE(installed);
        EXPECT_NE(installed.reason().find("X_INSTALL_PATH \"" + path + "\""), std::string::npos)
            << installed.reason();
        EXPECT_TRUE(filesUnder(device.path()).empty());
        EXPECT_TRUE(filesUnder(outside.path()).empty());
    }
    // A path that stays inside the device is normalised.
    BundleSource::Bundle inside{"X", work.path(), ""};
    inside.installPath = "/Library//Prefs/./";
    EXPECT_EQ(BundleSource::installFolder(inside).value(), "/Library/Prefs");
    inside.installPath = "$(THEOS_PACKAGE_INSTALL_PREFIX)/Library/Prefs";
    inside.rootless = true;
    EXPECT_EQ(BundleSource::installFolder(inside).value(), "/var/jb/Library/Prefs");
}

TEST_F(BundleSourceTest, APackageWithoutAUsableControlFileIsRefusedWhole) {
    const std::vector<std::pair<std::optional<std::string>, std::string>> controls{
        {std::nullopt, "no control file"},
        {"Name: No Package\nVersion: 1\n", "names no package"},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0\x03\0",
                     12),
         "no package"},
        {"Package: ../../etc/passwd\n", "not one dpkg accepts"},
        {"Package: p.huge\nDescription: x\n" + std::string(BundleSource::kLargestControl, 'x'),
         "larger than"},
    };
    for (const auto& [control, why] : controls) {
        SCOPED_TRACE(why);
        auto installed = BundleSource::installPackage(
            writePackage(tweakFiles(), ARCHIVE_FILTER_XZ, "data.tar.xz", control), device.path());
        ASSERT_FALSE(installed);
        EXPECT_NE(installed.reason().find(why), std::string::npos) << installed.reason();
        EXPECT_TRUE(filesUnder(device.path()).empty());
    }
    // Line breaks in values install, and are recorded one clean line each.
    auto installed = BundleSource::installPackage(
        writePackage(tweakFiles(), ARCHIVE_FILTER_XZ, "data.tar.xz",
                     "Package: com.example.p\nName: P\r\nStatus: deinstall ok\nVersion: 1\n"),
        device.path());
    ASSERT_TRUE(installed) << installed.reason();
    EXPECT_NE(installed.value().control.find("Name: P"), std::string::npos);
}
