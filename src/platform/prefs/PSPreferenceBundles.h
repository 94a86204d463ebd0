#pragma once

// The device's preference-bundle folders, each opened and listed once, for a reader of many
// bundles (the Settings app's list of tweaks looks at hundreds): a bundle is found by name in the
// listings and opened, listed and read relative to its open folder, rather than by walking the
// whole device path again for each probe and each file. A bundle is found as
// PSControllerClasses::deviceBundleNamed finds it: what a listing says of an entry's kind is
// trusted only as far as DeviceFolder::Entry allows, and a link or an entry of unknown kind is
// looked at; a folder that cannot be listed is probed name by name, as before.
//
// The listings are what the folders held when the object was made: a bundle installed after that
// is found by the next one (a list opened again), as a bundle's own caches hold until flushed.
//
//     PSPreferenceBundles bundles;                       // lists both folders
//     auto dim = bundles.bundleNamed("DimPrefs");        // its listing and Info.plist read
//     auto icon = PSListController::imageFromBundle(*dim, "icon.png", &bundles); // head read there
//
// A reader of many bundles at once (a screenful of rows) prepares them first, so that their
// folders, Info.plist files and icon heads are read in a few batches rather than one by one.
//
// An object is used by one thread at a time.

#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class PSPreferenceBundles {
public:
    // The folders in the order a name is looked for in them: the rootful one, then the rootless one.
    static constexpr std::array<std::string_view, 2> kFolders{"/Library/PreferenceBundles",
                                                              "/var/jb/Library/PreferenceBundles"};

    // The heads of files by device path: the bytes, or none when the read failed.
    using Heads = std::map<std::string, std::optional<std::vector<std::uint8_t>>>;

    // Lists the folders of `files` (the device's file manager when null).
    explicit PSPreferenceBundles(std::shared_ptr<NSFileManager> files = nullptr);
    PSPreferenceBundles(const PSPreferenceBundles&) = delete;
    PSPreferenceBundles& operator=(const PSPreferenceBundles&) = delete;

    // The bundle NAME.bundle ("NAME.bundle" may be given), as deviceBundleNamed answers: null when
    // neither folder holds it or the name would leave the folder. A bundle found in a listing
    // comes with its top folder's names and its Info.plist already read, relative to its folder.
    std::shared_ptr<NSBundle> bundleNamed(const std::string& name) const;

    // The first `count` bytes of files at device paths, each as the file manager's
    // headOfFileAtPath reads it (refused over `maxBytes`), read relative to the open folder. Only
    // paths of plain names below one of the listed folders are answered; the others are left out.
    Heads headsOf(std::span<const std::string> paths, std::size_t count, std::size_t maxBytes) const;

    // Looks up the bundles NAMES together, as many bundleNamed calls to come will: the bundle
    // folders found in the listings are opened and listed, and their Info.plist files read, in
    // batches (through io_uring where the kernel offers it). The next bundleNamed of one of them
    // answers from what was read here, exactly as it would have answered alone; a bundle that
    // needs a closer look (a folder that cannot be listed, a folder that cannot be probed) is
    // left to it.
    void prepare(std::span<const std::string> names) const;
    // Reads the heads of files at device paths together, as headsOf would read each; the next
    // headsOf asking for one of them with the same `count` and `maxBytes` takes the answer.
    void prepareHeads(std::span<const std::string> paths, std::size_t count, std::size_t maxBytes) const;

private:
    struct Folder {
        std::string path;
        // The folder as listed; none when it could not be, and then `absent` tells whether it
        // holds nothing (there is no folder there) or must be probed name by name.
        std::optional<DeviceFolder::Listed> listed;
        bool absent = false;
    };
    // The bundle `file` of one folder, or null.
    std::shared_ptr<NSBundle> find(const Folder& folder, const std::string& file) const;

    // The first folder whose listing holds `file` as a possible folder, when each folder before
    // it certainly does not; none when a folder on the way must be probed or none holds it.
    std::optional<std::size_t> folderListing(const std::string& file) const;

    // What prepare read of a bundle: its top folder's entries and, when it has one, its Info.plist.
    struct Prepared {
        std::vector<DeviceFolder::Entry> entries;
        std::optional<PlistReadResult> info;
    };
    // What prepareHeads read: the head of a path, with the count and cap it was read for.
    struct PreparedHead {
        std::size_t count = 0;
        std::size_t maxBytes = 0;
        std::optional<std::vector<std::uint8_t>> bytes;
    };

    std::shared_ptr<NSFileManager> files_;
    std::vector<Folder> folders_;
    // Taken by the lookups they answer, so each answers once.
    mutable std::map<std::pair<std::size_t, std::string>, Prepared> prepared_;
    mutable std::map<std::string, PreparedHead> preparedHeads_;
};
