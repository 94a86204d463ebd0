// The reader of the device's dpkg status file, on real files in a temporary device root: both
// places the file lives, damaged and oversized files, and a link that would lead off the device.

#include "platform/prefslibs/PackageDatabase.h"

#include "support/DeviceFixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace {

constexpr const char* kStatus = R"(Package: com.example.tweak
Status: install ok installed
Name: Example Tweak
Version: 1.2.3
Author: Jane Doe <jane@example.com>
Maintainer: Someone Else <else@example.com>
Icon: file:///Library/Example/icon.png
Description: Does things.
 A second line of the description: with a colon.

Package: com.example.maintained
Status: install ok installed
Version: 0.1
Maintainer: Max Maintainer <max@example.com>

Package: com.example.removed
Status: deinstall ok config-files
Name: Removed
)";

} // namespace

TEST(PackageDatabaseTest, ReadsNamesVersionsAuthorsAndIconsOfInstalledPackages) {
    DeviceFixture device;
    device.write(PackageDatabase::kStatusPath, kStatus);
    Result<PackageDatabase> db = PackageDatabase::readFromDevice();
    ASSERT_TRUE(db) << db.reason();
    EXPECT_EQ(db.value().count(), 2u);
    const PackageRecord* tweak = db.value().packageWithIdentifier("com.example.tweak");
    ASSERT_TRUE(tweak);
    EXPECT_EQ(tweak->name, "Example Tweak");
    EXPECT_EQ(tweak->version, "1.2.3");
    EXPECT_EQ(tweak->authorName(), "Jane Doe");
    EXPECT_EQ(tweak->icon, "file:///Library/Example/icon.png");
    // Without an author the maintainer is credited; without a name there is none.
    const PackageRecord* maintained = db.value().packageWithIdentifier("com.example.maintained");
    ASSERT_TRUE(maintained);
    EXPECT_EQ(maintained->authorName(), "Max Maintainer");
    EXPECT_EQ(maintained->name, "");
    // Removed packages are not on the device.
    EXPECT_FALSE(db.value().packageWithIdentifier("com.example.removed"));
}

TEST(PackageDatabaseTest, ARootlessDevicesFileIsReadFirstAndNoFileIsAFailure) {
    DeviceFixture device;
    Result<PackageDatabase> none = PackageDatabase::readFromDevice();
    ASSERT_FALSE(none);
    EXPECT_EQ(none.failure(), (Failure{"no package database", ENOENT}));
    device.write(PackageDatabase::kStatusPath, "Package: a.rootful\n");
    device.write(PackageDatabase::kRootlessStatusPath, "Package: a.rootless\nVersion: 2\n");
    Result<PackageDatabase> db = PackageDatabase::readFromDevice();
    ASSERT_TRUE(db);
    EXPECT_TRUE(db.value().packageWithIdentifier("a.rootless"));
    EXPECT_FALSE(db.value().packageWithIdentifier("a.rootful"));
}

TEST(PackageDatabaseTest, DamagedTextGivesWhatItStillDescribes) {
    auto db = PackageDatabase::parse("garbage without colon\n:no name\nPackage: one\r\nVersion: 1\r\n\r\n"
                                     "Name: orphan stanza without a package\n\n"
                                     "\x01\xff\xfe: binary\nPackage: two\nAuthor: <only@address>\n\n"
                                     "Package: one\nVersion: 2");
    EXPECT_EQ(db.count(), 2u);
    ASSERT_TRUE(db.packageWithIdentifier("one"));
    EXPECT_EQ(db.packageWithIdentifier("one")->version, "2"); // a later stanza replaces an earlier one
    ASSERT_TRUE(db.packageWithIdentifier("two"));
    EXPECT_EQ(db.packageWithIdentifier("two")->authorName(), "<only@address>");
    EXPECT_EQ(PackageDatabase::parse("").count(), 0u);
    EXPECT_EQ(PackageDatabase::parse(std::string(100000, '\n')).count(), 0u);
}

TEST(PackageDatabaseTest, OversizedFilesAndLinksOffTheDeviceAreRefused) {
    DeviceFixture device;
    device.write(PackageDatabase::kStatusPath,
                 "Package: big\n" + std::string(PackageDatabase::kLargestStatusFile, ' ') + "\n");
    EXPECT_FALSE(PackageDatabase::readFromDevice());

    // A status file that links to a file of the host is not followed off the device.
    TempDeviceRoot host;
    host.write("/status", "Package: host.package\n");
    std::filesystem::remove(device.host(PackageDatabase::kStatusPath));
    std::filesystem::create_symlink(host.host("/status"), device.host(PackageDatabase::kStatusPath));
    Result<PackageDatabase> db = PackageDatabase::readFromDevice();
    EXPECT_FALSE(db.ok() && db.value().packageWithIdentifier("host.package"));
}
