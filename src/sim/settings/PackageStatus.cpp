#include "sim/settings/PackageStatus.h"

#include "platform/foundation/AtomicFileWrite.h"
#include "platform/prefslibs/PackageDatabase.h"
#include "sim/settings/BundleSource.h"
#include "sim/settings/SystemFailure.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fields a status stanza keeps, in its order; "Status" is written after "Package".
constexpr std::array<std::string_view, 9> kKeptFields{
    "Package", "Version", "Architecture", "Name", "Author", "Maintainer", "Depends", "Icon", "Description"};

// A field's text without the spaces and tabs around it, nor a carriage return at its end.
std::string_view trimmedField(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The length of the UTF-8 sequence at `s[i]`, or 0 when none starts there.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

// One line of a value as the status file may hold it: no control characters, valid UTF-8 (a
// broken byte becomes U+FFFD), at most `limit` bytes, cut between characters.
std::string cleanLine(std::string_view line, std::size_t limit) {
    line = trimmedField(line);
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        std::size_t length = utf8Length(line, i);
        std::string_view piece = length ? line.substr(i, length) : std::string_view("\xEF\xBF\xBD");
        i += length ? length : 1;
        if (length == 1 && (c < 0x20 || c == 0x7F))
            piece = c == '\t' ? " " : "";
        if (out.size() + piece.size() > limit)
            break;
        out += piece;
    }
    return std::string(trimmedField(out));
}

// Whether dpkg would accept the name: letters, digits, "+", "-" and ".", starting with a letter
// or digit, at least two characters.
bool isPackageName(std::string_view name) {
    if (name.size() < 2 || name.size() > 200 || !std::isalnum(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

// The package's field of a stanza's text, or empty.
std::string_view packageOf(std::string_view stanza) {
    while (!stanza.empty()) {
        const std::size_t end = stanza.find('\n');
        std::string_view line = stanza.substr(0, end);
        stanza.remove_prefix(end == std::string_view::npos ? stanza.size() : end + 1);
        if (line.starts_with("Package:"))
            return trimmedField(line.substr(8));
    }
    return {};
}

bool isBlank(std::string_view line) {
    return trimmedField(line).empty();
}

// Opens (making them) the folders of a device path below the root, never following a link.
Result<int> openFolder(int root, const std::string& devicePath) {
    int folder = ::dup(root);
    std::string shown;
    std::string_view rest = devicePath;
    while (folder >= 0 && !rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (name.empty())
            continue;
        shown += "/" + name;
        if (::mkdirat(folder, name.c_str(), 0755) != 0 && errno != EEXIST) {
            Failure failure = systemFailure(shown);
            ::close(folder);
            return failure;
        }
        const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            Failure failure = systemFailure(shown + " is not a folder of the device");
            ::close(folder);
            return failure;
        }
        ::close(folder);
        folder = next;
    }
    if (folder < 0)
        return systemFailure("the device folder");
    return folder;
}

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The text of a file in a folder, not through a link; empty when there is none.
Result<std::string> readSmallFile(int folder, const char* name, std::size_t limit, const std::string& shown) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return std::string();
    if (fd < 0)
        return systemFailure(shown);
    Closer closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Failure{shown + " is not a regular file"};
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        return Failure{shown + " is larger than " + std::to_string(limit) + " bytes"};
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemFailure(shown);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return text;
}

Result<> writeText(int folder, const std::string& name, const std::string& text, const std::string& shown) {
    Result<> written = writeFileAtomically(
        folder, name, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!written)
        return Failure{shown + ": " + written.failure().reason + " failed", written.failure().code};
    return {};
}

bool existsOnDevice(const std::string& deviceRoot, const char* path) {
    struct stat st {};
    return ::lstat((deviceRoot + path).c_str(), &st) == 0;
}

} // namespace

std::string PackageStatus::Control::field(std::string_view name) const {
    for (const auto& [key, value] : fields)
        if (key == name)
            return value;
    return {};
}

Result<PackageStatus::Control> PackageStatus::parseControl(std::string_view text) {
    if (text.size() > BundleSource::kLargestControl)
        return Failure{"the control file is larger than " + std::to_string(BundleSource::kLargestControl) +
                       " bytes"};
    // The fields of the first stanza, as written: a continuation line joins its field.
    std::vector<std::pair<std::string, std::vector<std::string_view>>> read;
    bool started = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (isBlank(line)) {
            if (started)
                break;
            continue;
        }
        started = true;
        if (line.front() == ' ' || line.front() == '\t') {
            if (!read.empty())
                read.back().second.push_back(line.substr(1));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name(trimmedField(line.substr(0, colon)));
        const auto kept = std::find(kKeptFields.begin(), kKeptFields.end(), name);
        if (kept == kKeptFields.end())
            continue;
        read.emplace_back(std::move(name), std::vector<std::string_view>{line.substr(colon + 1)});
    }
    Control control;
    for (std::string_view name : kKeptFields) {
        // A later field of the same name wins, as in dpkg's reading of a stanza.
        auto it = std::find_if(read.rbegin(), read.rend(), [&](const auto& f) { return f.first == name; });
        if (it == read.rend())
            continue;
        std::string value = cleanLine(it->second.front(), kLargestValue);
        if (name == "Description") {
            // The extended description: one line each, a blank one written as ".".
            std::size_t size = value.size();
            for (std::size_t i = 1; i < it->second.size() && size < kLargestDescription; ++i) {
                std::string line = cleanLine(it->second[i], kLargestValue);
                line = line.empty() ? "." : line;
                size += line.size() + 2;
                value += "\n " + line;
            }
        }
        if (!value.empty())
            control.fields.emplace_back(std::string(name), std::move(value));
    }
    const std::string package = control.field("Package");
    if (package.empty())
        return Failure{"the control file names no package"};
    if (!isPackageName(package))
        return Failure{"the control file's package name \"" + package + "\" is not one dpkg accepts"};
    return control;
}

std::string PackageStatus::statusStanza(const Control& control) {
    std::string out;
    for (const auto& [name, value] : control.fields) {
        out += name + ": " + value + "\n";
        if (name == "Package")
            out += "Status: install ok installed\n";
    }
    return out;
}

std::string PackageStatus::replacedStanza(std::string_view status, const Control& control) {
    const std::string package = control.field("Package");
    std::string out;
    // Stanzas are runs of lines between blank ones; each kept one is followed by one blank line.
    std::string stanza;
    auto finish = [&] {
        if (!stanza.empty() && packageOf(stanza) != package)
            out += stanza + "\n";
        stanza.clear();
    };
    while (!status.empty()) {
        const std::size_t end = status.find('\n');
        std::string_view line = status.substr(0, end);
        status.remove_prefix(end == std::string_view::npos ? status.size() : end + 1);
        if (isBlank(line))
            finish();
        else
            stanza += std::string(line) + "\n";
    }
    finish();
    return out + statusStanza(control);
}

Result<PackageStatus::Recorded> PackageStatus::record(const std::string& deviceRoot, const Control& control,
                                                      const std::vector<std::string>& files, bool rootless) {
    const std::string statusPath =
        PackageDatabase::statusPathFor(existsOnDevice(deviceRoot, PackageDatabase::kRootlessStatusPath),
                                       existsOnDevice(deviceRoot, PackageDatabase::kStatusPath), rootless);
    const std::string folderPath = statusPath.substr(0, statusPath.rfind('/'));
    const std::string package = control.field("Package");
    const int root = ::open(deviceRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return systemFailure(deviceRoot);
    Closer rootCloser{root};
    auto folder = openFolder(root, folderPath);
    if (!folder)
        return folder.failure();
    Closer folderCloser{folder.value()};
    auto info = openFolder(folder.value(), "info");
    if (!info)
        return Failure{folderPath + "/info: " + info.failure().reason, info.failure().code};
    Closer infoCloser{info.value()};
    auto status = readSmallFile(folder.value(), "status", PackageDatabase::kLargestStatusFile, statusPath);
    if (!status)
        return status.failure();

    // The file list first, so that the status never names a package without one.
    std::string list;
    for (const std::string& file : files)
        if (file.find('\n') == std::string::npos)
            list += file + "\n";
    const std::string listPath = folderPath + "/info/" + package + ".list";
    if (Result<> written = writeText(info.value(), package + ".list", list, listPath); !written)
        return written.failure();
    if (Result<> written =
            writeText(folder.value(), "status", replacedStanza(status.value(), control), statusPath);
        !written)
        return written.failure();
    return Recorded{statusPath, listPath};
}
