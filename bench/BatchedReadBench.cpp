// Reading the Info.plist of 1,000 app bundles (half in Applications/AppN.app, half in
// var/containers/Bundle/Application/UN/App.app) two ways, to decide whether a batched read
// through io_uring is worth building into the device folders: one file at a time as the folders
// read today (openat2 beneath the folder, fstat, read, close), and in linked chains of
// OPENAT2 → READ → CLOSE into fixed-file slots, many files per submit. Only the reads are timed:
// the folders are open and the names known before the loop starts.

#include "BenchFolder.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <liburing.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kApps = 1000;
constexpr std::size_t kFirstRead = 16384;

struct Device : BenchFolder {
    int applications = -1;
    int containers = -1;
    std::vector<std::string> systemNames; // relative to applications
    std::vector<std::string> userNames;   // relative to containers

    Device() {
        std::string info(700, 'x');
        for (int i = 0; i < kApps; ++i) {
            if (i % 2) {
                writeBenchFile(root / "Applications" / ("App" + std::to_string(i) + ".app") / "Info.plist",
                               info);
                systemNames.push_back("App" + std::to_string(i) + ".app/Info.plist");
            } else {
                std::string container = "U" + std::to_string(i);
                writeBenchFile(root / "var/containers/Bundle/Application" / container / "App.app/Info.plist",
                               info);
                userNames.push_back(container + "/App.app/Info.plist");
            }
        }
        applications = open((root / "Applications").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        containers =
            open((root / "var/containers/Bundle/Application").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~Device() {
        close(applications);
        close(containers);
    }
};

Device& device() {
    static Device d;
    return d;
}

open_how beneath() {
    open_how how{};
    how.flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    return how;
}

std::size_t readOne(int folder, const std::string& name, std::uint8_t* buffer) {
    open_how how = beneath();
    int fd = static_cast<int>(syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how));
    if (fd < 0)
        return 0;
    struct stat st {};
    fstat(fd, &st);
    ssize_t n = read(fd, buffer, static_cast<std::size_t>(st.st_size) + 1);
    close(fd);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void BM_ReadInfoPlistsOneAtATime(benchmark::State& state) {
    Device& d = device();
    std::vector<std::uint8_t> buffer(kFirstRead);
    std::size_t lastTotal = 0;
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& name : d.systemNames)
            total += readOne(d.applications, name, buffer.data());
        for (const auto& name : d.userNames)
            total += readOne(d.containers, name, buffer.data());
        lastTotal = total;
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = static_cast<double>(lastTotal);
}
BENCHMARK(BM_ReadInfoPlistsOneAtATime)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Reads the files in chains of three linked operations, `perSubmit` files at a time.
void BM_ReadInfoPlistsBatched(benchmark::State& state) {
    Device& d = device();
    const auto perSubmit = static_cast<unsigned>(state.range(0));
    io_uring ring{};
    if (io_uring_queue_init(perSubmit * 3, &ring, 0) != 0 ||
        io_uring_register_files_sparse(&ring, perSubmit) != 0) {
        state.SkipWithError("io_uring is not available");
        return;
    }
    std::vector<std::pair<int, const std::string*>> files;
    for (const auto& name : d.systemNames)
        files.emplace_back(d.applications, &name);
    for (const auto& name : d.userNames)
        files.emplace_back(d.containers, &name);
    std::vector<std::uint8_t> buffers(perSubmit * kFirstRead);
    open_how how = beneath();
    // Direct descriptors are never inherited by a child, and the kernel refuses O_CLOEXEC for them.
    how.flags &= ~static_cast<std::uint64_t>(O_CLOEXEC);
    std::size_t lastTotal = 0;
    for (auto _ : state) {
        std::size_t total = 0;
        for (std::size_t start = 0; start < files.size(); start += perSubmit) {
            const std::size_t count = std::min<std::size_t>(perSubmit, files.size() - start);
            for (std::size_t i = 0; i < count; ++i) {
                const auto slot = static_cast<unsigned>(i);
                io_uring_sqe* sqe = io_uring_get_sqe(&ring);
                io_uring_prep_openat2_direct(sqe, files[start + i].first, files[start + i].second->c_str(),
                                             &how, slot);
                sqe->flags |= IOSQE_IO_LINK;
                sqe->user_data = i * 3;
                sqe = io_uring_get_sqe(&ring);
                io_uring_prep_read(sqe, static_cast<int>(slot), buffers.data() + i * kFirstRead, kFirstRead,
                                   0);
                sqe->flags |= IOSQE_FIXED_FILE | IOSQE_IO_LINK;
                sqe->user_data = i * 3 + 1;
                sqe = io_uring_get_sqe(&ring);
                io_uring_prep_close_direct(sqe, slot);
                sqe->user_data = i * 3 + 2;
            }
            io_uring_submit_and_wait(&ring, static_cast<unsigned>(count * 3));
            io_uring_cqe* cqe = nullptr;
            unsigned head = 0, seen = 0;
            io_uring_for_each_cqe(&ring, head, cqe) {
                if (cqe->user_data % 3 == 1 && cqe->res > 0)
                    total += static_cast<std::size_t>(cqe->res);
                ++seen;
            }
            io_uring_cq_advance(&ring, seen);
        }
        lastTotal = total;
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = static_cast<double>(lastTotal);
    io_uring_queue_exit(&ring);
}
BENCHMARK(BM_ReadInfoPlistsBatched)
    ->Arg(32)
    ->Arg(128)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
