#include "platform/prefs/PSPreferenceBundles.h"

#include <algorithm>
#include <cerrno>

namespace {

// Whether `file` is one plain name that stays in its folder, as deviceBundleNamed asks.
bool isBundleName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

std::string bundleFile(const std::string& name) {
    return name.ends_with(".bundle") ? name : name + ".bundle";
}

// Whether a path below a folder is made of plain entry names only, as a read below an open folder
// takes it; any other is left to the file manager's own walk.
bool isPlainRelativePath(std::string_view path) {
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t slash = std::min(path.find('/', at), path.size());
        std::string_view part = path.substr(at, slash - at);
        if (part.empty() || part == "." || part == "..")
            return false;
        at = slash + 1;
    }
    return true;
}

} // namespace

PSPreferenceBundles::PSPreferenceBundles(std::shared_ptr<NSFileManager> files)
    : files_(files ? std::move(files) : NSFileManager::defaultManager()) {
    for (std::string_view path : kFolders) {
        Folder folder{std::string(path), std::nullopt, false};
        std::shared_ptr<NSError> error;
        auto opened = files_->openDirectoryAtPath(path, &error);
        auto entries = opened ? opened->entries(&error) : std::nullopt;
        if (entries)
            folder.listed = DeviceFolder::Listed{std::move(*opened), std::move(*entries)};
        else
            // Nothing below a path that is missing or not a folder exists; any other failure (a
            // folder that may be searched but not read) leaves each name to be probed.
            folder.absent = !opened && error && (error->code() == ENOENT || error->code() == ENOTDIR);
        folders_.push_back(std::move(folder));
    }
}

std::shared_ptr<NSBundle> PSPreferenceBundles::find(const Folder& folder, const std::string& file) const {
    if (folder.absent)
        return nullptr;
    std::string path = folder.path + "/" + file;
    if (!folder.listed)
        return NSBundle::bundleWithPath(std::move(path), files_);
    const auto& entries = folder.listed->entries;
    auto it = std::lower_bound(entries.begin(), entries.end(), file,
                               [](const DeviceFolder::Entry& e, const std::string& n) { return e.name < n; });
    if (it == entries.end() || it->name != file || !it->mayBeFolder())
        return nullptr;
    // A folder, a link or an entry of unknown kind: opened as the file manager opens it, and a
    // failure (a link to a file, a folder that cannot be read) decided by the path as it always was.
    auto opened = folder.listed->folder.listedFolder(file);
    if (!opened)
        return NSBundle::bundleWithPath(std::move(path), files_);
    auto bundle = NSBundle::bundleWithListedFolder(std::move(path), files_, opened->entries);
    // Its Info.plist is read in the folder just opened, with the kind its listing gave; a bundle
    // whose listing has none reads it itself, and finds it missing.
    auto info = std::find_if(opened->entries.begin(), opened->entries.end(),
                             [](const DeviceFolder::Entry& e) { return e.name == "Info.plist"; });
    if (info != opened->entries.end())
        bundle->setInfoPlistRead(opened->folder.propertyListOf(*info));
    return bundle;
}

std::shared_ptr<NSBundle> PSPreferenceBundles::bundleNamed(const std::string& name) const {
    if (!isBundleName(name))
        return nullptr;
    const std::string file = bundleFile(name);
    for (const Folder& folder : folders_)
        if (auto bundle = find(folder, file))
            return bundle;
    return nullptr;
}

PSPreferenceBundles::Heads PSPreferenceBundles::headsOf(std::span<const std::string> paths, std::size_t count,
                                                        std::size_t maxBytes) const {
    Heads heads;
    for (const std::string& path : paths) {
        for (const Folder& folder : folders_) {
            if (!folder.listed || path.size() <= folder.path.size() + 1 || !path.starts_with(folder.path) ||
                path[folder.path.size()] != '/')
                continue;
            std::string_view relative = std::string_view(path).substr(folder.path.size() + 1);
            if (isPlainRelativePath(relative))
                heads[path] = folder.listed->folder.headBelow(relative, count, nullptr, maxBytes);
            break;
        }
    }
    return heads;
}
