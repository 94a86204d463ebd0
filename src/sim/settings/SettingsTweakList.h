#pragma once

// The Settings app's list of tweaks, as the device makes it: one row per preference-loader entry
// (/Library/PreferenceLoader/Preferences/*.plist, and the same folder under /var/jb on a rootless
// device), sorted by label without regard to case, as the phone sorts them.
//
// An entry file is a dictionary whose "entry" dictionary describes the row: "label", "icon" (an
// image of the bundle, or of the entries' folder), and either "bundle" (the name of a bundle in
// /Library/PreferenceBundles, opened by its principal class or its Root plist) or, with the rows
// in the entry file itself ("items"), a page of the framework's list controller on that file.
//
//     auto root = SettingsTweakList::create();       // a PSListController; push it or show it
//     auto entries = SettingsTweakList::readEntries();

#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSPreferenceBundles.h"

#include <memory>
#include <string>
#include <vector>

class SettingsTweakList : public PSListController {
public:
    struct Entry {
        std::string file;   // the entry file's device path
        std::string label;  // as the list shows it
        std::string bundle; // a bundle name, or empty for an entry with its own items
        PlistValue entry;   // the "entry" dictionary as read
    };

    static std::shared_ptr<SettingsTweakList> create();
    std::string className() const override { return "SettingsTweakList"; }

    // The device's entries, sorted as the list shows them. Unreadable entry files are left out
    // with a log line that names them.
    static std::vector<Entry> readEntries();

    std::shared_ptr<const PSSpecifierList> specifiers() override;
    std::shared_ptr<UIViewController>
    controllerForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    void tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;

    // Loads a row's icon and finds whether the device can open its bundle (a placeholder when it
    // cannot). Rows are resolved when they are first shown or tapped; `resolveAll` does every row.
    // Bundles are found in the bundle folders as they were listed at the first row resolved since
    // the rows were made, and read relative to their open folders. A row is resolved together
    // with the unresolved rows after it, up to kResolvedTogether of them (the rows about to be
    // shown), so that their bundles and icons are read in batches.
    static constexpr std::size_t kResolvedTogether = 16;
    void resolve(const std::shared_ptr<PSSpecifier>& row);
    void resolveAll();

protected:
    SettingsTweakList() = default;

private:
    // Whether a row still needs resolving.
    static bool unresolved(const std::shared_ptr<PSSpecifier>& row);
    // Resolves one row whose bundle (null when it has none or it is missing) was looked up.
    void resolveWith(const std::shared_ptr<PSSpecifier>& row, const std::shared_ptr<NSBundle>& bundle);
    // The device's preference-bundle folders, listed at the first row resolved since the rows
    // were made; made again with the rows, so a bundle installed since is found.
    std::unique_ptr<const PSPreferenceBundles> bundles_;
};
