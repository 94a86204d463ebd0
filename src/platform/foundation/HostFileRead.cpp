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

Result<std::string> readHostFile(const std::string& path, std::size_t maxBytes) {
    auto failed = [](int error) { return Failure{reasonFor(error), error}; };
    // Non-blocking, so that opening a FIFO with no writer returns at once; it is refused below.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid())
        return failed(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failed(errno);
    if (S_ISDIR(st.st_mode))
        return failed(EISDIR);
    if (!S_ISREG(st.st_mode))
        return Failure{"not a regular file"};
    const Failure tooLarge{"larger than " + std::to_string(maxBytes) + " bytes", EFBIG};
    if (static_cast<unsigned long long>(st.st_size) > maxBytes)
        return tooLarge;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(errno);
        if (n == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return tooLarge;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}
