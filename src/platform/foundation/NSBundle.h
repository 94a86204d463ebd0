#pragma once

// A bundle folder (NSBundle): its Info.plist, its resources and its localised strings. A bundle is
// read through a file manager, so its reads stay inside that manager's root: a bundle on the
// device (/Library/PreferenceBundles/X.bundle) through the device's manager, and a bundle folder
// of the host through a manager rooted at that folder, so no link inside it reaches out of it.
//
// Localised resources are looked up as the platform does: in the `<language>.lproj` folder of each
// preferred language in turn (a language with a region, "de-CH", tries "de-CH" and then "de"; the
// old English names such as "German" count too), then the development region's folder
// (CFBundleDevelopmentRegion, "en" when absent), "Base.lproj", and the bundle's top folder.
//
//     auto bundle = NSBundle::bundleWithPath("/Library/PreferenceBundles/Dim.bundle");
//     std::string title = bundle->localizedStringForKey("Brightness", "", "Root");
//     auto root = bundle->pathForResource("Root", "plist");   // "/Library/.../Dim.bundle/Root.plist"

#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"
#include "platform/foundation/plist/PropertyList.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class NSBundle : public NSObject {
    struct Private {};

public:
    // The bundle at a path of `files` (the device's file manager when null). Null when there is no
    // folder there.
    static std::shared_ptr<NSBundle> bundleWithPath(std::string path,
                                                    std::shared_ptr<NSFileManager> files = nullptr);
    // A folder of the host as a bundle; its paths are then relative to that folder ("/Root.plist").
    static std::shared_ptr<NSBundle> bundleWithHostFolder(const std::string& folder);
    // The bundle at `path` of `files`, a folder the caller has just opened and listed there
    // (DeviceFolder::listedFolder): its top folder's names are taken from `entries` rather than
    // listed again. A reader of many bundles at once makes them so.
    static std::shared_ptr<NSBundle> bundleWithListedFolder(std::string path,
                                                            std::shared_ptr<NSFileManager> files,
                                                            const std::vector<DeviceFolder::Entry>& entries);

    NSBundle(Private, std::string path, std::shared_ptr<NSFileManager> files);

    std::string className() const override { return "NSBundle"; }
    std::string description() const override { return "NSBundle <" + path_ + ">"; }

    const std::string& bundlePath() const { return path_; }
    const std::shared_ptr<NSFileManager>& fileManager() const { return files_; }
    // The host folder that holds the bundle (for messages and for watching it).
    std::string hostPath() const;

    // The Info.plist dictionary (an empty dictionary when it is missing or unreadable).
    PlistValue infoDictionary() const;
    PlistValue objectForInfoDictionaryKey(std::string_view key) const { return infoDictionary().get(key); }
    // NSPrincipalClass, or empty.
    std::string principalClassName() const;
    // Takes the bundle's Info.plist as a reader of many bundles read it for this one, the file at
    // "<bundlePath>/Info.plist" read as a property list with the default limits, as the bundle
    // would read it itself; flushCaches forgets it as it forgets everything read.
    void setInfoPlistRead(const PlistReadResult& read);

    // The path of "<name>.<ext>" in the bundle, localised, or none when no such file exists.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& ext) const;
    // The localisations the bundle has (the names of its .lproj folders, without ".lproj").
    std::vector<std::string> localizations() const;

    // localizedStringForKey:value:table:. The string of `table`.strings for `key` in the best
    // localisation that has the table; otherwise `value`, or the key itself when `value` is empty.
    std::string localizedStringForKey(const std::string& key, const std::string& value,
                                      const std::string& table) const;
    // The whole table as the lookup uses it, or none when no localisation has it.
    PlistValue stringsTable(const std::string& table) const;

    // Forgets what was read, so the next use reads the files again (a bundle edited on disk).
    void flushCaches();

    // The device's language list, most preferred first ("en" by default); each device environment
    // has its own.
    static void setPreferredLanguages(std::vector<std::string> languages);
    static std::vector<std::string> preferredLanguages();

    // The largest resource file the bundle reads.
    static constexpr std::size_t kLargestResource = 8u << 20;

private:
    // The .lproj folders to look in for the device's `languages`, best first (existing ones only),
    // then "" for the top folder; worked out once per language list. With mutex_ held.
    const std::vector<std::string>& searchFolders(const std::vector<std::string>& languages) const;
    // The Info.plist dictionary, read once. With mutex_ held.
    const PlistValue& info() const;
    // The Info dictionary a read of Info.plist gives: an empty one when it failed or is no dictionary.
    static PlistValue infoFrom(const PlistReadResult& read);

    std::string path_;
    std::shared_ptr<NSFileManager> files_;
    mutable std::mutex mutex_;
    mutable std::optional<PlistValue> info_;
    // The names in the bundle's folder ("") and its language folders, each listed once.
    const std::set<std::string>& namesIn(const std::string& folder) const; // with mutex_ held
    mutable std::map<std::string, std::set<std::string>> listings_;
    mutable std::map<std::string, PlistValue> tables_;
    // The folders searchFolders last gave, and the languages they were worked out for.
    mutable std::optional<std::vector<std::string>> searchFolders_;
    mutable std::vector<std::string> searchLanguages_;
};
