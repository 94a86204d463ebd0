#pragma once

// A package recorded in the device's dpkg database, as the package manager leaves it after an
// install: a stanza in the status file (Package, Status "install ok installed", Version,
// Architecture, Name, Author, Maintainer, Depends, Icon and Description, from the package's
// control file) and the list of its files in info/PACKAGE.list. The database is the status file
// PackageDatabase reads (PackageDatabase::statusPathFor): the package header of the HB framework
// then shows the tweak's name, version and author.
//
// The control file is the tweak author's, and taken as untrusted: only its first stanza is read,
// only the fields above are kept, a single-line field keeps its first line, control characters
// and bytes that are not UTF-8 are dropped or replaced, values are cut to a bound, and the
// package name must be one dpkg accepts (it names the list file). Whatever the control file
// holds, the status file stays a well-formed list of stanzas: an older stanza of the same package
// is replaced, the others are kept byte for byte, and the file is replaced atomically
// (AtomicFileWrite), never written through a link.
//
//     auto control = PackageStatus::parseControl(text);
//     if (control)
//         auto recorded = PackageStatus::record(device, control.value(), installedFiles, rootless);

#include "platform/foundation/Result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class PackageStatus {
public:
    static constexpr std::size_t kLargestValue = 1024;
    static constexpr std::size_t kLargestDescription = 8 * 1024;

    struct Control {
        // The kept fields, cleaned, in the order the status stanza writes them.
        std::vector<std::pair<std::string, std::string>> fields;
        // A field's value, or empty.
        std::string field(std::string_view name) const;
    };

    // The first stanza of a control file. Fails when it is larger than
    // BundleSource::kLargestControl or names no package dpkg would accept.
    static Result<Control> parseControl(std::string_view text);

    // The status stanza of the package as installed, ending with a line break.
    static std::string statusStanza(const Control& control);
    // A status file's text with the package's stanza in place of any older one of the same
    // package (appended at the end), the other stanzas as they were.
    static std::string replacedStanza(std::string_view status, const Control& control);

    struct Recorded {
        std::string statusFile; // device paths
        std::string listFile;
    };
    // Records the package with its files (device paths) in the device's database. Fails when a
    // folder on the way is a link, the status file is larger than PackageDatabase allows, or a
    // write fails; the status file is then as it was.
    static Result<Recorded> record(const std::string& deviceRoot, const Control& control,
                                   const std::vector<std::string>& files, bool rootless);
};
