#include "platform/foundation/DevicePath.h"

#include <cerrno>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinks = 40;

void splitInto(std::string_view path, std::deque<std::string>& parts, bool front) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string_view::npos)
            slash = path.size();
        if (slash > at)
            pieces.emplace_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    if (front)
        parts.insert(parts.begin(), pieces.begin(), pieces.end());
    else
        parts.insert(parts.end(), pieces.begin(), pieces.end());
}

bool hasDotComponent(std::string_view path) {
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string_view::npos)
            slash = path.size();
        std::string_view part = path.substr(at, slash - at);
        if (part == "." || part == "..")
            return true;
        at = slash + 1;
    }
    return false;
}

// The common case in one system call: the kernel walks the folders itself, refusing (EXDEV)
// anything that would leave the root, an absolute link or a ".." above it included. Answers
// -1 when the walk above must decide (an absolute link, a link in the last component, a kernel
// without openat2), otherwise 0 or the errno that the walk would give as well.
int resolveBeneath(int rootFd, std::string_view devicePath, bool followLast, ResolvedDevicePath& out) {
    if (hasDotComponent(devicePath))
        return -1;
    std::size_t end = devicePath.find_last_not_of('/');
    if (end == std::string_view::npos)
        return -1; // the root itself
    std::size_t slash = devicePath.rfind('/', end);
    std::string name(devicePath.substr(slash == std::string_view::npos ? 0 : slash + 1,
                                       slash == std::string_view::npos ? end + 1 : end - slash));
    std::string folder(devicePath.substr(0, slash == std::string_view::npos ? 0 : slash));
    while (!folder.empty() && folder.front() == '/')
        folder.erase(0, 1);
    UniqueFd parent;
    if (folder.empty()) {
        parent = UniqueFd(fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    } else {
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        parent = UniqueFd(static_cast<int>(syscall(SYS_openat2, rootFd, folder.c_str(), &how, sizeof how)));
    }
    if (!parent.valid())
        return errno == ENOENT || errno == ENOTDIR ? errno : -1;
    if (followLast) {
        struct stat st {};
        if (fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode))
                return -1;
        } else if (errno != ENOENT) {
            return -1;
        }
    }
    out.parent = std::move(parent);
    out.name = std::move(name);
    return 0;
}

} // namespace

int resolveDevicePath(int rootFd, std::string_view devicePath, bool followLast, ResolvedDevicePath& out) {
    if (devicePath.find('\0') != std::string_view::npos)
        return EINVAL;
    if (int fast = resolveBeneath(rootFd, devicePath, followLast, out); fast >= 0)
        return fast;
    std::deque<std::string> pending;
    splitInto(devicePath, pending, false);
    // The folders walked so far, the root at the bottom; ".." pops one.
    std::vector<UniqueFd> folders;
    folders.emplace_back(fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!folders.back().valid())
        return errno;
    int links = 0;
    std::string last = ".";
    while (!pending.empty()) {
        std::string part = std::move(pending.front());
        pending.pop_front();
        const bool isLast = pending.empty();
        if (part == ".") {
            if (isLast)
                last = ".";
            continue;
        }
        if (part == "..") {
            if (folders.size() == 1)
                return EXDEV;
            folders.pop_back();
            if (isLast)
                last = ".";
            continue;
        }
        if (isLast && !followLast) {
            last = std::move(part);
            break;
        }
        UniqueFd fd(openat(folders.back().get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) {
            if (errno == ENOENT && isLast) {
                last = std::move(part);
                break;
            }
            return errno;
        }
        struct stat st {};
        if (fstat(fd.get(), &st) != 0)
            return errno;
        if (S_ISLNK(st.st_mode)) {
            if (++links > kMaxLinks)
                return ELOOP;
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
            ssize_t n = readlinkat(fd.get(), "", target.data(), target.size());
            if (n < 0)
                return errno;
            target.resize(static_cast<std::size_t>(n));
            if (target.empty())
                return ENOENT;
            // The link's target takes the link's place; an absolute one starts at the device root.
            splitInto(target, pending, true);
            if (target.front() == '/')
                folders.resize(1);
            if (pending.empty())
                last = ".";
            continue;
        }
        if (isLast) {
            last = std::move(part);
            break;
        }
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
        folders.push_back(std::move(fd));
    }
    out.parent = std::move(folders.back());
    out.name = std::move(last);
    return 0;
}

int openDevicePathBeneath(int rootFd, std::string_view devicePath, int flags, UniqueFd& out) {
    if (devicePath.find('\0') != std::string_view::npos || hasDotComponent(devicePath))
        return -1;
    std::size_t begin = devicePath.find_first_not_of('/');
    std::size_t end = devicePath.find_last_not_of('/');
    if (begin == std::string_view::npos)
        return -1;
    // The walk ignores the slashes around a path, which the kernel would take to mean a folder.
    const std::string relative(devicePath.substr(begin, end + 1 - begin));
    open_how how{};
    // Without O_NOFOLLOW a link in the last part fails as any other does (ELOOP), where with it
    // O_DIRECTORY would answer ENOTDIR, which the walk would not.
    how.flags = static_cast<std::uint64_t>((flags & ~O_NOFOLLOW) | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    UniqueFd fd(static_cast<int>(syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how)));
    if (fd.valid()) {
        out = std::move(fd);
        return 0;
    }
    return errno == ENOENT || errno == ENOTDIR || errno == EACCES ? errno : -1;
}
