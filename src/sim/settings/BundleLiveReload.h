#pragma once

// Live reload: while a window shows a page of a bundle from disk, saving one of the bundle's files
// (a plist, a strings table, an image) re-reads the page in place. The bundle's folder and its
// subfolders (the .lproj folders) are watched with inotify; `poll`, called from the window's run
// loop, drains the events without blocking and, when a file of the shown bundle changed, drops the
// bundle's cached files and reloads the page's rows. The table keeps its scroll position.
//
//     BundleLiveReload reload;
//     every quarter second: reload.poll(simulator.settings());

#include <string>

class SettingsApp;

class BundleLiveReload {
public:
    BundleLiveReload();
    ~BundleLiveReload();
    BundleLiveReload(const BundleLiveReload&) = delete;
    BundleLiveReload& operator=(const BundleLiveReload&) = delete;

    // Follows the page on screen; answers whether it was re-read.
    bool poll(SettingsApp& app);
    // The host folder being watched (empty: none).
    const std::string& watchedFolder() const { return folder_; }

private:
    void watch(const std::string& folder);
    void unwatch();
    bool drain();

    int fd_ = -1;
    std::string folder_;
};
