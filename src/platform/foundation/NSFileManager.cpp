#include "platform/foundation/NSFileManager.h"

#include "platform/foundation/AtomicFileWrite.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/DevicePath.h"
#include "platform/foundation/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setError(std::shared_ptr<NSError>* error, std::shared_ptr<NSError> value) {
    if (error)
        *error = std::move(value);
}

// A failed write: the Cocoa file error's text for the device path, and the errno.
Failure writeFailure(int error, const std::string& devicePath) {
    return Failure{NSError::fileError(error, devicePath, true)->localizedDescription(), error};
}

// Resolves the path inside the open root; answers 0 or an errno value.
int resolve(int rootFd, std::string_view path, bool followLast, ResolvedDevicePath& out) {
    if (rootFd < 0)
        return errno;
    return resolveDevicePath(rootFd, path, followLast, out);
}

// Lists read again unchanged (the pane reads its preference file once per row) skip the parse:
// the file is still read every time, and only byte-for-byte the same contents under the same
// limits reuse the earlier result. The tree is shared, not copied: readers treat it as
// immutable (a writer takes a mutableCopy and writes a new file, which reads as a new tree).
// The cache holds a few lists and at most 64 MiB of their bytes.
class ParsedListCache {
public:
    static constexpr std::size_t kMaxEntries = 8;
    static constexpr std::size_t kMaxCachedBytes = 64u << 20;

    std::optional<PlistReadResult> find(const std::vector<std::uint8_t>& bytes, const PlistLimits& limits) {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (sameLimits(it->limits, limits) && it->bytes == bytes) {
                entries_.splice(entries_.begin(), entries_, it);
                return PlistReadResult{it->value, nullptr, it->format};
            }
        }
        return std::nullopt;
    }
    void remember(std::vector<std::uint8_t> bytes, const PlistLimits& limits, const PlistReadResult& result) {
        if (!result.ok() || bytes.size() > kMaxCachedBytes)
            return;
        std::lock_guard lock(mutex_);
        cachedBytes_ += bytes.size();
        entries_.push_front(Entry{std::move(bytes), limits, result.value, result.format});
        while (entries_.size() > kMaxEntries || cachedBytes_ > kMaxCachedBytes) {
            cachedBytes_ -= entries_.back().bytes.size();
            entries_.pop_back();
        }
    }

private:
    struct Entry {
        std::vector<std::uint8_t> bytes;
        PlistLimits limits;
        PlistValue value;
        PlistFormat format;
    };
    static bool sameLimits(const PlistLimits& a, const PlistLimits& b) {
        return a.maxBytes == b.maxBytes && a.maxDepth == b.maxDepth && a.maxValues == b.maxValues &&
               a.maxExpandedBytes == b.maxExpandedBytes;
    }
    std::mutex mutex_;
    std::list<Entry> entries_;
    std::size_t cachedBytes_ = 0;
};

// The device environment's default manager and its cache of parsed lists.
struct FileState : DeviceEnvironment::Part {
    std::mutex mutex;
    std::shared_ptr<NSFileManager> manager;
    ParsedListCache parsedLists;
};

FileState& fileState() {
    return DeviceEnvironment::current().part<FileState>();
}

ParsedListCache& parsedLists() {
    return fileState().parsedLists;
}

} // namespace

std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
    FileState& state = fileState();
    std::lock_guard lock(state.mutex);
    if (!state.manager)
        state.manager = create("/");
    return state.manager;
}

void NSFileManager::setDeviceRoot(std::string hostPath) {
    auto manager = create(std::move(hostPath));
    FileState& state = fileState();
    std::lock_guard lock(state.mutex);
    state.manager = std::move(manager);
}

std::shared_ptr<NSFileManager> NSFileManager::create(std::string hostRoot) {
    if (hostRoot.empty())
        hostRoot = "/";
    return std::shared_ptr<NSFileManager>(new NSFileManager(std::move(hostRoot)));
}

NSFileManager::~NSFileManager() {
    if (int fd = rootFd_.load(); fd >= 0)
        ::close(fd);
}

int NSFileManager::rootFd() const {
    if (int fd = rootFd_.load(std::memory_order_acquire); fd >= 0)
        return fd;
    int fd = open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // Two threads may open the root at once: the first one kept wins and the other closes its own.
    int expected = -1;
    if (rootFd_.compare_exchange_strong(expected, fd, std::memory_order_acq_rel))
        return fd;
    ::close(fd);
    return expected;
}

bool NSFileManager::fileExistsAtPath(std::string_view path) const {
    return fileExistsAtPath(path, nullptr);
}

bool NSFileManager::fileExistsAtPath(std::string_view path, bool* isDirectory) const {
    UniqueFd fd;
    if (int fast = openDevicePathBeneath(rootFd(), path, O_PATH, fd); fast >= 0) {
        struct stat st {};
        if (fast != 0 || fstat(fd.get(), &st) != 0)
            return false;
        if (isDirectory)
            *isDirectory = S_ISDIR(st.st_mode);
        return true;
    }
    ResolvedDevicePath r;
    if (resolve(rootFd(), path, true, r) != 0)
        return false;
    struct stat st {};
    if (fstatat(r.parent.get(), r.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<std::string> NSFileManager::destinationOfSymbolicLinkAtPath(std::string_view path) const {
    ResolvedDevicePath r;
    if (resolve(rootFd(), path, false, r) != 0)
        return std::nullopt;
    std::string target(PATH_MAX, '\0');
    ssize_t n = readlinkat(r.parent.get(), r.name.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size())
        return std::nullopt;
    target.resize(static_cast<std::size_t>(n));
    return target;
}

std::optional<std::vector<std::string>>
NSFileManager::contentsOfDirectoryAtPath(std::string_view path, std::shared_ptr<NSError>* error) const {
    const std::string devicePath(path);
    std::vector<DeviceFolder::Entry> entries;
    UniqueFd fd;
    int e = openDevicePathBeneath(rootFd(), path, DeviceFolder::kListFlags, fd);
    if (e == 0) {
        e = DeviceFolder::listOpenFolder(std::move(fd), entries);
    } else if (e < 0) {
        ResolvedDevicePath r;
        e = resolve(rootFd(), path, true, r);
        if (e == 0)
            e = DeviceFolder::listFolderAt(r.parent.get(), r.name.c_str(), entries);
    }
    if (e) {
        setError(error, NSError::fileError(e, devicePath, false));
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (auto& entry : entries)
        names.push_back(std::move(entry.name));
    return names;
}

std::optional<DeviceFolder> NSFileManager::openDirectoryAtPath(std::string_view path,
                                                               std::shared_ptr<NSError>* error) const {
    const std::string devicePath(path);
    UniqueFd folder;
    int e = openDevicePathBeneath(rootFd(), path, O_PATH | O_DIRECTORY, folder);
    if (e < 0) {
        ResolvedDevicePath r;
        e = resolve(rootFd(), path, true, r);
        if (e == 0) {
            folder.reset(
                openat(r.parent.get(), r.name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            e = folder.valid() ? 0 : errno;
        }
    }
    if (e) {
        setError(error, NSError::fileError(e, devicePath, false));
        return std::nullopt;
    }
    auto self = std::static_pointer_cast<const NSFileManager>(shared_from_this());
    return DeviceFolder(std::move(self), devicePath, std::move(folder));
}

std::optional<std::vector<std::uint8_t>> NSFileManager::contentsAtPath(std::string_view path,
                                                                       std::shared_ptr<NSError>* error,
                                                                       std::size_t maxBytes) const {
    std::vector<std::uint8_t> bytes;
    UniqueFd fd;
    int e = openDevicePathBeneath(rootFd(), path, DeviceFolder::kReadFlags, fd);
    if (e == 0) {
        e = DeviceFolder::readOpenFile(fd.get(), maxBytes, bytes);
    } else if (e < 0) {
        ResolvedDevicePath r;
        e = resolve(rootFd(), path, true, r);
        if (e == 0)
            e = DeviceFolder::readFileAt(r.parent.get(), r.name.c_str(), maxBytes, bytes);
    }
    if (e) {
        setError(error, NSError::fileError(e, std::string(path), false));
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<std::uint8_t>> NSFileManager::headOfFileAtPath(std::string_view path,
                                                                         std::size_t count,
                                                                         std::shared_ptr<NSError>* error,
                                                                         std::size_t maxBytes) const {
    // The same two ways in as contentsAtPath: one call beneath the root, or the walk that follows
    // links inside it.
    UniqueFd fd;
    int e = openDevicePathBeneath(rootFd(), path, DeviceFolder::kReadFlags, fd);
    if (e < 0) {
        ResolvedDevicePath r;
        e = resolve(rootFd(), path, true, r);
        if (e == 0) {
            fd = UniqueFd(openat(r.parent.get(), r.name.c_str(), DeviceFolder::kReadFlags));
            e = fd.valid() ? 0 : errno;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (e == 0)
        e = DeviceFolder::readHeadOfOpenFile(fd.get(), count, maxBytes, bytes);
    if (e) {
        setError(error, NSError::fileError(e, std::string(path), false));
        return std::nullopt;
    }
    return bytes;
}

PlistReadResult NSFileManager::propertyListAtPath(std::string_view path, const PlistLimits& limits) const {
    std::shared_ptr<NSError> error;
    auto bytes = contentsAtPath(path, &error, limits.maxBytes);
    if (!bytes)
        return {PlistValue(), error, PlistFormat::XML};
    return parsePropertyList(std::move(*bytes), limits);
}

PlistReadResult NSFileManager::parsePropertyList(std::vector<std::uint8_t> bytes, const PlistLimits& limits) {
    if (auto cached = parsedLists().find(bytes, limits))
        return *cached;
    PlistReadResult result = readPropertyList(bytes, limits);
    parsedLists().remember(std::move(bytes), limits, result);
    return result;
}

Result<> NSFileManager::writeContentsAtomically(std::string_view path,
                                                std::span<const std::uint8_t> bytes) const {
    const std::string devicePath(path);
    ResolvedDevicePath r;
    if (int e = resolve(rootFd(), path, false, r))
        return writeFailure(e, devicePath);
    if (r.name == ".")
        return writeFailure(EISDIR, devicePath);
    Result<> written = writeFileAtomically(r.parent.get(), r.name, bytes);
    if (!written)
        return writeFailure(written.failure().code, devicePath);
    return Result<>::success();
}

Result<> NSFileManager::writePropertyListAtomically(std::string_view path, const PlistValue& value) const {
    PlistWriteResult encoded = writePropertyList(value);
    if (!encoded.ok())
        return Failure{encoded.error->localizedDescription()};
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(encoded.bytes.data()), encoded.bytes.size());
    return writeContentsAtomically(path, bytes);
}

Result<> NSFileManager::createDirectoryAtPath(std::string_view path, bool intermediates) const {
    const std::string devicePath(path);
    // Creates one folder at a time from the top, so that every step is resolved inside the root.
    std::vector<std::string> steps;
    if (intermediates) {
        std::string prefix;
        std::size_t at = 0;
        while (at < devicePath.size()) {
            std::size_t slash = devicePath.find('/', at);
            if (slash == std::string::npos)
                slash = devicePath.size();
            if (slash > at) {
                prefix += "/" + devicePath.substr(at, slash - at);
                steps.push_back(prefix);
            }
            at = slash + 1;
        }
    } else {
        steps.push_back(devicePath);
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        ResolvedDevicePath r;
        if (int e = resolve(rootFd(), steps[i], true, r))
            return writeFailure(e, devicePath);
        if (mkdirat(r.parent.get(), r.name.c_str(), 0755) == 0)
            continue;
        int e = errno;
        struct stat st {};
        bool isFolder = fstatat(r.parent.get(), r.name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
        if (e == EEXIST && isFolder && (intermediates || r.name == "."))
            continue;
        return writeFailure(e, devicePath);
    }
    return Result<>::success();
}
