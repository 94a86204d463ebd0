// The package database as the simulator records an install: hostile control files, stanzas of
// other packages kept as they were, and the file the device's reader reads.

#include "sim/settings/PackageStatus.h"

#include "platform/prefslibs/PackageDatabase.h"
#include "sim/settings/BundleSource.h"
#include "support/DeviceFixture.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

const char* const kGlowControl = "Package: com.example.glow\n"
                                 "Name: Glow\n"
                                 "Version: 1.4-2\n"
                                 "Architecture: iphoneos-arm64\n"
                                 "Author: Jane Doe <jane@example.com>\n"
                                 "Maintainer: Jane Doe <jane@example.com>\n"
                                 "Depends: mobilesubstrate, preferenceloader\n"
                                 "Section: Tweaks\n"
                                 "Description: Makes things glow\n"
                                 " A longer text.\n"
                                 " .\n"
                                 " Its second paragraph.\n";

PackageStatus::Control parsedControl(const std::string& text) {
    auto parsed = PackageStatus::parseControl(text);
    EXPECT_TRUE(parsed) << parsed.reason();
    return parsed ? parsed.value() : PackageStatus::Control{};
}

TEST(PackageStatusTest, TheStanzaHasTheControlFieldsAndReplacesAnOlderOneOfThePackage) {
    const auto glow = parsedControl(kGlowControl);
    EXPECT_EQ(PackageStatus::statusStanza(glow), "Package: com.example.glow\n"
                                                 "Status: install ok installed\n"
                                                 "Version: 1.4-2\n"
                                                 "Architecture: iphoneos-arm64\n"
                                                 "Name: Glow\n"
                                                 "Author: Jane Doe <jane@example.com>\n"
                                                 "Maintainer: Jane Doe <jane@example.com>\n"
                                                 "Depends: mobilesubstrate, preferenceloader\n"
                                                 "Description: Makes things glow\n"
                                                 " A longer text.\n"
                                                 " .\n"
                                                 " Its second paragraph.\n");
    const std::string before = "Package: a.first\nStatus: install ok installed\nVersion: 1\n\n"
                               "Package: com.example.glow\nVersion: 0.9\nName: Old\n\n\n"
                               "Package: z.last\nConffiles:\n /etc/z 0123\n";
    const std::string after = PackageStatus::replacedStanza(before, glow);
    EXPECT_EQ(after, "Package: a.first\nStatus: install ok installed\nVersion: 1\n\n"
                     "Package: z.last\nConffiles:\n /etc/z 0123\n\n" +
                         PackageStatus::statusStanza(glow));
    const auto db = PackageDatabase::parse(after);
    EXPECT_EQ(db.count(), 3u);
    ASSERT_TRUE(db.packageWithIdentifier("com.example.glow"));
    EXPECT_EQ(db.packageWithIdentifier("com.example.glow")->version, "1.4-2");
    EXPECT_EQ(db.packageWithIdentifier("com.example.glow")->name, "Glow");
}

TEST(PackageStatusTest, HostileControlFilesCannotBreakTheStatusFile) {
    // Line breaks, control characters and broken UTF-8 in values: one clean line each.
    const auto forged = parsedControl("Package: com.example.x\n"
                                      "Name: X\rPackage: forged\n"
                                      " Status: deinstall\n"
                                      "Version: 1\x01\x1b[31m\n"
                                      "Author: \xff\xfe Jane\n"
                                      "Description:\n"
                                      " \n"
                                      "Bogus-Field: kept out\n"
                                      "\n"
                                      "Package: second.stanza\n");
    EXPECT_EQ(forged.field("Name"), "XPackage: forged");
    EXPECT_EQ(forged.field("Version"), "1[31m");
    EXPECT_EQ(forged.field("Author"), "\xEF\xBF\xBD\xEF\xBF\xBD Jane");
    EXPECT_EQ(forged.field("Bogus-Field"), "");
    const std::string status = PackageStatus::replacedStanza("Package: other\nVersion: 2\n", forged);
    const auto db = PackageDatabase::parse(status);
    EXPECT_EQ(db.count(), 2u);
    EXPECT_FALSE(db.packageWithIdentifier("forged"));
    EXPECT_FALSE(db.packageWithIdentifier("second.stanza"));
    for (std::size_t at = 0; (at = status.find('\n', at)) != std::string::npos; ++at)
        EXPECT_NE(status.substr(at + 1, 9), "Status: d") << status;

    // Huge values are cut; a huge file is refused.
    const auto big = parsedControl("Package: p.big\nName: " + std::string(100000, 'n') + "\n");
    EXPECT_EQ(big.field("Name").size(), PackageStatus::kLargestValue);
    EXPECT_FALSE(
        PackageStatus::parseControl("Package: p\n" + std::string(BundleSource::kLargestControl, 'x')));
    // Without a package name dpkg would take, nothing is recorded: binary, missing, forged names.
    for (const std::string& text :
         {std::string("\x7f"
                      "ELF\x02\x01\x01\0\0\0",
                      10),
          std::string("Name: Only\n"), std::string(""), std::string("Package: ../../etc/passwd\n"),
          std::string("Package: a b\n"), std::string("Package: \n")})
        EXPECT_FALSE(PackageStatus::parseControl(text)) << text;
}

TEST(PackageStatusTest, RecordsWhereThePackageDatabaseReadsWithTheFileList) {
    DeviceFixture phone;
    const auto glow = parsedControl(kGlowControl);
    // No database yet: the scheme's file.
    auto recorded =
        PackageStatus::record(phone.path(), glow, {"/var/jb/Library/A", "/var/jb/Library/B"}, true);
    ASSERT_TRUE(recorded) << recorded.reason();
    EXPECT_EQ(recorded.value().statusFile, PackageDatabase::kRootlessStatusPath);
    EXPECT_EQ(phone.read("/var/jb/var/lib/dpkg/info/com.example.glow.list"),
              "/var/jb/Library/A\n/var/jb/Library/B\n");
    auto db = PackageDatabase::readFromDevice();
    ASSERT_TRUE(db) << db.reason();
    ASSERT_TRUE(db.value().packageWithIdentifier("com.example.glow"));
    EXPECT_EQ(db.value().packageWithIdentifier("com.example.glow")->authorName(), "Jane Doe");

    // A rootful package on a device whose database is rootless goes where the reader looks.
    auto second = parsedControl("Package: com.example.old\nVersion: 3\n");
    ASSERT_TRUE(PackageStatus::record(phone.path(), second, {"/Library/X"}, false));
    EXPECT_FALSE(phone.exists(PackageDatabase::kStatusPath));
    db = PackageDatabase::readFromDevice();
    ASSERT_TRUE(db);
    EXPECT_EQ(db.value().count(), 2u);

    // Installed again: one stanza, the new version.
    ASSERT_TRUE(PackageStatus::record(phone.path(),
                                      parsedControl(std::string(kGlowControl) + "Version: 2.0\n"), {}, true));
    EXPECT_EQ(phone.read("/var/jb/var/lib/dpkg/info/com.example.glow.list"), "");
    const std::string status = phone.read(PackageDatabase::kRootlessStatusPath);
    EXPECT_EQ(status.find("Package: com.example.glow"), status.rfind("Package: com.example.glow"));
    EXPECT_EQ(PackageDatabase::parse(status).packageWithIdentifier("com.example.glow")->version, "2.0");
}

TEST(PackageStatusTest, ALinkOnTheWayIsNotWrittenThroughAndAHugeStatusIsLeftAlone) {
    TempDeviceRoot phone, outside;
    phone.mkdirs("/var/lib");
    fs::create_symlink(outside.path(), phone.host("/var/lib/dpkg"));
    const auto glow = parsedControl(kGlowControl);
    EXPECT_FALSE(PackageStatus::record(phone.path(), glow, {}, false));
    EXPECT_TRUE(fs::is_empty(outside.path()));

    TempDeviceRoot other;
    other.write(PackageDatabase::kStatusPath, "Package: big\n");
    fs::resize_file(other.host(PackageDatabase::kStatusPath), PackageDatabase::kLargestStatusFile + 1);
    EXPECT_FALSE(PackageStatus::record(other.path(), glow, {}, false));
    EXPECT_EQ(fs::file_size(other.host(PackageDatabase::kStatusPath)),
              PackageDatabase::kLargestStatusFile + 1);
}

} // namespace
