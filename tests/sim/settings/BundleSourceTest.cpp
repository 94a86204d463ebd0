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

std::string debOf(const std::string& dataTar, const std::string& dataName) {
    std::string out;
    archive* a = archive_write_new();
    archive_write_set_format_ar_svr4(a);
    archive_write_set_bytes_in_last_block(a, 1);
    EXPECT_EQ(archive_write_open(a, &out, nullptr, appendTo, nullptr), ARCHIVE_OK);
    const std::string control =
        tarOf({{"./control", AE_IFREG, 0644, "Package: com.example.p\n"}}, ARCHIVE_FILTER_GZIP);
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
                             const std::string& dataName = "data.tar.xz") {
        const std::string path = work.host("/p_" + std::to_string(++packages) + ".deb");
        work.write(path.substr(work.path().size()), debOf(tarOf(entries, filter), dataName));
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
