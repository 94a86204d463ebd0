#include "platform/foundation/AtomicFileWrite.h"

#include "platform/foundation/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kTempMarker = ".tmp-";
constexpr std::size_t kSuffixLength = 6;
// Long names are shortened in the temporary name so that it stays within NAME_MAX.
constexpr std::size_t kMaxBaseLength = 200;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string temporaryName(const std::string& name) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    // Appended piece by piece: gcc 12 at -O3 mistakes the concatenation of temporaries for an
    // overlapping copy (-Wrestrict).
    std::string out;
    out.reserve(1 + std::min(name.size(), kMaxBaseLength) + std::char_traits<char>::length(kTempMarker) +
                kSuffixLength);
    out.push_back('.');
    out.append(name, 0, kMaxBaseLength);
    out.append(kTempMarker);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    for (std::size_t i = 0; i < kSuffixLength; ++i)
        out += kAlphabet[pick(random)];
    return out;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A directory fd that can be read; the caller's may be O_PATH.
UniqueFd readableFolder(int folderFd) {
    return UniqueFd(openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

} // namespace

bool isAtomicWriteTemporaryName(const std::string& name) {
    const std::size_t marker = std::char_traits<char>::length(kTempMarker);
    if (name.size() < 1 + 1 + marker + kSuffixLength || name[0] != '.')
        return false;
    std::size_t at = name.size() - kSuffixLength - marker;
    if (name.compare(at, marker, kTempMarker) != 0)
        return false;
    for (std::size_t i = name.size() - kSuffixLength; i < name.size(); ++i) {
        char c = name[i];
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum)
            return false;
    }
    return true;
}

int removeAtomicWriteLeftovers(int folderFd) {
    UniqueFd folder = readableFolder(folderFd);
    if (!folder.valid())
        return 0;
    DIR* dir = fdopendir(folder.get());
    if (!dir)
        return 0;
    folder.release();
    std::vector<std::string> candidates;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (isAtomicWriteTemporaryName(name))
            candidates.push_back(std::move(name));
    }
    int removed = 0;
    for (const std::string& name : candidates) {
        UniqueFd fd(openat(dirfd(dir), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!fd.valid())
            continue;
        // A live writer holds its lock until it has renamed or removed the file; getting the lock
        // means the writer is gone. The same inode must still carry the name before it goes.
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat held {
        }, named{};
        if (fstat(fd.get(), &held) != 0 ||
            fstatat(dirfd(dir), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (held.st_ino != named.st_ino || held.st_dev != named.st_dev || !S_ISREG(named.st_mode))
            continue;
        if (unlinkat(dirfd(dir), name.c_str(), 0) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

Result<> writeFileAtomically(int folderFd, const std::string& name, std::span<const std::uint8_t> bytes) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return Failure{"name", EINVAL};
    removeAtomicWriteLeftovers(folderFd);

    mode_t mode = 0644;
    struct stat old {};
    const bool hadFile =
        fstatat(folderFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
    if (hadFile)
        mode = old.st_mode & 0777;

    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temp = temporaryName(name);
        fd.reset(openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd.valid() && errno != EEXIST)
            return Failure{"create", errno};
    }
    if (!fd.valid())
        return Failure{"create", EEXIST};

    auto fail = [&](const char* step) {
        Failure failure{step, errno ? errno : EIO};
        unlinkat(folderFd, temp.c_str(), 0);
        return failure;
    };
    // Held until the file is renamed or removed, so that a cleaner in another process leaves it be.
    if (flock(fd.get(), LOCK_EX) != 0)
        return fail("lock");
    // The creation mode went through the umask; the old file's mode is what the new one keeps.
    if (fchmod(fd.get(), mode) != 0)
        return fail("chmod");
    if (hadFile && geteuid() == 0) {
        // Ownership follows the old file when we may give it away; failing to is not an error.
        [[maybe_unused]] int ignored = fchown(fd.get(), old.st_uid, old.st_gid);
    }
    if (!writeAll(fd.get(), bytes.data(), bytes.size()))
        return fail("write");
    if (fsync(fd.get()) != 0)
        return fail("fsync");
    if (renameat(folderFd, temp.c_str(), folderFd, name.c_str()) != 0)
        return fail("rename");
    // The file is in place. Closing cannot lose data any more (it was synced), so its result only
    // matters for the lock, which closing releases either way.
    fd.reset();
    UniqueFd folder = readableFolder(folderFd);
    if (!folder.valid() || fsync(folder.get()) != 0) {
        // The new contents are whole and in place, but the rename may not survive a power cut;
        // that is reported, not retried.
        return Failure{"folder fsync", errno ? errno : EIO};
    }
    return Result<>::success();
}
