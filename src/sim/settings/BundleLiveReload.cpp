#include "sim/settings/BundleLiveReload.h"

#include "platform/foundation/NSLog.h"
#include "sim/settings/SettingsApp.h"

#include "platform/ui/UINavigationController.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
constexpr std::uint32_t kChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM;
// Subfolders watched besides the bundle's own: its .lproj folders; a bundle is not a deep tree.
constexpr int kMostSubfolders = 64;
} // namespace

BundleLiveReload::BundleLiveReload() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0)
        NSLog("Live reload is off: %@", {PlistValue(std::string(std::strerror(errno)))});
}

BundleLiveReload::~BundleLiveReload() {
    if (fd_ >= 0)
        ::close(fd_);
}

void BundleLiveReload::unwatch() {
    // Closing the descriptor drops every watch at once; a new one starts clean.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    folder_.clear();
}

void BundleLiveReload::watch(const std::string& folder) {
    unwatch();
    if (fd_ < 0 || folder.empty())
        return;
    folder_ = folder;
    inotify_add_watch(fd_, folder.c_str(), kChanges | IN_ONLYDIR);
    std::error_code ec;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (count >= kMostSubfolders)
            break;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            inotify_add_watch(fd_, entry.path().c_str(), kChanges | IN_ONLYDIR);
            ++count;
        }
    }
}

bool BundleLiveReload::drain() {
    if (fd_ < 0)
        return false;
    bool any = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        any = true;
    }
    return any;
}

bool BundleLiveReload::poll(SettingsApp& app) {
    auto list = app.isOpen() ? app.visibleList() : nullptr;
    auto bundle = list ? list->bundle() : nullptr;
    std::string folder = bundle ? bundle->hostPath() : std::string();
    if (folder != folder_) {
        watch(folder);
        return false;
    }
    if (!drain() || !list)
        return false;
    // A new folder (a language added) is watched too from now on.
    watch(folder);
    bundle->flushCaches();
    // Every page of the bundle in the navigation stack is read again, so going back shows the
    // saved files too; the stack itself stays.
    if (const auto& navigation = app.navigationController()) {
        for (const auto& controller : navigation->viewControllers()) {
            auto page = std::dynamic_pointer_cast<PSListController>(controller);
            if (page && page != list && page->bundle() && page->bundle()->hostPath() == folder)
                page->reloadSpecifiers();
        }
    }
    list->reloadSpecifiers();
    NSLog("Reloaded %@ after a change on disk", {PlistValue(list->title())});
    return true;
}
