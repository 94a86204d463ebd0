#pragma once

// The device's package database as dpkg keeps it: the status file, one stanza of "Field: value"
// lines per package, stanzas apart by blank lines. The HB framework's package header and package
// cell read a package's name, version, author and icon from it.
//
// The file is the device's, read through its file manager (so it never leaves the device root):
// /var/jb/var/lib/dpkg/status on a rootless device, else /var/lib/dpkg/status. Reading is bounded:
// a file above kLargestStatusFile is refused, and lines that are not fields are skipped, so a
// damaged file gives the packages it still describes.
//
//     Result<PackageDatabase> packages = PackageDatabase::readFromDevice();
//     if (packages)
//         if (const PackageRecord* p = packages.value().packageWithIdentifier("com.example.tweak"))
//             show(p->name, p->version, p->authorName());

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/Result.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

struct PackageRecord {
    std::string identifier; // Package
    std::string name;       // Name (empty when the package has none)
    std::string version;    // Version
    std::string author;     // Author, as written ("Jane Doe <jane@example.com>")
    std::string maintainer; // Maintainer, as written
    std::string icon;       // Icon: a URL, often file:// on the device

    // The person to credit: the author, else the maintainer, cut before their " <address>".
    std::string authorName() const;
};

class PackageDatabase {
public:
    static constexpr std::size_t kLargestStatusFile = 32u << 20;
    static constexpr const char* kStatusPath = "/var/lib/dpkg/status";
    static constexpr const char* kRootlessStatusPath = "/var/jb/var/lib/dpkg/status";

    // The status file that is the device's database, and so where an installer records a package:
    // the rootless file when it exists, else the rootful one when it exists, else the one of the
    // package's scheme. `readFromDevice` reads this file.
    static const char* statusPathFor(bool hasRootlessFile, bool hasRootfulFile, bool rootlessScheme);

    // The device's database. Fails when neither status file exists (reason "no package
    // database", code ENOENT), or when the one found cannot be read or is larger than kLargestStatusFile
    // (the file error's text).
    static Result<PackageDatabase>
    readFromDevice(const NSFileManager& files = *NSFileManager::defaultManager());
    // The packages a status file's text describes. Stanzas without a "Package" field and packages
    // whose "Status" says they are not installed are left out; a later stanza of the same
    // identifier replaces an earlier one.
    static PackageDatabase parse(std::string_view text);

    // The installed package of this identifier, or null.
    const PackageRecord* packageWithIdentifier(std::string_view identifier) const;
    std::size_t count() const { return packages_.size(); }

private:
    std::map<std::string, PackageRecord, std::less<>> packages_;
};
