#pragma once

// Live reload: while a window shows a page of a bundle from disk, saving one of the bundle's files
// (a plist, a strings table, an image) re-reads the page in place. The bundle's folder and its
// subfolders (the .lproj folders) are watched with inotify; `poll`, called from the window's run
// loop, drains the events without blocking and, when a file of the shown bundle changed, drops the
// bundle's cached files and reloads the page's rows. The table keeps its scroll position.
//
//     BundleLiveReload reload;
//     every quarter second: reload.poll(simulator.settings());
//
// A bundle installed from a Theos project (--project) is a copy on the device: editing it there
// would be lost at the next install. `followProject` watches the project instead: its resource
// folders (with their subfolders) and its entry file. A change there installs the bundle again
// (BundleSource::installBundle) and re-reads the pages of the installed copy.

#include "sim/settings/BundleSource.h"

#include <map>
#include <optional>
#include <string>

class SettingsApp;

class BundleLiveReload {
public:
    BundleLiveReload();
    ~BundleLiveReload();
    BundleLiveReload(const BundleLiveReload&) = delete;
    BundleLiveReload& operator=(const BundleLiveReload&) = delete;

    // Follows the page on screen (or the project being followed); answers whether a page was
    // re-read or the project's bundle installed again.
    bool poll(SettingsApp& app);
    // From now on, watches the project folders of `bundle`, installed into `deviceRoot`, rather
    // than the bundle on screen.
    void followProject(BundleSource::Bundle bundle, std::string deviceRoot);
    // The host folder being watched (empty: none).
    const std::string& watchedFolder() const { return folder_; }

private:
    void watch(const std::string& folder);
    void watchProject();
    // Watches a folder and its direct subfolders; `onlyName`: only changes of that file count.
    void addWatches(const std::string& folder, bool withSubfolders, const std::string& onlyName);
    void unwatch();
    bool drain();
    bool pollProject(SettingsApp& app);

    int fd_ = -1;
    std::string folder_;
    // Of each watch, the one file name whose changes count (empty: any).
    std::map<int, std::string> onlyNames_;
    std::optional<BundleSource::Bundle> project_;
    std::string deviceRoot_;
    bool watchingProject_ = false;
};
