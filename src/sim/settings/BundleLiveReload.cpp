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
    onlyNames_.clear();
    watchingProject_ = false;
}

void BundleLiveReload::addWatches(const std::string& folder, bool withSubfolders,
                                  const std::string& onlyName) {
    const int wd = inotify_add_watch(fd_, folder.c_str(), kChanges | IN_ONLYDIR);
    if (wd >= 0)
        onlyNames_[wd] = onlyName;
    if (!withSubfolders)
        return;
    std::error_code ec;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (count >= kMostSubfolders)
            break;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            const int sub = inotify_add_watch(fd_, entry.path().c_str(), kChanges | IN_ONLYDIR);
            if (sub >= 0)
                onlyNames_[sub] = {};
            ++count;
        }
    }
}

void BundleLiveReload::followProject(BundleSource::Bundle bundle, std::string deviceRoot) {
    unwatch();
    project_ = std::move(bundle);
    deviceRoot_ = std::move(deviceRoot);
}

void BundleLiveReload::watchProject() {
    unwatch();
    if (fd_ < 0)
        return;
    const BundleSource::Bundle& bundle = *project_;
    folder_ = bundle.folder;
    for (const std::string& folder :
         bundle.resourceFolders.empty() ? std::vector<std::string>{bundle.folder} : bundle.resourceFolders)
        addWatches(folder, true, {});
    // The entry sits among the project's other files: only its own changes count.
    if (!bundle.entryFile.empty()) {
        const std::filesystem::path entry(bundle.entryFile);
        addWatches(entry.parent_path().string(), false, entry.filename().string());
    }
    watchingProject_ = true;
}

void BundleLiveReload::watch(const std::string& folder) {
    unwatch();
    if (fd_ < 0 || folder.empty())
        return;
    folder_ = folder;
    addWatches(folder, true, {});
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
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const auto only = onlyNames_.find(event->wd);
            const std::string name = event->len ? std::string(event->name) : std::string();
            if (only == onlyNames_.end() || only->second.empty() || only->second == name)
                any = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return any;
}

bool BundleLiveReload::pollProject(SettingsApp& app) {
    if (!watchingProject_) {
        watchProject();
        return false;
    }
    if (!drain())
        return false;
    // A folder added meanwhile (a language) is watched from now on.
    watchProject();
    auto installed = BundleSource::installBundle(*project_, deviceRoot_);
    if (!installed) {
        NSLog("Live reload cannot install %@ again: %@",
              {PlistValue(project_->name), PlistValue(installed.failure().reason)});
        return false;
    }
    // Every page of the installed copy in the navigation stack is read again; the stack stays.
    if (const auto& navigation = app.isOpen() ? app.navigationController() : nullptr) {
        for (const auto& controller : navigation->viewControllers()) {
            auto page = std::dynamic_pointer_cast<PSListController>(controller);
            auto bundle = page ? page->bundle() : nullptr;
            std::error_code ec;
            if (!bundle || !std::filesystem::equivalent(bundle->hostPath(), installed.value(), ec))
                continue;
            bundle->flushCaches();
            page->reloadSpecifiers();
        }
    }
    NSLog("Installed %@ again after a change in the project", {PlistValue(project_->name)});
    return true;
}

bool BundleLiveReload::poll(SettingsApp& app) {
    if (project_)
        return pollProject(app);
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
