#pragma once

// An open folder of the simulated device: the folder is found once, by the file manager's safe
// walk, and the names in it are then listed, read and looked at relative to the open folder
// rather than by walking the whole device path again for each one. A reader of many files in
// one folder (the installed apps, the tweak folder, a bundle) pays for the walk once.
//
// A name is one entry of the folder: a name that is empty, ".", ".." or holds a '/' is refused
// (EINVAL), so nothing read by name leaves the folder. An entry that is a symbolic link is
// followed exactly as the file manager follows it for the device path "<folder>/<name>", with
// the same refusals; everything else is opened without following any link. The handle keeps the
// folder it opened: a folder renamed, or replaced by a link, after the handle was made is still
// the one read.
//
//     std::shared_ptr<NSError> error;
//     if (auto apps = NSFileManager::defaultManager()->openDirectoryAtPath("/Applications", &error))
//         for (const auto& name : apps->contents().value_or({}))
//             if (auto app = apps->folder(name))
//                 PlistReadResult info = app->propertyListOf("Info.plist");
//
// Errors name the device path "<folder>/<name>", as the file manager's do. A handle may be used
// from any thread; it holds its manager and one file descriptor until it goes.

#include "platform/foundation/NSError.h"
#include "platform/foundation/UniqueFd.h"
#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class NSFileManager;

class DeviceFolder {
public:
    DeviceFolder(DeviceFolder&&) noexcept = default;
    DeviceFolder& operator=(DeviceFolder&&) noexcept = default;
    DeviceFolder(const DeviceFolder&) = delete;
    DeviceFolder& operator=(const DeviceFolder&) = delete;
    ~DeviceFolder();

    // The folder's device path, as it was opened ("/Applications").
    const std::string& path() const { return path_; }
    // The device path of an entry: "<path>/<name>".
    std::string pathOf(std::string_view name) const;

    // One entry of a listing, with what the folder itself says of its kind: a folder, a regular
    // file, something else (a FIFO, a device, a socket), or unknown when the entry is a link or
    // the file system does not tell (then ask fileExists).
    struct Entry {
        enum class Kind { folder, file, other, unknown };
        std::string name;
        Kind kind = Kind::unknown;
        // Whether the entry may be a folder, or a link to one.
        bool mayBeFolder() const { return kind == Kind::folder || kind == Kind::unknown; }
    };
    // A folder opened and listed at once, which spares opening it a second time only to list it.
    struct Listed;
    // The entries without "." and "..", sorted by their names' bytes, as the file manager lists
    // them. None and an error when the folder can no longer be listed.
    std::optional<std::vector<Entry>> entries(std::shared_ptr<NSError>* error = nullptr) const;
    // The names of entries().
    std::optional<std::vector<std::string>> contents(std::shared_ptr<NSError>* error = nullptr) const;

    // Whether the entry exists, following a link (a dangling link does not exist).
    bool fileExists(std::string_view name, bool* isDirectory = nullptr) const;

    // The bytes of the regular file `name`, at most `maxBytes` of them; fails as the file
    // manager's contentsAtPath does.
    std::optional<std::vector<std::uint8_t>> contentsOf(std::string_view name,
                                                        std::shared_ptr<NSError>* error,
                                                        std::size_t maxBytes = PlistLimits{}.maxBytes) const;
    // The same for an entry of this folder's own listing: the kind it was listed with spares a
    // look at the file before it is read. The answer is the one the name alone would give, also
    // when the entry was replaced since it was listed (by a link, a folder, an idle FIFO), with
    // one exception: what replaced a listed file after the listing and gives bytes to a read
    // that does not wait (a FIFO with a writer attached, a device) may answer those bytes, never
    // blocking and never past the cap, where the name alone would answer ENODEV.
    std::optional<std::vector<std::uint8_t>> contentsOf(const Entry& entry, std::shared_ptr<NSError>* error,
                                                        std::size_t maxBytes = PlistLimits{}.maxBytes) const;
    // The file `name` read as a property list; as the file manager's propertyListAtPath.
    PlistReadResult propertyListOf(std::string_view name, const PlistLimits& limits = {}) const;
    // The same for an entry of this folder's own listing, read as contentsOf(entry) reads it.
    PlistReadResult propertyListOf(const Entry& entry, const PlistLimits& limits = {}) const;

    // The file at a path of entry names below the folder ("App.app/Info.plist") read as a property
    // list, without opening the folders on the way; a part that is empty, "." or ".." is refused
    // (EINVAL), and a link on the way is followed as the file manager follows it.
    PlistReadResult propertyListBelow(std::string_view relativePath, const PlistLimits& limits = {}) const;
    // The bytes of the file at such a path, at most `maxBytes` of them, read as propertyListBelow
    // reads it.
    std::optional<std::vector<std::uint8_t>>
    contentsBelow(std::string_view relativePath, std::shared_ptr<NSError>* error,
                  std::size_t maxBytes = PlistLimits{}.maxBytes) const;

    // The answer for one file of a batched read: its bytes, or none and the error that
    // contentsBelow would give.
    struct FileRead {
        std::optional<std::vector<std::uint8_t>> bytes;
        std::shared_ptr<NSError> error;
    };
    // Many files at paths below the folder read at once, each answered exactly as contentsBelow
    // answers it, in the order asked. Where the kernel offers io_uring, a batch of files is
    // opened in one submit, each opened file looked at as every read looks at it (fstat), and
    // the files read and closed in a second submit. A file the ring cannot answer with certainty
    // (a link on the way, anything but a regular file under the cap, a file larger than the first
    // read, any failure) is read again one at a time, which decides it. Without io_uring (an old
    // kernel, a sandbox that forbids it) every file is read one at a time, with the same answers.
    std::vector<FileRead> contentsBelow(std::span<const std::string> relativePaths,
                                        std::size_t maxBytes = PlistLimits{}.maxBytes) const;
    // The same files read as property lists, as propertyListBelow reads each.
    std::vector<PlistReadResult> propertyListsBelow(std::span<const std::string> relativePaths,
                                                    const PlistLimits& limits = {}) const;
    // The same, told for each file whether the folder holding it listed it as a regular file
    // (`listedRegular`, one for each path): such a file is read by the ring before it is looked
    // at, as contentsOf(entry) reads an entry listed as a regular file, and answers as that
    // would, with the same one exception.
    std::vector<PlistReadResult> propertyListsBelow(std::span<const std::string> relativePaths,
                                                    const std::vector<bool>& listedRegular,
                                                    const PlistLimits& limits = {}) const;
    // The first `count` bytes of the file at such a path (all of a shorter one), read as the file
    // manager's headOfFileAtPath reads "<folder>/<relativePath>": refused for the same reasons, a
    // file over `maxBytes` included.
    std::optional<std::vector<std::uint8_t>> headBelow(std::string_view relativePath, std::size_t count,
                                                       std::shared_ptr<NSError>* error,
                                                       std::size_t maxBytes = PlistLimits{}.maxBytes) const;
    // The heads of many files at such paths read at once, each answered exactly as headBelow
    // answers it, in the order asked; read as contentsBelow reads a batch, a head the ring read
    // whole (a regular file under the cap, all of it or its first `count` bytes) taken from it.
    std::vector<FileRead> headsBelow(std::span<const std::string> relativePaths, std::size_t count,
                                     std::size_t maxBytes = PlistLimits{}.maxBytes) const;
    // Whether batched reads of the current device environment may use io_uring (they may by
    // default); tests turn it off to compare the answers of the reads one at a time.
    static void setBatchedReadsUseRing(bool allowed);

    // The look every read of an open file takes before it trusts the file (the file manager's
    // reads of a file's head take it too): answers 0 and the file's size for a regular file of
    // at most `maxBytes`, EISDIR for a folder, ENODEV for anything else that is not a regular
    // file, EFBIG past the cap, or fstat's errno.
    static int checkOpenFile(int fd, std::size_t maxBytes, std::uint64_t& size);

    // Whether `name` is one plain entry of a folder, as every read by name asks: not empty, not
    // "." or "..", without a '/' or a NUL. What passes stays in its folder.
    static bool isEntryName(std::string_view name);
    // Whether every part of a path of entry names ("App.app/Info.plist") is one plain entry name,
    // as every read below a folder asks.
    static bool isRelativeEntryPath(std::string_view relativePath);

    // The folder `name` inside this one, opened in turn.
    std::optional<DeviceFolder> folder(std::string_view name,
                                       std::shared_ptr<NSError>* error = nullptr) const;
    // The folder `name` inside this one, opened and listed as folder(name)->entries() would,
    // with one file descriptor fewer.
    std::optional<Listed> listedFolder(std::string_view name,
                                       std::shared_ptr<NSError>* error = nullptr) const;

    // The listing of one folder of a batched listing: its entries as listedFolder lists them, or
    // none and the error listedFolder gives.
    struct FolderListing {
        std::optional<std::vector<Entry>> entries;
        std::shared_ptr<NSError> error;
    };
    // Many folders inside this one listed at once, each answered exactly as listedFolder(name)
    // answers it, in the order asked. Where the kernel offers io_uring the folders are opened in
    // one submit per batch and closed in a second, and listed one by one in between (io_uring has
    // no listing operation); a folder the ring does not open (a link, anything but a folder, any
    // failure) is listed by listedFolder, which decides it. Without io_uring every folder is
    // listed by listedFolder.
    std::vector<FolderListing> listedFolders(std::span<const std::string> names) const;

private:
    friend class NSFileManager;
    DeviceFolder(std::shared_ptr<const NSFileManager> files, std::string path, UniqueFd fd);

    // The file at a path of entry names below the folder, opened by the walk below it and
    // answered by `read` (0 or an errno value); a path that walk cannot take (a link on the way)
    // is answered by `byPath`, the file manager's read of the device path, which follows it.
    using ReadOpen = std::function<int(int fd, std::vector<std::uint8_t>& out)>;
    using ReadPath = std::function<std::optional<std::vector<std::uint8_t>>(const std::string& path)>;
    std::optional<std::vector<std::uint8_t>> readBelow(std::string_view relativePath,
                                                       std::shared_ptr<NSError>* error, const ReadOpen& read,
                                                       const ReadPath& byPath) const;
    // Fewer files than this are read one at a time even where io_uring is there.
    static constexpr std::size_t kFewestFilesForRing = 4;
    // What the file manager shares with the handle. Each answers 0 or an errno value: reading the
    // regular file `name` of an open folder (EISDIR, ENODEV for what is not a regular file, EFBIG
    // past the cap, ELOOP for a link, which the caller follows), and listing the folder `name`
    // ("." for the folder itself).
    static int readFileAt(int folderFd, const char* name, std::size_t maxBytes,
                          std::vector<std::uint8_t>& out, bool listedRegular = false);
    static int listFolderAt(int folderFd, const char* name, std::vector<Entry>& out);
    // The same on a file or folder already opened with kReadFlags or kListFlags.
    // With `listedRegular` the caller has the folder's word that the file is a regular one, and
    // the file is read before it is looked at; it is looked at only when the read alone cannot
    // tell (nothing read, a full buffer, a failure).
    static int readOpenFile(int fd, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                            bool listedRegular = false);
    // Reads at most `count` bytes from the start of a file opened with kReadFlags, after the look
    // that every read of an open file takes; answers 0 or an errno value.
    static int readHeadOfOpenFile(int fd, std::size_t count, std::size_t maxBytes,
                                  std::vector<std::uint8_t>& out);
    // The files of a batched read that io_uring answered, at most `wanted` bytes of each; the
    // others keep no bytes and no error. A whole file is answered only when it was read short of
    // `wanted`, a head whatever it read. Answers false when io_uring cannot be used at all.
    // With `listedRegular`, a file listed as regular is read without the look first, and taken
    // only when it read something short of `wanted`.
    bool readWithRing(std::span<const std::string> relativePaths, std::size_t maxBytes, std::size_t wanted,
                      bool heads, const std::vector<bool>* listedRegular, std::vector<FileRead>& out,
                      std::vector<bool>& answered) const;
    // The folders of a batched listing that io_uring answered, as readWithRing does for files.
    bool listWithRing(std::span<const std::string> names, std::vector<FolderListing>& out,
                      std::vector<bool>& answered) const;
    static int listOpenFolder(UniqueFd folder, std::vector<Entry>& out);
    // Lists a folder opened with kListFlags that stays open.
    static int listOpenFd(int folder, std::vector<Entry>& out);
    // contentsOf, told whether the folder listed `name` as a regular file.
    std::optional<std::vector<std::uint8_t>> readEntry(std::string_view name, bool listedRegular,
                                                       std::shared_ptr<NSError>* error,
                                                       std::size_t maxBytes) const;
    // Non-blocking, so that a FIFO planted where a file should be cannot hang the reader.
    static constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    static constexpr int kListFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

    std::shared_ptr<const NSFileManager> files_;
    std::string path_;
    UniqueFd fd_; // O_PATH | O_DIRECTORY, or kListFlags for a listed folder
};

struct DeviceFolder::Listed {
    DeviceFolder folder;
    std::vector<Entry> entries;
};
