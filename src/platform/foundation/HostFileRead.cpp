#include "platform/foundation/HostFileRead.h"

#include "platform/foundation/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reasonFor(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "no such file";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EISDIR:
        return "a folder, not a file";
    default:
        return std::strerror(error);
    }
}

} // namespace

bool readHostFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& why) {
    bytes.clear();
    // Non-blocking, so that opening a FIFO with no writer returns at once; it is refused below.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        why = reasonFor(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        why = reasonFor(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        why = reasonFor(EISDIR);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const std::string tooLarge = "larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        why = tooLarge;
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = reasonFor(errno);
            bytes.clear();
            return false;
        }
        if (n == 0)
            return true;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            why = tooLarge;
            bytes.clear();
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}
