#include "platform/foundation/DeviceFolder.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/DevicePath.h"
#include "platform/foundation/NSFileManager.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <linux/openat2.h>
#include <memory>
#include <mutex>
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

// What this process learnt of io_uring: nothing yet, that it serves the chains of a batched
// read, or that it does not (not built into the kernel, turned off, forbidden by a sandbox, or
// without one of the operations) and never will.
enum class RingSupport { unknown, usable, unusable };

std::atomic<RingSupport>& ringSupport() {
    // The kernel's answer is the same for every device and thread, so it is asked once per process.
    static std::atomic<RingSupport> support{RingSupport::unknown};
    return support;
}

// A ring for batched reads. The files of a batch are opened in one submit, looked at one
// by one with fstat (the look of every read of an open file, on the very file opened), and
// read and closed in a second submit: one system call per file and two per batch, where the
// read one at a time takes four per file. The look is no operation of the ring because the
// kernel hands every STATX to a worker thread, which costs more than the call it saves.
class ReadRing {
public:
    static constexpr unsigned kFilesPerSubmit = 64;

    // What the ring found of one file: `complete` when it was opened, read and closed (then
    // `read` is the count read), and `looked` when before that it was looked at and found to be a
    // regular file under the cap. A file the caller trusts to be regular is read without the look.
    struct Result {
        bool complete = false;
        long read = -1;
        bool looked = false;
    };

    ReadRing() = default;
    ReadRing(const ReadRing&) = delete;
    ReadRing& operator=(const ReadRing&) = delete;
    ~ReadRing() {
        if (!started_)
            return;
        // A ring dropped after a failed step may still have steps in flight, reading into the
        // buffers: closing the ring does not wait for them, so their answers are waited for here
        // before the buffers go. Nothing more is submitted (what was queued and not taken stays
        // untaken). Should the wait itself fail, the buffers are left allocated rather than
        // handed back while the kernel may still write to them.
        if (inFlight_ > 0 && !drain())
            (void)buffers_.release();
        io_uring_queue_exit(&ring_);
    }

    // Sets the ring up; answers false, and remembers for the process when it is for good, where
    // io_uring cannot serve.
    bool start() {
        RingSupport known = ringSupport().load(std::memory_order_relaxed);
        if (known == RingSupport::unusable)
            return false;
        int e = io_uring_queue_init(kFilesPerSubmit * 2, &ring_, 0);
        if (e < 0) {
            // Only a shortage of memory or of locked pages may pass; the others are the kernel's
            // or the sandbox's final word.
            if (e != -ENOMEM && e != -EAGAIN)
                ringSupport().store(RingSupport::unusable, std::memory_order_relaxed);
            return false;
        }
        started_ = true;
        if (known == RingSupport::unknown) {
            if (!hasEveryOperation()) {
                ringSupport().store(RingSupport::unusable, std::memory_order_relaxed);
                return false;
            }
            ringSupport().store(RingSupport::usable, std::memory_order_relaxed);
        }
        buffers_ = std::make_unique_for_overwrite<std::uint8_t[]>(kFilesPerSubmit * kFirstReadBytes);
        return true;
    }

    // Opens the entries `batch` (indices into `paths`, at most kFilesPerSubmit of them) below the
    // folder in one submit, as `how` says; `files` gets each descriptor, none where the open
    // failed. Answers false when the ring failed as a whole; every descriptor it opened is owned
    // by `files` whatever happens.
    bool open(int folder, std::span<const std::string> paths, const std::vector<std::size_t>& batch,
              open_how how, std::vector<UniqueFd>& files) {
        for (std::size_t k = 0; k < batch.size(); ++k) {
            io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
            io_uring_prep_openat2(sqe, folder, paths[batch[k]].c_str(), &how);
            sqe->user_data = k;
        }
        std::vector<int> opened(batch.size(), -1);
        // The kernel answers an error only when it took nothing in; what it took is waited for.
        int submitted = counted(io_uring_submit_and_wait(&ring_, static_cast<unsigned>(batch.size())));
        const bool waited = submitted >= 0 && waitFor(static_cast<std::size_t>(submitted), opened);
        files.clear();
        files.reserve(batch.size());
        for (int fd : opened)
            files.emplace_back(fd >= 0 ? fd : -1);
        return waited && static_cast<std::size_t>(submitted) == batch.size();
    }

    // Closes the descriptors in one submit; each the kernel took is the ring's to close from
    // then on, and one it did not take is closed by hand. Answers false when the ring failed.
    bool close(std::vector<UniqueFd>& files) {
        std::vector<std::size_t> closing;
        for (std::size_t k = 0; k < files.size(); ++k) {
            if (!files[k].valid())
                continue;
            io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
            io_uring_prep_close(sqe, files[k].get());
            sqe->user_data = k;
            closing.push_back(k);
        }
        if (closing.empty())
            return true;
        int submitted = counted(io_uring_submit(&ring_));
        if (submitted < 0)
            return false;
        // The kernel takes the steps in the order they were queued.
        for (std::size_t i = 0; i < static_cast<std::size_t>(submitted) && i < closing.size(); ++i)
            (void)files[closing[i]].release();
        std::vector<int> answers(files.size(), -1);
        return waitFor(static_cast<std::size_t>(submitted), answers) &&
               static_cast<std::size_t>(submitted) == closing.size();
    }

    // Reads the files `batch` (indices into `paths`, at most kFilesPerSubmit of them) below the
    // folder, `wanted` bytes of each at most, into the buffers. Answers false when the ring
    // failed as a whole; every file it opened is closed whatever happens.
    bool read(int folder, std::span<const std::string> paths, const std::vector<std::size_t>& batch,
              std::size_t maxBytes, std::size_t wanted, const std::vector<bool>* listedRegular,
              std::vector<Result>& results) {
        // The flags and resolution of the one-at-a-time open beneath a folder.
        open_how how{};
        how.flags = static_cast<std::uint64_t>(kReadFlags & ~O_NOFOLLOW);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        // Every descriptor opened is owned from here on, and closed by the ring after its read,
        // or by hand when the ring cannot take the closes.
        std::vector<UniqueFd> files;
        if (!open(folder, paths, batch, how, files))
            return false;
        results.assign(batch.size(), Result{});
        std::vector<bool> reading(batch.size(), false), looked(batch.size(), false);
        std::size_t steps = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            if (!files[k].valid())
                continue;
            std::uint64_t size = 0;
            const bool trusted = listedRegular && (*listedRegular)[batch[k]];
            looked[k] = !trusted;
            if (trusted || DeviceFolder::checkOpenFile(files[k].get(), maxBytes, size) == 0) {
                // The close holds on to the read even when the read fails.
                io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
                io_uring_prep_read(sqe, files[k].get(), buffer(k), static_cast<unsigned>(wanted), 0);
                sqe->flags |= IOSQE_IO_HARDLINK;
                sqe->user_data = k * 2;
                reading[k] = true;
                ++steps;
            }
            io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
            io_uring_prep_close(sqe, files[k].get());
            sqe->user_data = k * 2 + 1;
            ++steps;
        }
        std::vector<int> answers(batch.size() * 2, -1);
        int submitted = counted(io_uring_submit(&ring_));
        if (submitted < 0)
            return false;
        // The kernel takes the steps in the order they were queued: a file whose close it took is
        // the ring's to close, and one whose close it did not take is closed here (a read it took
        // holds the file open on its own). A ring that took only part of the steps is not used
        // again, so what it did not take is never run.
        std::size_t step = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            if (!files[k].valid())
                continue;
            step += reading[k] ? 2 : 1;
            if (step <= static_cast<std::size_t>(submitted))
                (void)files[k].release();
        }
        if (!waitFor(static_cast<std::size_t>(submitted), answers) ||
            static_cast<std::size_t>(submitted) != steps)
            return false;
        for (std::size_t k = 0; k < batch.size(); ++k)
            if (reading[k])
                results[k] = Result{true, answers[k * 2], looked[k]};
        return true;
    }

    const std::uint8_t* buffer(std::size_t k) const { return buffers_.get() + k * kFirstReadBytes; }
    std::uint8_t* buffer(std::size_t k) { return buffers_.get() + k * kFirstReadBytes; }

private:
    static constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

    // Counts the steps a submit handed to the kernel (its answer, when it is no error) as in
    // flight until their answers are seen.
    int counted(int submitted) {
        if (submitted > 0)
            inFlight_ += static_cast<std::size_t>(submitted);
        return submitted;
    }

    // Waits for `count` answers of what was submitted, filed by their user data.
    bool waitFor(std::size_t count, std::vector<int>& answers) {
        for (std::size_t seen = 0; seen < count;) {
            io_uring_cqe* cqe = nullptr;
            int e = io_uring_wait_cqe(&ring_, &cqe);
            if (e == -EINTR)
                continue;
            if (e < 0)
                return false;
            if (cqe->user_data < answers.size())
                answers[cqe->user_data] = cqe->res;
            io_uring_cqe_seen(&ring_, cqe);
            --inFlight_;
            ++seen;
        }
        return true;
    }

    // Waits for the answer of every step still in flight, without submitting anything; answers
    // false when the ring cannot tell.
    bool drain() {
        std::vector<int> ignored;
        return waitFor(inFlight_, ignored);
    }

    bool hasEveryOperation() {
        io_uring_probe* probe = io_uring_get_probe_ring(&ring_);
        if (!probe)
            return false;
        bool all = true;
        for (int op : {IORING_OP_OPENAT2, IORING_OP_READ})
            all = all && io_uring_opcode_supported(probe, op);
        io_uring_free_probe(probe);
        return all;
    }

    io_uring ring_{};
    bool started_ = false;
    // Steps handed to the kernel whose answers have not been seen.
    std::size_t inFlight_ = 0;
    std::unique_ptr<std::uint8_t[]> buffers_;
};

// Whether batched reads of a device environment may use io_uring, and the ring its last batched
// read left behind. Setting a ring up and tearing it down (its mappings, its buffers) costs about
// as much as the system calls of a hundred files, so a ring that finished its work cleanly is
// kept for the next batch; one that failed half-way is dropped, since it may still hold answers.
struct BatchedReads : DeviceEnvironment::Part {
    std::atomic<bool> useRing = true;
    std::mutex mutex;
    std::unique_ptr<ReadRing> idle;

    // The kept ring, or a new one; null where io_uring cannot serve. A ring taken is used by one
    // thread at a time: two batched reads at once each have their own.
    std::unique_ptr<ReadRing> takeRing() {
        {
            std::lock_guard lock(mutex);
            if (idle)
                return std::move(idle);
        }
        auto ring = std::make_unique<ReadRing>();
        if (!ring->start())
            return nullptr;
        return ring;
    }
    // Keeps a ring whose every submission has been answered.
    void keepRing(std::unique_ptr<ReadRing> ring) {
        std::lock_guard lock(mutex);
        if (!idle)
            idle = std::move(ring);
    }
};

// Runs `step` on the kept ring (or a new one) over the indices below `count` that `usable`
// takes, at most a submit's worth at a time, and keeps the ring for the next batched read when
// every step answered. A step that answers false has left the ring half-way: the ring is dropped
// and the remaining indices are left to the caller. Answers false when io_uring cannot be used.
template <class Usable, class Step> bool forEachRingBatch(std::size_t count, Usable usable, Step step) {
    BatchedReads& reads = DeviceEnvironment::current().part<BatchedReads>();
    std::unique_ptr<ReadRing> ring = reads.takeRing();
    if (!ring)
        return false;
    std::vector<std::size_t> batch;
    for (std::size_t start = 0; start < count; start += ReadRing::kFilesPerSubmit) {
        batch.clear();
        const std::size_t end = std::min(count, start + ReadRing::kFilesPerSubmit);
        for (std::size_t i = start; i < end; ++i)
            if (usable(i))
                batch.push_back(i);
        if (batch.empty())
            continue;
        if (!step(*ring, batch))
            return true;
    }
    reads.keepRing(std::move(ring));
    return true;
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

bool DeviceFolder::isRelativeEntryPath(std::string_view relativePath) {
    for (std::size_t at = 0; at <= relativePath.size();) {
        std::size_t slash = std::min(relativePath.find('/', at), relativePath.size());
        if (!isEntryName(relativePath.substr(at, slash - at)))
            return false;
        at = slash + 1;
    }
    return true;
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
    std::uint64_t size = 0;
    if (int e = checkOpenFile(fd, maxBytes, size))
        return e;
    // The size is only a hint: the file may grow while it is read, and the cap holds regardless.
    std::vector<std::uint8_t> bytes(std::max(static_cast<std::size_t>(size), firstUsed) + 1);
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

int DeviceFolder::checkOpenFile(int fd, std::size_t maxBytes, std::uint64_t& size) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return EFBIG;
    size = static_cast<std::uint64_t>(st.st_size);
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
    std::shared_ptr<NSError> error;
    auto bytes = contentsBelow(relativePath, &error, limits.maxBytes);
    if (!bytes)
        return {PlistValue(), error, PlistFormat::XML};
    return NSFileManager::parsePropertyList(std::move(*bytes), limits);
}

std::optional<std::vector<std::uint8_t>> DeviceFolder::readBelow(std::string_view relativePath,
                                                                 std::shared_ptr<NSError>* error,
                                                                 const ReadOpen& read,
                                                                 const ReadPath& byPath) const {
    const std::string path = pathOf(relativePath);
    if (!isRelativeEntryPath(relativePath)) {
        setError(error, NSError::fileError(EINVAL, path, false));
        return std::nullopt;
    }
    UniqueFd fd;
    std::vector<std::uint8_t> bytes;
    int e = openDevicePathBeneath(fd_.get(), relativePath, kReadFlags, fd);
    if (e == 0)
        e = read(fd.get(), bytes);
    else if (e < 0)
        return byPath(path);
    if (e) {
        setError(error, NSError::fileError(e, path, false));
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<std::uint8_t>> DeviceFolder::contentsBelow(std::string_view relativePath,
                                                                     std::shared_ptr<NSError>* error,
                                                                     std::size_t maxBytes) const {
    return readBelow(
        relativePath, error,
        [&](int fd, std::vector<std::uint8_t>& out) { return readOpenFile(fd, maxBytes, out); },
        [&](const std::string& path) { return files_->contentsAtPath(path, error, maxBytes); });
}

std::vector<DeviceFolder::FileRead> DeviceFolder::contentsBelow(std::span<const std::string> relativePaths,
                                                                std::size_t maxBytes) const {
    std::vector<FileRead> reads(relativePaths.size());
    std::vector<bool> answered(relativePaths.size(), false);
    if (DeviceEnvironment::current().part<BatchedReads>().useRing)
        (void)readWithRing(relativePaths, maxBytes, std::min(kFirstReadBytes, maxBytes + 1), false, nullptr,
                           reads, answered);
    for (std::size_t i = 0; i < relativePaths.size(); ++i)
        if (!answered[i])
            reads[i].bytes = contentsBelow(relativePaths[i], &reads[i].error, maxBytes);
    return reads;
}

std::optional<std::vector<std::uint8_t>> DeviceFolder::headBelow(std::string_view relativePath,
                                                                 std::size_t count,
                                                                 std::shared_ptr<NSError>* error,
                                                                 std::size_t maxBytes) const {
    return readBelow(
        relativePath, error,
        [&](int fd, std::vector<std::uint8_t>& out) { return readHeadOfOpenFile(fd, count, maxBytes, out); },
        [&](const std::string& path) { return files_->headOfFileAtPath(path, count, error, maxBytes); });
}

std::vector<DeviceFolder::FileRead> DeviceFolder::headsBelow(std::span<const std::string> relativePaths,
                                                             std::size_t count, std::size_t maxBytes) const {
    std::vector<FileRead> heads(relativePaths.size());
    std::vector<bool> answered(relativePaths.size(), false);
    // A head longer than a ring's buffer is read one at a time.
    if (count <= kFirstReadBytes && DeviceEnvironment::current().part<BatchedReads>().useRing)
        (void)readWithRing(relativePaths, maxBytes, count, true, nullptr, heads, answered);
    for (std::size_t i = 0; i < relativePaths.size(); ++i)
        if (!answered[i])
            heads[i].bytes = headBelow(relativePaths[i], count, &heads[i].error, maxBytes);
    return heads;
}

int DeviceFolder::readHeadOfOpenFile(int fd, std::size_t count, std::size_t maxBytes,
                                     std::vector<std::uint8_t>& out) {
    std::uint64_t size = 0;
    if (int e = checkOpenFile(fd, maxBytes, size))
        return e;
    std::vector<std::uint8_t> bytes(count);
    std::size_t used = 0;
    while (used < count) {
        ssize_t n = read(fd, bytes.data() + used, count - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    out = std::move(bytes);
    return 0;
}

std::vector<PlistReadResult> DeviceFolder::propertyListsBelow(std::span<const std::string> relativePaths,
                                                              const PlistLimits& limits) const {
    return propertyListsBelow(relativePaths, {}, limits);
}

std::vector<PlistReadResult> DeviceFolder::propertyListsBelow(std::span<const std::string> relativePaths,
                                                              const std::vector<bool>& listedRegular,
                                                              const PlistLimits& limits) const {
    std::vector<FileRead> reads(relativePaths.size());
    std::vector<bool> answered(relativePaths.size(), false);
    const bool trusted = listedRegular.size() == relativePaths.size();
    if (DeviceEnvironment::current().part<BatchedReads>().useRing)
        (void)readWithRing(relativePaths, limits.maxBytes, std::min(kFirstReadBytes, limits.maxBytes + 1),
                           false, trusted ? &listedRegular : nullptr, reads, answered);
    for (std::size_t i = 0; i < relativePaths.size(); ++i)
        if (!answered[i])
            reads[i].bytes = contentsBelow(relativePaths[i], &reads[i].error, limits.maxBytes);
    std::vector<PlistReadResult> lists;
    lists.reserve(reads.size());
    for (FileRead& read : reads) {
        if (read.bytes)
            lists.push_back(NSFileManager::parsePropertyList(std::move(*read.bytes), limits));
        else
            lists.push_back({PlistValue(), std::move(read.error), PlistFormat::XML});
    }
    return lists;
}

void DeviceFolder::setBatchedReadsUseRing(bool allowed) {
    DeviceEnvironment::current().part<BatchedReads>().useRing = allowed;
}

bool DeviceFolder::readWithRing(std::span<const std::string> relativePaths, std::size_t maxBytes,
                                std::size_t wanted, bool heads, const std::vector<bool>* listedRegular,
                                std::vector<FileRead>& out, std::vector<bool>& answered) const {
    // A few files are not worth a ring: setting one up, or its two submissions, costs more calls
    // than it saves.
    if (relativePaths.size() < kFewestFilesForRing)
        return false;
    std::vector<ReadRing::Result> results;
    return forEachRingBatch(
        relativePaths.size(), [&](std::size_t i) { return isRelativeEntryPath(relativePaths[i]); },
        [&](ReadRing& ring, const std::vector<std::size_t>& batch) {
            if (!ring.read(fd_.get(), relativePaths, batch, maxBytes, wanted, listedRegular, results))
                return false;
            for (std::size_t k = 0; k < batch.size(); ++k) {
                const ReadRing::Result& r = results[k];
                // Only what the ring saw whole is taken: a regular file under the cap, read short
                // of the buffer (a regular file reads short only at its end), or for a head as far
                // as it goes. Everything else goes the one-at-a-time way, which decides it.
                if (!r.complete || r.read < 0 || (!heads && static_cast<std::size_t>(r.read) >= wanted))
                    continue;
                // A file read without the look is taken as contentsOf takes an entry listed as a
                // regular file: only when the read alone tells, having read something.
                if (!r.looked && r.read == 0)
                    continue;
                const std::uint8_t* bytes = ring.buffer(k);
                out[batch[k]].bytes.emplace(bytes, bytes + r.read);
                answered[batch[k]] = true;
            }
            return true;
        });
}

std::vector<DeviceFolder::FolderListing>
DeviceFolder::listedFolders(std::span<const std::string> names) const {
    std::vector<FolderListing> listings(names.size());
    std::vector<bool> answered(names.size(), false);
    if (DeviceEnvironment::current().part<BatchedReads>().useRing)
        (void)listWithRing(names, listings, answered);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (answered[i])
            continue;
        if (auto listed = listedFolder(names[i], &listings[i].error))
            listings[i].entries = std::move(listed->entries);
    }
    return listings;
}

bool DeviceFolder::listWithRing(std::span<const std::string> names, std::vector<FolderListing>& out,
                                std::vector<bool>& answered) const {
    if (names.size() < kFewestFilesForRing)
        return false;
    // What the one-at-a-time open of a listed folder opens, and nothing else: a folder that is no
    // link. A link, or anything the kernel refuses, is left to listedFolder, which decides it.
    open_how how{};
    how.flags = static_cast<std::uint64_t>(kListFlags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    std::vector<UniqueFd> folders;
    return forEachRingBatch(
        names.size(), [&](std::size_t i) { return isEntryName(names[i]); },
        [&](ReadRing& ring, const std::vector<std::size_t>& batch) {
            if (!ring.open(fd_.get(), names, batch, how, folders))
                return false;
            // io_uring has no listing operation: each folder opened is listed here, one by one.
            for (std::size_t k = 0; k < batch.size(); ++k) {
                if (!folders[k].valid())
                    continue;
                const std::size_t i = batch[k];
                std::vector<Entry> entries;
                if (int e = listOpenFd(folders[k].get(), entries))
                    out[i].error = NSError::fileError(e, pathOf(names[i]), false);
                else
                    out[i].entries = std::move(entries);
                answered[i] = true;
            }
            return ring.close(folders);
        });
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
