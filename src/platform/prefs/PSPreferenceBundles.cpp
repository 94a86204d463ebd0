#include "platform/prefs/PSPreferenceBundles.h"

#include <algorithm>
#include <cerrno>

namespace {

std::string bundleFile(const std::string& name) {
    return name.ends_with(".bundle") ? name : name + ".bundle";
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
    if (!DeviceFolder::isEntryName(name))
        return nullptr;
    const std::string file = bundleFile(name);
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        // A bundle prepared in this folder is the one find would open here.
        if (auto it = prepared_.find({f, file}); it != prepared_.end()) {
            Prepared prepared = std::move(it->second);
            prepared_.erase(it);
            auto bundle =
                NSBundle::bundleWithListedFolder(folders_[f].path + "/" + file, files_, prepared.entries);
            if (prepared.info)
                bundle->setInfoPlistRead(*prepared.info);
            return bundle;
        }
        if (auto bundle = find(folders_[f], file))
            return bundle;
    }
    return nullptr;
}

std::optional<std::size_t> PSPreferenceBundles::folderListing(const std::string& file) const {
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        const Folder& folder = folders_[f];
        if (folder.absent)
            continue;
        if (!folder.listed)
            return std::nullopt;
        const auto& entries = folder.listed->entries;
        auto it =
            std::lower_bound(entries.begin(), entries.end(), file,
                             [](const DeviceFolder::Entry& e, const std::string& n) { return e.name < n; });
        if (it != entries.end() && it->name == file && it->mayBeFolder())
            return f;
    }
    return std::nullopt;
}

void PSPreferenceBundles::prepare(std::span<const std::string> names) const {
    // What an earlier preparation left unused is not kept: it was read for other lookups.
    prepared_.clear();
    std::vector<std::vector<std::string>> files(folders_.size());
    for (const std::string& name : names) {
        if (!DeviceFolder::isEntryName(name))
            continue;
        std::string file = bundleFile(name);
        if (auto f = folderListing(file);
            f && std::find(files[*f].begin(), files[*f].end(), file) == files[*f].end())
            files[*f].push_back(std::move(file));
    }
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        if (files[f].empty())
            continue;
        const DeviceFolder& folder = folders_[f].listed->folder;
        // A folder that cannot be listed now is left to find, which decides it by its path.
        std::vector<DeviceFolder::FolderListing> listings = folder.listedFolders(files[f]);
        std::vector<std::size_t> withInfo;
        std::vector<std::string> infoPaths;
        std::vector<bool> infoListedRegular;
        for (std::size_t i = 0; i < files[f].size(); ++i) {
            if (!listings[i].entries)
                continue;
            const auto& entries = *listings[i].entries;
            auto info = std::find_if(entries.begin(), entries.end(),
                                     [](const DeviceFolder::Entry& e) { return e.name == "Info.plist"; });
            if (info != entries.end()) {
                withInfo.push_back(i);
                infoPaths.push_back(files[f][i] + "/Info.plist");
                infoListedRegular.push_back(info->kind == DeviceFolder::Entry::Kind::file);
            }
            prepared_[{f, files[f][i]}] = Prepared{std::move(*listings[i].entries), std::nullopt};
        }
        // Each Info.plist read below this folder, as the bundle's own folder reads it: with the
        // kind its listing gave.
        std::vector<PlistReadResult> infos = folder.propertyListsBelow(infoPaths, infoListedRegular);
        for (std::size_t k = 0; k < withInfo.size(); ++k)
            prepared_[{f, files[f][withInfo[k]]}].info = std::move(infos[k]);
    }
}

void PSPreferenceBundles::prepareHeads(std::span<const std::string> paths, std::size_t count,
                                       std::size_t maxBytes) const {
    preparedHeads_.clear();
    std::vector<std::vector<std::string>> relatives(folders_.size()), full(folders_.size());
    for (const std::string& path : paths) {
        for (std::size_t f = 0; f < folders_.size(); ++f) {
            const Folder& folder = folders_[f];
            if (!folder.listed || path.size() <= folder.path.size() + 1 || !path.starts_with(folder.path) ||
                path[folder.path.size()] != '/')
                continue;
            std::string_view relative = std::string_view(path).substr(folder.path.size() + 1);
            if (DeviceFolder::isRelativeEntryPath(relative)) {
                relatives[f].emplace_back(relative);
                full[f].push_back(path);
            }
            break;
        }
    }
    for (std::size_t f = 0; f < folders_.size(); ++f) {
        if (relatives[f].empty())
            continue;
        std::vector<DeviceFolder::FileRead> heads =
            folders_[f].listed->folder.headsBelow(relatives[f], count, maxBytes);
        for (std::size_t i = 0; i < heads.size(); ++i)
            preparedHeads_[full[f][i]] = PreparedHead{count, maxBytes, std::move(heads[i].bytes)};
    }
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
            if (!DeviceFolder::isRelativeEntryPath(relative))
                break;
            if (auto it = preparedHeads_.find(path); it != preparedHeads_.end()) {
                PreparedHead prepared = std::move(it->second);
                preparedHeads_.erase(it);
                if (prepared.count == count && prepared.maxBytes == maxBytes) {
                    heads[path] = std::move(prepared.bytes);
                    break;
                }
            }
            heads[path] = folder.listed->folder.headBelow(relative, count, nullptr, maxBytes);
            break;
        }
    }
    return heads;
}
