#include "sim/settings/BundleSource.h"

#include "platform/foundation/HostFileRead.h"
#include "platform/foundation/plist/PropertyList.h"

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
void addLibraryBundles(const fs::path& library, std::vector<BundleSource::Bundle>& out) {
    const fs::path bundles = library / "PreferenceBundles";
    for (const std::string& file : namesIn(bundles))
        if (file.size() > 7 && file.ends_with(".bundle") && isFolder(bundles / file)) {
            const std::string name = file.substr(0, file.size() - 7);
            out.push_back({name, (bundles / file).string(),
                           entryFor(library / "PreferenceLoader" / "Preferences", name)});
        }
}

// The names a Theos Makefile gives its bundles: `BUNDLE_NAME = A B`, or `+=`, `:=`.
std::vector<std::string> bundleNamesInMakefile(const fs::path& makefile) {
    Result<std::string> text = readHostFile(makefile.string(), kMaximumSmallFile);
    if (!text)
        return {};
    std::vector<std::string> names;
    std::istringstream lines(text.value());
    for (std::string line; std::getline(lines, line);) {
        std::string_view rest = line;
        rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
        if (!rest.starts_with("BUNDLE_NAME"))
            continue;
        rest.remove_prefix(11);
        rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
        if (rest.starts_with("+=") || rest.starts_with(":=") || rest.starts_with("?="))
            rest.remove_prefix(2);
        else if (rest.starts_with("="))
            rest.remove_prefix(1);
        else
            continue;
        std::istringstream words{std::string(rest)};
        for (std::string word; words >> word;) {
            if (word.starts_with("#"))
                break;
            names.push_back(word);
        }
    }
    return names;
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

Failure systemFailure(const std::string& what) {
    const int code = errno;
    return Failure{what + ": " + std::strerror(code), code};
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

private:
    PackageReader() : buffer_(64 * 1024) {}

    static la_ssize_t readOuter(archive*, void* self, const void** buffer) {
        auto* reader = static_cast<PackageReader*>(self);
        *buffer = reader->buffer_.data();
        return archive_read_data(reader->outer_.get(), reader->buffer_.data(), reader->buffer_.size());
    }

    ArchivePointer outer_, inner_;
    std::vector<char> buffer_;
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

std::string joined(const std::vector<std::string>& names, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += (i ? "/" : "") + names[i];
    return out;
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
    const std::string path = joined(checked.names, checked.names.size());
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
    for (std::size_t i = 0; i < count; ++i) {
        if (create && ::mkdirat(folder.get(), names[i].c_str(), 0755) != 0 && errno != EEXIST)
            return systemFailure("\"" + joined(names, i + 1) + "\"");
        FileDescriptor next(
            ::openat(folder.get(), names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next)
            return systemFailure("\"" + joined(names, i + 1) + "\" is not a folder of the device");
        folder = std::move(next);
    }
    return folder;
}

// Writes a file through a temporary name in its folder, renamed over the old one: the device's
// old file is replaced, never written through (it might be a link, or a hard link to the host).
Result<> writeFile(int root, const CheckedEntry& entry, archive* data,
                   const BundleSource::PackageLimits& limits, std::uint64_t& total) {
    const std::string path = joined(entry.names, entry.names.size());
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

std::vector<BundleSource::Bundle> BundleSource::projectBundles(const std::string& project) {
    const fs::path root(project);
    std::vector<Bundle> found;
    for (const char* prefix : {"", "var/jb"})
        addLibraryBundles(root / "layout" / prefix / "Library", found);
    std::vector<fs::path> subprojects{root};
    for (const std::string& name : namesIn(root))
        if (!name.starts_with(".") && name != "layout" && isFolder(root / name))
            subprojects.push_back(root / name);
    for (const fs::path& folder : subprojects) {
        if (!isFile(folder / "Makefile") || !isFolder(folder / "Resources"))
            continue;
        for (const std::string& name : bundleNamesInMakefile(folder / "Makefile")) {
            std::string entry =
                isFile(folder / "entry.plist")
                    ? (folder / "entry.plist").string()
                    : entryFor(folder / "layout" / "Library" / "PreferenceLoader" / "Preferences", name);
            found.push_back({name, (folder / "Resources").string(), std::move(entry)});
            break; // a subproject's Resources folder is its first bundle's
        }
    }
    for (const char* prefix : {"", "var/jb"})
        addLibraryBundles(root / ".theos" / "_" / prefix / "Library", found);
    // The first place a name is found wins.
    std::vector<Bundle> unique;
    std::set<std::string> seen;
    for (Bundle& bundle : found)
        if (seen.insert(bundle.name).second)
            unique.push_back(std::move(bundle));
    return unique;
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

Result<std::string> BundleSource::installBundle(const Bundle& bundle, const std::string& deviceRoot) {
    const fs::path root(deviceRoot);
    // Nothing on the way to the bundle's place may be a link: removing the old copy must not reach
    // out of the device.
    fs::path place = root;
    for (const char* name : {"Library", "PreferenceBundles", ""}) {
        std::error_code ec;
        const fs::path next = *name ? place / name : place / (bundle.name + ".bundle");
        if (fs::is_symlink(next, ec))
            return Failure{next.string() + " is a link; the bundle is not installed through it"};
        place = next;
    }
    std::error_code ec;
    fs::remove_all(place, ec);
    if (Result<> copied = copyFolder(bundle.folder, place); !copied)
        return copied.failure();
    const fs::path preferences = root / "Library" / "PreferenceLoader" / "Preferences";
    fs::create_directories(preferences, ec);
    if (ec)
        return Failure{preferences.string() + ": " + ec.message(), ec.value()};
    if (!bundle.entryFile.empty()) {
        fs::copy_file(bundle.entryFile, preferences / fs::path(bundle.entryFile).filename(),
                      fs::copy_options::overwrite_existing, ec);
        if (ec)
            return Failure{bundle.entryFile + ": " + ec.message(), ec.value()};
    } else if (entryFor(preferences, bundle.name).empty()) {
        // Without an entry of its own the bundle still gets a row, under its name.
        const std::string name = xmlEscaped(bundle.name);
        const std::string entry =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
            "\t<key>entry</key>\n\t<dict>\n"
            "\t\t<key>bundle</key><string>" +
            name +
            "</string>\n"
            "\t\t<key>cell</key><string>PSLinkCell</string>\n"
            "\t\t<key>isController</key><true/>\n"
            "\t\t<key>label</key><string>" +
            name + "</string>\n\t</dict>\n</dict>\n</plist>\n";
        FILE* f = std::fopen((preferences / (bundle.name + ".plist")).c_str(), "wb");
        if (!f || std::fwrite(entry.data(), 1, entry.size(), f) != entry.size() || std::fclose(f) != 0)
            return systemFailure((preferences / (bundle.name + ".plist")).string());
    }
    return place.string();
}

Result<BundleSource::InstalledPackage> BundleSource::installPackage(const std::string& package,
                                                                    const std::string& deviceRoot,
                                                                    const PackageLimits& limits) {
    // First the whole package is checked, so that a refused package leaves the device untouched.
    {
        auto reader = PackageReader::open(package);
        if (!reader)
            return reader.failure();
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
    std::uint64_t total = 0;
    archive_entry* entry = nullptr;
    while (archive_read_next_header(data, &entry) == ARCHIVE_OK) {
        auto checked = checkEntry(entry, limits);
        if (!checked) // the package changed since it was checked
            return Failure{"refused: " + checked.failure().reason};
        const CheckedEntry& e = checked.value();
        const std::string devicePath = "/" + joined(e.names, e.names.size());
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
        addLibraryBundles(fs::path(deviceRoot) / prefix / "Library", found);
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
