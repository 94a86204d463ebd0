#pragma once

// Where a tweak developer's preference bundle comes from, besides a bundle folder: a Theos project
// in the making, or the .deb package it builds. Either is turned into bundle folders on the host,
// and installed into a device folder so that the Settings list shows the bundle.
//
// A Theos project holds its bundle in one of three places, all looked at:
// - `layout/Library/PreferenceBundles/NAME.bundle` (copied into the package as it is), with its
//   entry in `layout/Library/PreferenceLoader/Preferences/`;
// - a bundle subproject: a folder whose Makefile names `BUNDLE_NAME`, with the bundle's files in
//   `Resources/` and its entry in `entry.plist` (or in the subproject's own `layout/`);
// - a staged build: `.theos/_/Library/PreferenceBundles/NAME.bundle`, its entry beside it in
//   `.theos/_/Library/PreferenceLoader/Preferences/`.
// Each of them also under `var/jb/` for a rootless layout. A bundle of one name found in several
// places is taken from the first of that order (the sources before the build's copy of them).
//
// The project's makefiles are read as text, never run: the top Makefile's `SUBPROJECTS` (all the
// project's folders when it lists none), each subproject's `BUNDLE_NAME`, `NAME_RESOURCE_DIRS`
// (the folders whose files make the bundle, relative to the subproject; `Resources` by default),
// `NAME_INSTALL_PATH` (the device folder the bundle goes to) and `THEOS_PACKAGE_SCHEME` (in the
// subproject's Makefile or the top one; `rootless` puts the bundle and its entry under /var/jb).
// Assignments with `=`, `:=`, `?=` and `+=`, with or without `export`, continued over lines with a
// backslash, and comments are understood; variables are not expanded. An `internal-stage::` rule
// that copies a plist into PreferenceLoader/Preferences names the entry. The project's `control`
// file (or `layout/DEBIAN/control`) is read as the package's control stanza.
//
//     auto bundles = BundleSource::projectBundles("~/src/mytweak");
//     auto picked = BundleSource::pick(bundles, "", "~/src/mytweak");   // fails, naming them, when several
//     auto installed = BundleSource::installBundle(picked.value(), device); // device's bundle folder
//
// A package is untrusted: `installPackage` reads the .deb (an ar archive whose data.tar is
// compressed with gzip, xz, zstd or lzma, or not at all) with libarchive and writes only regular
// files and folders under the folders tweaks install to (Library/, Applications/, usr/,
// var/jb/, var/mobile/Library/). It refuses the whole package, naming the entry, for an absolute
// path, a `..`, a link that leads out of the device, a device node, FIFO or hard link, a setuid or
// setgid bit, or a file or package larger than the limits; the package is checked through before
// anything is written. Every folder on the way down is opened without following links, so a link
// already on the device cannot take a file out of the root either. Links that stay inside the
// device are not installed (and reported as left out).

#include "platform/foundation/Result.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class BundleSource {
public:
    struct Bundle {
        std::string name;      // "MyPrefs": the bundle's name, without ".bundle"
        std::string folder;    // the host folder of its files
        std::string entryFile; // the host path of its preference-loader entry; empty when none
        // Every host folder whose files make the bundle, in order (a later one's file wins); empty
        // means `folder` alone. `folder` is the first of them.
        std::vector<std::string> resourceFolders{};
        // The device folder the bundle is installed into, as the project's makefile writes it
        // (checked when it is installed); empty: /Library/PreferenceBundles.
        std::string installPath{};
        // Installed under /var/jb, as a rootless package puts it.
        bool rootless = false;
    };

    // What a Theos project holds for the simulator.
    struct Project {
        std::string folder;
        bool rootless = false;     // the scheme is rootless, from a makefile or the caller
        std::string controlFile{}; // the host path of its control file; empty when it has none
        std::vector<Bundle> bundles{};
    };

    // Whether a folder is a Theos project rather than a bundle: it is not named NAME.bundle and
    // has a Makefile, a layout/ folder or a staged build.
    static bool isProject(const std::string& folder);
    // Whether a path names a .deb file.
    static bool isPackage(const std::string& path);

    // The preference bundles of a Theos project, in the order above.
    static std::vector<Bundle> projectBundles(const std::string& project);
    // The project in `folder`; `rootless` forces the rootless scheme (as `make
    // THEOS_PACKAGE_SCHEME=rootless` does), which a makefile may also set.
    static Project readProject(const std::string& folder, bool rootless = false);

    // A makefile's variables after its assignments, in the forms above (`+=` appends with a space,
    // `?=` sets only an unset variable). Recipe lines and rules are skipped.
    static std::vector<std::pair<std::string, std::string>> makefileVariables(std::string_view text);

    // The device folder a bundle installs into: its install path (absolute, without `..`;
    // otherwise a failure that names the variable), under /var/jb when it is rootless.
    static Result<std::string> installFolder(const Bundle& bundle);
    // The device paths of the files `installBundle` put on the device for this bundle: the
    // bundle's files and its entry.
    static std::vector<std::string> installedFiles(const Bundle& bundle, const std::string& deviceRoot);

    // The bundle named `name` (without ".bundle"), or the only one when `name` is empty. Fails
    // when there is none, or when there are several and no name, with a reason that lists them;
    // `from` names the project or package in the reason.
    static Result<Bundle> pick(const std::vector<Bundle>& bundles, const std::string& name,
                               const std::string& from);

    // Copies a bundle's regular files and folders into the device at
    // /Library/PreferenceBundles/NAME.bundle (or its install folder), replacing what was there, and
    // its entry to /Library/PreferenceLoader/Preferences/NAME.plist (an entry that opens the bundle
    // under its name when the project has none); both under /var/jb for a rootless bundle. No
    // folder on the way may be a link. Answers the host folder of the installed bundle.
    static Result<std::string> installBundle(const Bundle& bundle, const std::string& deviceRoot);

    static constexpr std::size_t kLargestControl = 256 * 1024;

    struct PackageLimits {
        std::uint64_t maxFileBytes = 64ull << 20;
        std::uint64_t maxTotalBytes = 512ull << 20;
        std::size_t maxEntries = 20000;
    };
    struct InstalledPackage {
        std::vector<std::string> files;   // device paths of the files written, in package order
        std::vector<std::string> skipped; // links inside the device, not installed
        std::string control;              // the text of the package's control file
    };

    // Extracts a package's files into the device folder as described above. The control file of
    // the package's control.tar is read too (at most kLargestControl bytes; a package without one
    // is refused).
    static Result<InstalledPackage> installPackage(const std::string& package, const std::string& deviceRoot,
                                                   const PackageLimits& limits);
    static Result<InstalledPackage> installPackage(const std::string& package,
                                                   const std::string& deviceRoot) {
        return installPackage(package, deviceRoot, PackageLimits{});
    }

    // A new temporary folder, removed with everything in it when the object goes: where a package
    // given in place of a bundle is extracted.
    class TemporaryFolder {
    public:
        static Result<std::unique_ptr<TemporaryFolder>> create();
        ~TemporaryFolder();
        TemporaryFolder(const TemporaryFolder&) = delete;
        TemporaryFolder& operator=(const TemporaryFolder&) = delete;
        const std::string& path() const { return path_; }

    private:
        explicit TemporaryFolder(std::string path) : path_(std::move(path)) {}
        std::string path_;
    };

    // The preference bundles on a device (or in an extracted package): those in
    // /Library/PreferenceBundles and /var/jb/Library/PreferenceBundles, with their entries.
    static std::vector<Bundle> deviceBundles(const std::string& deviceRoot);
};
