#include "sim/settings/BundleSource.h"

#include "platform/foundation/HostFileRead.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PropertyList.h"
#include "sim/settings/PackageStatus.h"
#include "sim/settings/SystemFailure.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Entry files and Makefiles are small; a larger one is not what it claims to be.
constexpr std::size_t kMaximumSmallFile = 1 << 20;
// A path in a package longer than this is refused: no tweak needs it, and it keeps names bounded.
constexpr std::size_t kMaximumPathBytes = 1024;

// Folders a tweak's package installs into, below the device root. Their parents may be listed as
// folders in the package too.
constexpr std::array<std::string_view, 5> kInstallFolders{"Library", "Applications", "usr", "var/jb",
                                                          "var/mobile/Library"};

bool isFolder(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// The names in a folder, sorted; none when it cannot be listed.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string bundleNameOf(const fs::path& entryFile) {
    Result<std::string> bytes = readHostFile(entryFile.string(), kMaximumSmallFile);
    if (!bytes)
        return {};
    const std::string& text = bytes.value();
    PlistReadResult read =
        readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!read.ok())
        return {};
    PlistValue bundle = read.value.get("entry").get("bundle");
    return bundle.isString() ? bundle.stringValue() : std::string();
}

// The entry in a preference-loader folder that opens the bundle `name`: the one whose "bundle" is
// the name, or else the one named after it.
std::string entryFor(const fs::path& preferences, const std::string& name) {
    for (const std::string& file : namesIn(preferences))
        if (file.ends_with(".plist") && isFile(preferences / file) &&
            bundleNameOf(preferences / file) == name)
            return (preferences / file).string();
    if (isFile(preferences / (name + ".plist")))
        return (preferences / (name + ".plist")).string();
    return {};
}

// The bundles of a Library folder (a layout's, a staged build's, a device's, with their entries.
void addLibraryBundles(const fs::path& library, std::vector<BundleSource::Bundle>& out, bool rootless) {
    const fs::path bundles = library / "PreferenceBundles";
    for (const std::string& file : namesIn(bundles))
        if (file.size() > 7 && file.ends_with(".bundle") && isFolder(bundles / file)) {
            const std::string name = file.substr(0, file.size() - 7);
            BundleSource::Bundle bundle{name, (bundles / file).string(),
                                        entryFor(library / "PreferenceLoader" / "Preferences", name)};
            bundle.rootless = rootless;
            out.push_back(std::move(bundle));
        }
}

// A makefile's logical lines: continued lines joined (a backslash before the line end becomes a
// space) and comments cut, each with whether it is a recipe line (starts with a tab).
struct MakefileLine {
    std::string text;
    bool recipe = false;
};

std::vector<MakefileLine> makefileLines(std::string_view text) {
    std::vector<MakefileLine> lines;
    MakefileLine current;
    bool continued = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!continued)
            current = {std::string(), line.starts_with('\t')};
        // An odd number of backslashes at the end continues the line.
        std::size_t backslashes = 0;
        while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\')
            ++backslashes;
        continued = backslashes % 2 == 1;
        if (continued)
            line.remove_suffix(1);
        // A comment runs to the line's end (and takes a continuation with it); "\#" is a plain #.
        std::string kept;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '#') {
                kept += '#';
                ++i;
            } else if (line[i] == '#' && !current.recipe) {
                break;
            } else {
                kept += line[i];
            }
        }
        current.text += kept;
        if (continued) {
            current.text += ' ';
        } else {
            lines.push_back(std::move(current));
            current = {};
        }
    }
    if (continued)
        lines.push_back(std::move(current));
    return lines;
}

// The blanks around a Makefile line's words.
constexpr std::string_view kMakefileBlanks = " \t";

// The words of a variable's value.
std::vector<std::string> wordsOf(std::string_view value) {
    std::vector<std::string> words;
    std::istringstream in{std::string(value)};
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// A variable of the assignments, or empty.
std::string variable(const std::vector<std::pair<std::string, std::string>>& variables,
                     std::string_view name) {
    for (const auto& [key, value] : variables)
        if (key == name)
            return value;
    return {};
}

std::vector<std::pair<std::string, std::string>> readMakefile(const fs::path& makefile) {
    Result<std::string> text = readHostFile(makefile.string(), kMaximumSmallFile);
    return text ? BundleSource::makefileVariables(text.value())
                : std::vector<std::pair<std::string, std::string>>{};
}

// The plist an `internal-stage::` rule copies into PreferenceLoader/Preferences, relative to the
// subproject: the first word of such a recipe line that names a plist of the subproject.
std::string stagedEntry(const fs::path& subproject) {
    Result<std::string> text = readHostFile((subproject / "Makefile").string(), kMaximumSmallFile);
    if (!text)
        return {};
    bool inStage = false;
    for (const MakefileLine& line : makefileLines(text.value())) {
        if (!line.recipe) {
            inStage = trimmedView(line.text, kMakefileBlanks).starts_with("internal-stage::");
            continue;
        }
        if (!inStage || line.text.find("PreferenceLoader") == std::string::npos)
            continue;
        for (const std::string& word : wordsOf(line.text)) {
            if (!word.ends_with(".plist") || word.find('$') != std::string::npos || word.starts_with('/'))
                continue;
            const fs::path candidate = (subproject / word).lexically_normal();
            const std::string relative = candidate.lexically_relative(subproject).string();
            if (!relative.starts_with("..") && isFile(candidate))
                return candidate.string();
        }
    }
    return {};
}

bool isRootlessScheme(const std::vector<std::pair<std::string, std::string>>& variables) {
    return trimmedView(variable(variables, "THEOS_PACKAGE_SCHEME"), kMakefileBlanks) == "rootless";
}

// A subproject named by SUBPROJECTS, when it is a folder inside the project.
bool isSubprojectName(const std::string& name) {
    if (name.empty() || name.starts_with('/') || name.find('$') != std::string::npos)
        return false;
    for (const fs::path& part : fs::path(name))
        if (part == "..")
            return false;
    return true;
}

// --- packages ---

struct ArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePointer = std::unique_ptr<archive, ArchiveFree>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(FileDescriptor&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// libarchive's reason for its last failure (it may have none).
std::string errorText(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "unknown error";
}

// The data member of a .deb, read as a tar archive straight out of the ar archive around it.
class PackageReader {
public:
    static Result<std::unique_ptr<PackageReader>> open(const std::string& package) {
        std::unique_ptr<PackageReader> reader(new PackageReader);
        reader->outer_.reset(archive_read_new());
        archive* outer = reader->outer_.get();
        if (!outer || archive_read_support_format_ar(outer) != ARCHIVE_OK)
            return Failure{"the archive reader cannot be set up"};
        if (archive_read_open_filename(outer, package.c_str(), 64 * 1024) != ARCHIVE_OK)
            return Failure{std::string("not a package: ") + errorText(outer)};
        bool first = true;
        archive_entry* member = nullptr;
        while (true) {
            const int status = archive_read_next_header(outer, &member);
            if (status == ARCHIVE_EOF)
                return Failure{"not a package: it has no data.tar member"};
            if (status != ARCHIVE_OK)
                return Failure{std::string("not a package: ") + errorText(outer)};
            const char* name = archive_entry_pathname(member);
            const std::string_view memberName = name ? name : "";
            if (first && memberName != "debian-binary")
                return Failure{"not a package: its first member is not debian-binary"};
            first = false;
            if (memberName.starts_with("control.tar")) {
                auto control = controlOf(outer);
                if (!control)
                    return control.failure();
                reader->control_ = std::move(control).value();
            }
            if (memberName.starts_with("data.tar"))
                break;
        }
        reader->inner_.reset(archive_read_new());
        archive* inner = reader->inner_.get();
        // Only the compressions packages use, each read by the library itself: none of them may
        // fall back to running a program of the host.
        for (auto support : {archive_read_support_filter_gzip, archive_read_support_filter_xz,
                             archive_read_support_filter_zstd, archive_read_support_filter_lzma})
            if (support(inner) != ARCHIVE_OK)
                return Failure{"the archive reader cannot read every compression packages use"};
        archive_read_support_format_tar(inner);
        if (archive_read_open(inner, reader.get(), nullptr, &PackageReader::readOuter, nullptr) != ARCHIVE_OK)
            return Failure{std::string("the package's data cannot be read: ") + errorText(inner)};
        return reader;
    }

    archive* data() const { return inner_.get(); }
    // The text of the control file in the package's control.tar; empty when it has none.
    const std::string& control() const { return control_; }

private:
    // The control file of the control.tar member the outer archive stands at. The member is read
    // whole (it is small: scripts and a few short files) and bounded.
    static Result<std::string> controlOf(archive* outer) {
        constexpr std::size_t kLargestMember = 4u << 20;
        std::string member;
        std::array<char, 64 * 1024> buffer{};
        for (la_ssize_t n; (n = archive_read_data(outer, buffer.data(), buffer.size())) != 0;) {
            if (n < 0)
                return Failure{std::string("not a package: ") + errorText(outer)};
            member.append(buffer.data(), static_cast<std::size_t>(n));
            if (member.size() > kLargestMember)
                return Failure{"refused: the package's control.tar is larger than " +
                               std::to_string(kLargestMember) + " bytes"};
        }
        ArchivePointer tar(archive_read_new());
        for (auto support : {archive_read_support_filter_gzip, archive_read_support_filter_xz,
                             archive_read_support_filter_zstd, archive_read_support_filter_lzma})
            if (support(tar.get()) != ARCHIVE_OK)
                return Failure{"the archive reader cannot read every compression packages use"};
        archive_read_support_format_tar(tar.get());
        if (archive_read_open_memory(tar.get(), member.data(), member.size()) != ARCHIVE_OK)
            return Failure{std::string("the package's control.tar cannot be read: ") + errorText(tar.get())};
        archive_entry* entry = nullptr;
        while (archive_read_next_header(tar.get(), &entry) == ARCHIVE_OK) {
            const char* name = archive_entry_pathname(entry);
            const std::string_view path = name ? name : "";
            if ((path != "control" && path != "./control") || archive_entry_filetype(entry) != AE_IFREG)
                continue;
            if (archive_entry_size(entry) > static_cast<la_int64_t>(BundleSource::kLargestControl))
                return Failure{"refused: the package's control file is larger than " +
                               std::to_string(BundleSource::kLargestControl) + " bytes"};
            std::string text;
            for (la_ssize_t n; (n = archive_read_data(tar.get(), buffer.data(), buffer.size())) != 0;) {
                if (n < 0)
                    return Failure{std::string("the package's control file cannot be read: ") +
                                   errorText(tar.get())};
                text.append(buffer.data(), static_cast<std::size_t>(n));
                if (text.size() > BundleSource::kLargestControl)
                    return Failure{"refused: the package's control file is larger than " +
                                   std::to_string(BundleSource::kLargestControl) + " bytes"};
            }
            return text;
        }
        return std::string();
    }

    PackageReader() : buffer_(64 * 1024) {}

    static la_ssize_t readOuter(archive*, void* self, const void** buffer) {
        auto* reader = static_cast<PackageReader*>(self);
        *buffer = reader->buffer_.data();
        return archive_read_data(reader->outer_.get(), reader->buffer_.data(), reader->buffer_.size());
    }

    ArchivePointer outer_, inner_;
    std::vector<char> buffer_;
    std::string control_;
};

// A path of the package split into its names, without "." and empty ones.
std::vector<std::string> namesOfPath(std::string_view path) {
    std::vector<std::string> names;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (!name.empty() && name != ".")
            names.emplace_back(name);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return names;
}

// Whether a path lies in a folder tweaks install to; `orParent` also allows the folders above one.
bool isInstallPlace(const std::string& path, bool orParent) {
    for (std::string_view folder : kInstallFolders) {
        if (path == folder || (path.starts_with(folder) && path[folder.size()] == '/'))
            return true;
        if (orParent && folder.starts_with(path) && folder[path.size()] == '/')
            return true;
    }
    return false;
}

struct CheckedEntry {
    enum class Kind { Folder, File, Link, Root } kind = Kind::Root;
    std::vector<std::string> names;
    mode_t permissions = 0;
};

// What an entry of the package is, or why the package is refused for it.
Result<CheckedEntry> checkEntry(archive_entry* entry, const BundleSource::PackageLimits& limits) {
    const char* rawName = archive_entry_pathname(entry);
    if (!rawName)
        return Failure{"an entry without a name"};
    const std::string_view raw = rawName;
    const std::string shown = "\"" + std::string(raw.substr(0, 200)) + "\"";
    if (raw.size() > kMaximumPathBytes)
        return Failure{shown + ": its path is longer than " + std::to_string(kMaximumPathBytes) + " bytes"};
    if (raw.starts_with('/'))
        return Failure{shown + ": an absolute path"};
    // The package's file list is one path a line: a name with a line break would forge entries.
    if (std::any_of(raw.begin(), raw.end(), [](char c) { return c == '\n' || c == '\r'; }))
        return Failure{shown + ": a name with a line break"};
    CheckedEntry checked;
    checked.names = namesOfPath(raw);
    if (std::find(checked.names.begin(), checked.names.end(), "..") != checked.names.end())
        return Failure{shown + ": a path with \"..\", which leads out of the device"};
    if (archive_entry_hardlink(entry))
        return Failure{shown + ": a hard link"};
    const mode_t mode = archive_entry_mode(entry);
    if (mode & (S_ISUID | S_ISGID))
        return Failure{shown + ": a setuid or setgid file"};
    checked.permissions = mode & 0777;
    const std::string path = joined(checked.names, "/");
    switch (archive_entry_filetype(entry)) {
    case AE_IFDIR:
        checked.kind = checked.names.empty() ? CheckedEntry::Kind::Root : CheckedEntry::Kind::Folder;
        if (!checked.names.empty() && !isInstallPlace(path, true))
            return Failure{shown + ": outside the folders a tweak installs to"};
        return checked;
    case AE_IFREG: {
        checked.kind = CheckedEntry::Kind::File;
        if (checked.names.empty() || !isInstallPlace(path, false) ||
            std::find(kInstallFolders.begin(), kInstallFolders.end(), path) != kInstallFolders.end())
            return Failure{shown + ": outside the folders a tweak installs to"};
        if (archive_entry_sparse_count(entry) > 0)
            return Failure{shown + ": a sparse file"};
        if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0 ||
            static_cast<std::uint64_t>(archive_entry_size(entry)) > limits.maxFileBytes)
            return Failure{shown + ": larger than " + std::to_string(limits.maxFileBytes) + " bytes"};
        return checked;
    }
    case AE_IFLNK: {
        checked.kind = CheckedEntry::Kind::Link;
        const char* target = archive_entry_symlink(entry);
        const std::string_view to = target ? target : "";
        // Followed by name from the link's folder: it must stay below the device root all the way.
        std::vector<std::string> at(checked.names.begin(),
                                    checked.names.end() - (checked.names.empty() ? 0 : 1));
        if (to.starts_with('/'))
            at.clear();
        for (const std::string& name : namesOfPath(to)) {
            if (name != "..") {
                at.push_back(name);
            } else if (at.empty()) {
                return Failure{shown + ": a link that leads out of the device (to \"" + std::string(to) +
                               "\")"};
            } else {
                at.pop_back();
            }
        }
        return checked;
    }
    case AE_IFCHR:
    case AE_IFBLK:
        return Failure{shown + ": a device node"};
    case AE_IFIFO:
        return Failure{shown + ": a FIFO"};
    case AE_IFSOCK:
        return Failure{shown + ": a socket"};
    default:
        return Failure{shown + ": an entry that is neither a file nor a folder"};
    }
}

// Opens (and with `create`, makes) each folder of `names[0, count)` below `root`, never following
// a link: a link already on the device cannot lead a file out of it.
Result<FileDescriptor> openFolder(int root, const std::vector<std::string>& names, std::size_t count,
                                  bool create) {
    FileDescriptor folder(::dup(root));
    if (!folder)
        return systemFailure("the device folder");
    std::string shown; // the folders so far, as a message names them
    for (std::size_t i = 0; i < count; ++i) {
        shown += (i ? "/" : "") + names[i];
        if (create && ::mkdirat(folder.get(), names[i].c_str(), 0755) != 0 && errno != EEXIST)
            return systemFailure(doubleQuoted(shown));
        FileDescriptor next(
            ::openat(folder.get(), names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next)
            return systemFailure(doubleQuoted(shown) + " is not a folder of the device");
        folder = std::move(next);
    }
    return folder;
}

// Writes a file through a temporary name in its folder, renamed over the old one: the device's
// old file is replaced, never written through (it might be a link, or a hard link to the host).
Result<> writeFile(int root, const CheckedEntry& entry, archive* data,
                   const BundleSource::PackageLimits& limits, std::uint64_t& total) {
    const std::string path = joined(entry.names, "/");
    auto folder = openFolder(root, entry.names, entry.names.size() - 1, true);
    if (!folder)
        return folder.failure();
    const int at = folder.value().get();
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = ".oc-install-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        file = FileDescriptor(::openat(at, temporary.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                       (entry.permissions & 0755) | 0600));
        if (!file && errno != EEXIST)
            break;
    }
    if (!file)
        return systemFailure("\"" + path + "\"");
    std::array<char, 64 * 1024> buffer{};
    std::uint64_t written = 0;
    Result<> result;
    while (true) {
        const la_ssize_t n = archive_read_data(data, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            result = Failure{"\"" + path + "\": " + errorText(data)};
            break;
        }
        written += static_cast<std::uint64_t>(n);
        total += static_cast<std::uint64_t>(n);
        if (written > limits.maxFileBytes || total > limits.maxTotalBytes) {
            result = Failure{"\"" + path + "\": the package is larger than its limits"};
            break;
        }
        for (la_ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(file.get(), buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                result = systemFailure("\"" + path + "\"");
                break;
            }
            done += w;
        }
        if (!result)
            break;
    }
    if (result && ::renameat(at, temporary.c_str(), at, entry.names.back().c_str()) != 0)
        result = systemFailure("\"" + path + "\"");
    if (!result)
        ::unlinkat(at, temporary.c_str(), 0);
    return result;
}

// Copies a folder of the host into the device, regular files and folders only.
Result<> copyFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec)
        return Failure{to.string() + ": " + ec.message(), ec.value()};
    for (auto it = fs::recursive_directory_iterator(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path target = to / it->path().lexically_relative(from);
        if (it->is_symlink(ec))
            continue;
        if (it->is_directory(ec))
            fs::create_directories(target, ec);
        else if (it->is_regular_file(ec))
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec);
        if (ec)
            return Failure{target.string() + ": " + ec.message(), ec.value()};
    }
    if (ec)
        return Failure{from.string() + ": " + ec.message(), ec.value()};
    return {};
}

std::string xmlEscaped(std::string_view s) {
    std::string out;
    for (char c : s)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

} // namespace

bool BundleSource::isProject(const std::string& folder) {
    const fs::path p(folder);
    if (folder.ends_with(".bundle") || folder.ends_with(".bundle/") || !isFolder(p))
        return false;
    return isFile(p / "Makefile") || isFolder(p / "layout") || isFolder(p / ".theos" / "_");
}

bool BundleSource::isPackage(const std::string& path) {
    return path.ends_with(".deb") && isFile(path);
}

std::vector<std::pair<std::string, std::string>> BundleSource::makefileVariables(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> variables;
    auto at = [&](const std::string& name) -> std::string* {
        for (auto& [key, value] : variables)
            if (key == name)
                return &value;
        return nullptr;
    };
    for (const MakefileLine& line : makefileLines(text)) {
        if (line.recipe)
            continue;
        std::string_view rest = trimmedView(line.text, kMakefileBlanks);
        for (std::string_view keyword : {"export ", "override "})
            if (rest.starts_with(keyword))
                rest = trimmedView(rest.substr(keyword.size()), kMakefileBlanks);
        // The name runs to the first space or operator; a rule (a ':' not followed by '=') is
        // not an assignment.
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;
        std::string_view op = "=";
        std::string_view name = rest.substr(0, equals);
        if (name.ends_with('+') || name.ends_with(':') || name.ends_with('?')) {
            op = rest.substr(equals - 1, 2);
            name.remove_suffix(1);
        }
        name = trimmedView(name, kMakefileBlanks);
        if (name.empty() || name.find_first_of(" \t:$()") != std::string_view::npos)
            continue;
        const std::string value(trimmedView(rest.substr(equals + 1), kMakefileBlanks));
        std::string* existing = at(std::string(name));
        if (op == "?=" && existing)
            continue;
        if (op == "+=" && existing) {
            *existing += (existing->empty() || value.empty() ? "" : " ") + value;
            continue;
        }
        if (existing)
            *existing = value;
        else
            variables.emplace_back(std::string(name), value);
    }
    return variables;
}

BundleSource::Project BundleSource::readProject(const std::string& folder, bool rootless) {
    const fs::path root(folder);
    Project project{folder, rootless};
    const auto top = readMakefile(root / "Makefile");
    project.rootless = rootless || isRootlessScheme(top);
    for (const fs::path& control : {root / "control", root / "layout" / "DEBIAN" / "control"})
        if (project.controlFile.empty() && isFile(control))
            project.controlFile = control.string();

    std::vector<Bundle> found;
    for (const char* prefix : {"", "var/jb"})
        addLibraryBundles(root / "layout" / prefix / "Library", found, *prefix != 0);
    // The subprojects the top Makefile names, or every folder of the project when it names none.
    std::vector<fs::path> subprojects{root};
    const std::vector<std::string> named = wordsOf(variable(top, "SUBPROJECTS"));
    for (const std::string& name : named)
        if (isSubprojectName(name) && isFolder(root / name))
            subprojects.push_back((root / name).lexically_normal());
    if (named.empty())
        for (const std::string& name : namesIn(root))
            if (!name.starts_with(".") && name != "layout" && isFolder(root / name))
                subprojects.push_back(root / name);
    for (const fs::path& sub : subprojects) {
        if (!isFile(sub / "Makefile"))
            continue;
        const auto variables = sub == root ? top : readMakefile(sub / "Makefile");
        const bool subRootless = project.rootless || isRootlessScheme(variables);
        const std::vector<std::string> names = wordsOf(variable(variables, "BUNDLE_NAME"));
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            Bundle bundle{name, "", ""};
            // A subproject's Resources folder is its first bundle's, unless the bundle names its own.
            std::vector<std::string> dirs = wordsOf(variable(variables, name + "_RESOURCE_DIRS"));
            if (dirs.empty() && i == 0)
                dirs.push_back("Resources");
            for (const std::string& dir : dirs)
                if (isSubprojectName(dir) && isFolder(sub / dir))
                    bundle.resourceFolders.push_back((sub / dir).lexically_normal().string());
            if (bundle.resourceFolders.empty())
                continue;
            bundle.folder = bundle.resourceFolders.front();
            if (bundle.resourceFolders.size() == 1)
                bundle.resourceFolders.clear();
            bundle.installPath = variable(variables, name + "_INSTALL_PATH");
            bundle.rootless = subRootless;
            const fs::path loader = fs::path("Library") / "PreferenceLoader" / "Preferences";
            bundle.entryFile =
                isFile(sub / "entry.plist") ? (sub / "entry.plist").string() : stagedEntry(sub);
            for (const fs::path& layout : {sub / "layout", root / "layout"})
                for (const char* prefix : {"", "var/jb"})
                    if (bundle.entryFile.empty())
                        bundle.entryFile = entryFor(layout / prefix / loader, name);
            found.push_back(std::move(bundle));
        }
    }
    for (const char* prefix : {"", "var/jb"})
        addLibraryBundles(root / ".theos" / "_" / prefix / "Library", found, *prefix != 0);
    // The first place a name is found wins. Bundles of the layout and the staged build are where
    // the package puts them, so they follow the project's scheme.
    std::set<std::string> seen;
    for (Bundle& bundle : found) {
        if (!seen.insert(bundle.name).second)
            continue;
        bundle.rootless = bundle.rootless || project.rootless;
        project.bundles.push_back(std::move(bundle));
    }
    return project;
}

std::vector<BundleSource::Bundle> BundleSource::projectBundles(const std::string& project) {
    return readProject(project).bundles;
}

Result<std::string> BundleSource::installFolder(const Bundle& bundle) {
    std::string path = bundle.installPath;
    // Theos puts the rootless prefix in front of install paths itself; a makefile that writes it
    // out means the same folder.
    for (std::string_view prefix : {"$(THEOS_PACKAGE_INSTALL_PREFIX)", "${THEOS_PACKAGE_INSTALL_PREFIX}"})
        if (path.starts_with(prefix))
            path.erase(0, prefix.size());
    if (bundle.installPath.empty())
        path = "/Library/PreferenceBundles";
    const std::string variableName = bundle.name + "_INSTALL_PATH";
    if (!path.starts_with('/'))
        return Failure{variableName + " \"" + bundle.installPath + "\" is not an absolute device path"};
    for (const fs::path& part : fs::path(path))
        if (part == "..")
            return Failure{variableName + " \"" + bundle.installPath + "\" leads out of the device"};
    std::string normal = fs::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.ends_with('/'))
        normal.pop_back();
    if (bundle.rootless && !normal.starts_with("/var/jb/") && normal != "/var/jb")
        normal = "/var/jb" + (normal == "/" ? std::string() : normal);
    return normal;
}

Result<BundleSource::Bundle> BundleSource::pick(const std::vector<Bundle>& bundles, const std::string& name,
                                                const std::string& from) {
    std::string wanted = name.ends_with(".bundle") ? name.substr(0, name.size() - 7) : name;
    std::string list;
    for (const Bundle& bundle : bundles) {
        if (!wanted.empty() && bundle.name == wanted)
            return bundle;
        list += (list.empty() ? "" : ", ") + bundle.name + " (" + bundle.folder + ")";
    }
    if (bundles.empty())
        return Failure{from + " has no preference bundle"};
    if (!wanted.empty())
        return Failure{from + " has no bundle named " + wanted + "; it has " + list};
    if (bundles.size() == 1)
        return bundles[0];
    return Failure{from + " has several preference bundles; pick one with --bundle-name: " + list};
}

namespace {

// The host path of a device folder, refusing a link anywhere on the way: what is removed or
// written there must stay inside the device.
Result<fs::path> placeWithoutLinks(const fs::path& root, const std::string& deviceFolder) {
    fs::path place = root;
    for (const fs::path& name : fs::path(deviceFolder).relative_path()) {
        place /= name;
        std::error_code ec;
        if (fs::is_symlink(place, ec))
            return Failure{place.string() + " is a link; nothing is installed through it"};
    }
    return place;
}

std::string defaultEntry(const std::string& bundleName) {
    const std::string name = xmlEscaped(bundleName);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>entry</key>\n\t<dict>\n"
           "\t\t<key>bundle</key><string>" +
           name +
           "</string>\n"
           "\t\t<key>cell</key><string>PSLinkCell</string>\n"
           "\t\t<key>isController</key><true/>\n"
           "\t\t<key>label</key><string>" +
           name + "</string>\n\t</dict>\n</dict>\n</plist>\n";
}

std::string entryFolderOf(const BundleSource::Bundle& bundle) {
    return std::string(bundle.rootless ? "/var/jb" : "") + "/Library/PreferenceLoader/Preferences";
}

} // namespace

Result<std::string> BundleSource::installBundle(const Bundle& bundle, const std::string& deviceRoot) {
    const fs::path root(deviceRoot);
    auto folder = installFolder(bundle);
    if (!folder)
        return folder.failure();
    auto place = placeWithoutLinks(root, folder.value() + "/" + bundle.name + ".bundle");
    if (!place)
        return place.failure();
    std::error_code ec;
    fs::remove_all(place.value(), ec);
    const std::vector<std::string> sources =
        bundle.resourceFolders.empty() ? std::vector<std::string>{bundle.folder} : bundle.resourceFolders;
    for (const std::string& source : sources)
        if (Result<> copied = copyFolder(source, place.value()); !copied)
            return copied.failure();
    auto preferences = placeWithoutLinks(root, entryFolderOf(bundle));
    if (!preferences)
        return preferences.failure();
    fs::create_directories(preferences.value(), ec);
    if (ec)
        return Failure{preferences.value().string() + ": " + ec.message(), ec.value()};
    if (!bundle.entryFile.empty()) {
        const fs::path target = preferences.value() / fs::path(bundle.entryFile).filename();
        if (fs::is_symlink(target, ec))
            fs::remove(target, ec);
        fs::copy_file(bundle.entryFile, target, fs::copy_options::overwrite_existing, ec);
        if (ec)
            return Failure{bundle.entryFile + ": " + ec.message(), ec.value()};
    } else if (entryFor(preferences.value(), bundle.name).empty()) {
        // Without an entry of its own the bundle still gets a row, under its name.
        const std::string entry = defaultEntry(bundle.name);
        const fs::path target = preferences.value() / (bundle.name + ".plist");
        FILE* f = std::fopen(target.c_str(), "wb");
        const bool written = f && std::fwrite(entry.data(), 1, entry.size(), f) == entry.size();
        if ((f && std::fclose(f) != 0) || !written)
            return systemFailure(target.string());
    }
    return place.value().string();
}

std::vector<std::string> BundleSource::installedFiles(const Bundle& bundle, const std::string& deviceRoot) {
    std::vector<std::string> files;
    auto folder = installFolder(bundle);
    if (!folder)
        return files;
    const std::string bundleFolder = folder.value() + "/" + bundle.name + ".bundle";
    std::error_code ec;
    std::vector<std::string> inBundle;
    for (auto it = fs::recursive_directory_iterator(deviceRoot + bundleFolder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            inBundle.push_back(bundleFolder + "/" +
                               it->path().lexically_relative(deviceRoot + bundleFolder).generic_string());
    std::sort(inBundle.begin(), inBundle.end());
    files = std::move(inBundle);
    const std::string entries = entryFolderOf(bundle);
    const std::string entry = bundle.entryFile.empty() ? entryFor(deviceRoot + entries, bundle.name)
                                                       : deviceRoot + entries + "/" +
                                                             fs::path(bundle.entryFile).filename().string();
    if (!entry.empty() && isFile(entry))
        files.push_back(entries + "/" + fs::path(entry).filename().string());
    return files;
}

Result<BundleSource::InstalledPackage> BundleSource::installPackage(const std::string& package,
                                                                    const std::string& deviceRoot,
                                                                    const PackageLimits& limits) {
    // First the whole package is checked, so that a refused package leaves the device untouched.
    {
        auto reader = PackageReader::open(package);
        if (!reader)
            return reader.failure();
        if (reader.value()->control().empty())
            return Failure{"refused: the package has no control file"};
        if (auto control = PackageStatus::parseControl(reader.value()->control()); !control)
            return Failure{"refused: " + control.failure().reason};
        archive* data = reader.value()->data();
        std::uint64_t total = 0;
        std::size_t count = 0;
        archive_entry* entry = nullptr;
        while (true) {
            const int status = archive_read_next_header(data, &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status != ARCHIVE_OK)
                return Failure{std::string("the package's data cannot be read: ") + errorText(data)};
            if (++count > limits.maxEntries)
                return Failure{"the package has more than " + std::to_string(limits.maxEntries) + " entries"};
            auto checked = checkEntry(entry, limits);
            if (!checked)
                return Failure{"refused: " + checked.failure().reason};
            if (checked.value().kind == CheckedEntry::Kind::File) {
                total += static_cast<std::uint64_t>(archive_entry_size(entry));
                if (total > limits.maxTotalBytes)
                    return Failure{"refused: the package's files are larger than " +
                                   std::to_string(limits.maxTotalBytes) + " bytes"};
            }
        }
    }
    FileDescriptor root(::open(deviceRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root)
        return systemFailure(deviceRoot);
    auto reader = PackageReader::open(package);
    if (!reader)
        return reader.failure();
    archive* data = reader.value()->data();
    InstalledPackage installed;
    installed.control = reader.value()->control();
    std::uint64_t total = 0;
    archive_entry* entry = nullptr;
    while (archive_read_next_header(data, &entry) == ARCHIVE_OK) {
        auto checked = checkEntry(entry, limits);
        if (!checked) // the package changed since it was checked
            return Failure{"refused: " + checked.failure().reason};
        const CheckedEntry& e = checked.value();
        const std::string devicePath = "/" + joined(e.names, "/");
        switch (e.kind) {
        case CheckedEntry::Kind::Root:
            break;
        case CheckedEntry::Kind::Folder:
            if (auto folder = openFolder(root.get(), e.names, e.names.size(), true); !folder)
                return Failure{"cannot install: " + folder.failure().reason, folder.failure().code};
            break;
        case CheckedEntry::Kind::Link:
            installed.skipped.push_back(devicePath);
            break;
        case CheckedEntry::Kind::File:
            if (Result<> written = writeFile(root.get(), e, data, limits, total); !written)
                return Failure{"cannot install: " + written.failure().reason, written.failure().code};
            installed.files.push_back(devicePath);
            break;
        }
    }
    return installed;
}

std::vector<BundleSource::Bundle> BundleSource::deviceBundles(const std::string& deviceRoot) {
    std::vector<Bundle> found;
    for (const char* prefix : {"", "var/jb"})
        addLibraryBundles(fs::path(deviceRoot) / prefix / "Library", found, *prefix != 0);
    return found;
}

Result<std::unique_ptr<BundleSource::TemporaryFolder>> BundleSource::TemporaryFolder::create() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "orbitchat-sim-XXXXXX").string();
    if (ec || !::mkdtemp(pattern.data()))
        return Failure{"cannot make a temporary folder"};
    return std::unique_ptr<TemporaryFolder>(new TemporaryFolder(pattern));
}

BundleSource::TemporaryFolder::~TemporaryFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}
