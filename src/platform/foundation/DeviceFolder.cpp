#include "platform/foundation/DeviceFolder.h"

#include "platform/foundation/DevicePath.h"
#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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
    case DT_REG:
        return DeviceFolder::Entry::Kind::file;
    case DT_LNK:
    case DT_UNKNOWN:
        return DeviceFolder::Entry::Kind::unknown;
    default:
        return DeviceFolder::Entry::Kind::other;
    }
}

// The first read of a file listed as regular: enough for the property lists of bundles and
// tweaks, small enough for the stack of any thread.
constexpr std::size_t kFirstReadBytes = 16384;

// The buffer of a listing that did not fit the one on the stack.
constexpr std::size_t kLargeListingBytes = 131072;

// Reads once into `buffer`; answers the count or -1 with errno set.
ssize_t readOnce(int fd, std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
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
                             std::vector<std::uint8_t>& out, bool listedRegular) {
    UniqueFd fd(openat(folderFd, name, kReadFlags));
    if (!fd.valid())
        return errno;
    return readOpenFile(fd.get(), maxBytes, out, listedRegular);
}

int DeviceFolder::readOpenFile(int fd, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                               bool listedRegular) {
    // A file the folder listed as regular is read first and looked at only when the read cannot
    // tell: most are small, and one short read of a regular file is all of it. What answers
    // nothing may be an empty file or an idle FIFO, and what fills the buffer may be a device;
    // what fails to read (a folder, a FIFO with nothing written) is looked at and read again
    // as if the first read had not been made.
    std::uint8_t first[kFirstReadBytes];
    std::size_t firstUsed = 0;
    if (listedRegular) {
        const std::size_t wanted = maxBytes < sizeof first ? maxBytes + 1 : sizeof first;
        ssize_t n = readOnce(fd, first, wanted);
        if (n > 0 && static_cast<std::size_t>(n) < wanted) {
            out.assign(first, first + n);
            return 0;
        }
        firstUsed = n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return EFBIG;
    // The size is only a hint: the file may grow while it is read, and the cap holds regardless.
    std::vector<std::uint8_t> bytes(std::max(static_cast<std::size_t>(st.st_size), firstUsed) + 1);
    std::copy(first, first + firstUsed, bytes.begin());
    std::size_t used = firstUsed;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > maxBytes)
                return EFBIG;
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
        const std::size_t wanted = bytes.size() - used;
        ssize_t n = read(fd, bytes.data() + used, wanted);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        used += static_cast<std::size_t>(n);
        // A regular file gives less than was asked for only at its end, which saves asking again
        // for the empty read that would say so; a file that grew fills the buffer and is read on.
        if (static_cast<std::size_t>(n) < wanted)
            break;
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
    return listOpenFd(folder.get(), out);
}

int DeviceFolder::listOpenFd(int folder, std::vector<Entry>& out) {
    // The entries straight from the kernel: the C library's folder stream would first look at the
    // folder again (fstat, fcntl), which for the many small folders of app bundles costs as much
    // as reading them.
    // Most folders fit the buffer on the stack; one that fills it is a large one (a tweak folder
    // holds thousands of entries), read on in larger steps to ask the kernel fewer times.
    alignas(8) char small[16384];
    std::unique_ptr<char[]> large;
    char* buffer = small;
    std::size_t bufferSize = sizeof small;
    std::vector<Entry> entries;
    for (;;) {
        ssize_t n = getdents64(folder, buffer, bufferSize);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                entries.push_back(Entry{std::string(name), kindOf(entry->d_type)});
            at += entry->d_reclen;
        }
        if (!large && static_cast<std::size_t>(n) > bufferSize / 2) {
            large = std::make_unique_for_overwrite<char[]>(kLargeListingBytes);
            buffer = large.get();
            bufferSize = kLargeListingBytes;
        }
    }
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
    return readEntry(name, false, error, maxBytes);
}

std::optional<std::vector<std::uint8_t>>
DeviceFolder::contentsOf(const Entry& entry, std::shared_ptr<NSError>* error, std::size_t maxBytes) const {
    return readEntry(entry.name, entry.kind == Entry::Kind::file, error, maxBytes);
}

std::optional<std::vector<std::uint8_t>> DeviceFolder::readEntry(std::string_view name, bool listedRegular,
                                                                 std::shared_ptr<NSError>* error,
                                                                 std::size_t maxBytes) const {
    if (!isEntryName(name)) {
        setError(error, NSError::fileError(EINVAL, pathOf(name), false));
        return std::nullopt;
    }
    const std::string entry(name);
    std::vector<std::uint8_t> bytes;
    int e = readFileAt(fd_.get(), entry.c_str(), maxBytes, bytes, listedRegular);
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

PlistReadResult DeviceFolder::propertyListOf(const Entry& entry, const PlistLimits& limits) const {
    std::shared_ptr<NSError> error;
    auto bytes = contentsOf(entry, &error, limits.maxBytes);
    if (!bytes)
        return {PlistValue(), error, PlistFormat::XML};
    return NSFileManager::parsePropertyList(std::move(*bytes), limits);
}

PlistReadResult DeviceFolder::propertyListBelow(std::string_view relativePath,
                                                const PlistLimits& limits) const {
    const std::string path = pathOf(relativePath);
    for (std::size_t at = 0; at <= relativePath.size();) {
        std::size_t slash = std::min(relativePath.find('/', at), relativePath.size());
        if (!isEntryName(relativePath.substr(at, slash - at)))
            return {PlistValue(), NSError::fileError(EINVAL, path, false), PlistFormat::XML};
        at = slash + 1;
    }
    UniqueFd fd;
    std::vector<std::uint8_t> bytes;
    int e = openDevicePathBeneath(fd_.get(), relativePath, kReadFlags, fd);
    if (e == 0)
        e = readOpenFile(fd.get(), limits.maxBytes, bytes);
    else if (e < 0)
        return files_->propertyListAtPath(path, limits);
    if (e)
        return {PlistValue(), NSError::fileError(e, path, false), PlistFormat::XML};
    return NSFileManager::parsePropertyList(std::move(bytes), limits);
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

std::optional<DeviceFolder::Listed> DeviceFolder::listedFolder(std::string_view name,
                                                               std::shared_ptr<NSError>* error) const {
    if (!isEntryName(name)) {
        setError(error, NSError::fileError(EINVAL, pathOf(name), false));
        return std::nullopt;
    }
    // The folder is opened readable rather than as a bare path, listed through the same
    // descriptor, and kept: reading relative to it needs no more than that.
    const std::string entry(name);
    UniqueFd fd(openat(fd_.get(), entry.c_str(), kListFlags));
    if (!fd.valid()) {
        int e = errno;
        struct stat st {};
        if ((e == ENOTDIR || e == ELOOP) &&
            fstatat(fd_.get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            auto linked = files_->openDirectoryAtPath(pathOf(name), error);
            auto entries = linked ? linked->entries(error) : std::nullopt;
            if (!entries)
                return std::nullopt;
            return Listed{std::move(*linked), std::move(*entries)};
        }
        setError(error, NSError::fileError(e, pathOf(name), false));
        return std::nullopt;
    }
    std::vector<Entry> entries;
    if (int e = listOpenFd(fd.get(), entries)) {
        setError(error, NSError::fileError(e, pathOf(name), false));
        return std::nullopt;
    }
    return Listed{DeviceFolder(files_, pathOf(name), std::move(fd)), std::move(entries)};
}
