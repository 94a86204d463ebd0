#include "platform/foundation/DeviceFolder.h"

#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setError(std::shared_ptr<NSError>* error, std::shared_ptr<NSError> value) {
    if (error)
        *error = std::move(value);
}

DeviceFolder::Entry::Kind kindOf(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return DeviceFolder::Entry::Kind::folder;
    case DT_LNK:
    case DT_UNKNOWN:
        return DeviceFolder::Entry::Kind::unknown;
    default:
        return DeviceFolder::Entry::Kind::other;
    }
}

} // namespace

DeviceFolder::DeviceFolder(std::shared_ptr<const NSFileManager> files, std::string path, UniqueFd fd)
    : files_(std::move(files)), path_(std::move(path)), fd_(std::move(fd)) {}

DeviceFolder::~DeviceFolder() = default;

std::string DeviceFolder::pathOf(std::string_view name) const {
    std::string path = path_;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool DeviceFolder::isEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

int DeviceFolder::readFileAt(int folderFd, const char* name, std::size_t maxBytes,
                             std::vector<std::uint8_t>& out) {
    UniqueFd fd(openat(folderFd, name, kReadFlags));
    if (!fd.valid())
        return errno;
    return readOpenFile(fd.get(), maxBytes, out);
}

int DeviceFolder::readOpenFile(int fd, std::size_t maxBytes, std::vector<std::uint8_t>& out) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return EFBIG;
    // The size is only a hint: the file may grow while it is read, and the cap holds regardless.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > maxBytes)
                return EFBIG;
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
        ssize_t n = read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    if (used > maxBytes)
        return EFBIG;
    bytes.resize(used);
    out = std::move(bytes);
    return 0;
}

int DeviceFolder::listFolderAt(int folderFd, const char* name, std::vector<Entry>& out) {
    UniqueFd folder(openat(folderFd, name, kListFlags));
    if (!folder.valid())
        return errno;
    return listOpenFolder(std::move(folder), out);
}

int DeviceFolder::listOpenFolder(UniqueFd folder, std::vector<Entry>& out) {
    DIR* dir = fdopendir(folder.get());
    if (!dir)
        return errno;
    folder.release();
    std::vector<Entry> entries;
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != "..")
            entries.push_back(Entry{std::string(entryName), kindOf(entry->d_type)});
    }
    int readError = errno;
    closedir(dir);
    if (readError)
        return readError;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    out = std::move(entries);
    return 0;
}

std::optional<std::vector<DeviceFolder::Entry>> DeviceFolder::entries(std::shared_ptr<NSError>* error) const {
    std::vector<Entry> entries;
    if (int e = listFolderAt(fd_.get(), ".", entries)) {
        setError(error, NSError::fileError(e, path_, false));
        return std::nullopt;
    }
    return entries;
}

std::optional<std::vector<std::string>> DeviceFolder::contents(std::shared_ptr<NSError>* error) const {
    auto listed = entries(error);
    if (!listed)
        return std::nullopt;
    std::vector<std::string> names;
    names.reserve(listed->size());
    for (auto& entry : *listed)
        names.push_back(std::move(entry.name));
    return names;
}

bool DeviceFolder::fileExists(std::string_view name, bool* isDirectory) const {
    if (!isEntryName(name))
        return false;
    const std::string entry(name);
    struct stat st {};
    if (fstatat(fd_.get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return files_->fileExistsAtPath(pathOf(name), isDirectory);
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<std::vector<std::uint8_t>>
DeviceFolder::contentsOf(std::string_view name, std::shared_ptr<NSError>* error, std::size_t maxBytes) const {
    if (!isEntryName(name)) {
        setError(error, NSError::fileError(EINVAL, pathOf(name), false));
        return std::nullopt;
    }
    const std::string entry(name);
    std::vector<std::uint8_t> bytes;
    int e = readFileAt(fd_.get(), entry.c_str(), maxBytes, bytes);
    if (e == 0)
        return bytes;
    // O_NOFOLLOW refuses a link with ELOOP: the file manager's walk follows it as it would any
    // link of the device path, with the same refusals.
    if (e == ELOOP)
        return files_->contentsAtPath(pathOf(name), error, maxBytes);
    setError(error, NSError::fileError(e, pathOf(name), false));
    return std::nullopt;
}

PlistReadResult DeviceFolder::propertyListOf(std::string_view name, const PlistLimits& limits) const {
    std::shared_ptr<NSError> error;
    auto bytes = contentsOf(name, &error, limits.maxBytes);
    if (!bytes)
        return {PlistValue(), error, PlistFormat::XML};
    return NSFileManager::parsePropertyList(std::move(*bytes), limits);
}

std::optional<DeviceFolder> DeviceFolder::folder(std::string_view name,
                                                 std::shared_ptr<NSError>* error) const {
    if (!isEntryName(name)) {
        setError(error, NSError::fileError(EINVAL, pathOf(name), false));
        return std::nullopt;
    }
    const std::string entry(name);
    UniqueFd fd(openat(fd_.get(), entry.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.valid())
        return DeviceFolder(files_, pathOf(name), std::move(fd));
    // O_PATH with O_NOFOLLOW opens a link itself rather than failing, and O_DIRECTORY then fails
    // with ENOTDIR; a link is followed by the file manager's walk.
    int e = errno;
    struct stat st {};
    if ((e == ENOTDIR || e == ELOOP) && fstatat(fd_.get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
        return files_->openDirectoryAtPath(pathOf(name), error);
    setError(error, NSError::fileError(e, pathOf(name), false));
    return std::nullopt;
}
