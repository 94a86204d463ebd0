#include "platform/foundation/AtomicFileWrite.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/UniqueFd.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kChild = ORBITCHAT_BINARY_DIR "/tests/PlistWriterChild";

// The same payload as PlistWriterChild writes in round n.
std::string expectedPayload(std::int64_t n) {
    std::string s;
    for (int i = 0; i < 2000; ++i)
        s += std::to_string(n * 31 + i) + ",";
    return s;
}

int temporaryFiles(const TempDeviceRoot& device, std::string_view folder) {
    int n = 0;
    for (const auto& name : device.names(folder))
        n += isAtomicWriteTemporaryName(name) ? 1 : 0;
    return n;
}

PlistValue dictionaryOfSize(std::size_t bytes) {
    PlistValue d = PlistValue::dictionary();
    d.set("blob", PlistValue(std::string(bytes, 'x')));
    return d;
}

// A tmpfs mounted over a folder for the test's lifetime, or nothing when mounting is not allowed.
struct TmpfsMount {
    std::string at;
    bool mounted = false;
    TmpfsMount(std::string folder, const char* options) : at(std::move(folder)) {
        mounted = mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~TmpfsMount() {
        if (mounted)
            umount2(at.c_str(), MNT_DETACH);
    }
};

} // namespace

TEST(AtomicFileWriteTest, TemporaryNamesAndLeftovers) {
    EXPECT_TRUE(isAtomicWriteTemporaryName(".prefs.plist.tmp-a1B2c3"));
    EXPECT_FALSE(isAtomicWriteTemporaryName("prefs.plist.tmp-a1B2c3"));
    EXPECT_FALSE(isAtomicWriteTemporaryName(".prefs.plist.tmp-a1B2c"));
    EXPECT_FALSE(isAtomicWriteTemporaryName(".prefs.plist"));

    TempDeviceRoot device;
    device.write("/p/.a.plist.tmp-AAAAAA", "left by a crashed writer");
    device.write("/p/.b.plist.tmp-BBBBBB", "held by a live writer");
    device.write("/p/.hidden", "not ours");
    // A live writer holds a lock on its temporary file; that one must survive the cleanup.
    UniqueFd held(open(device.host("/p/.b.plist.tmp-BBBBBB").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(flock(held.get(), LOCK_EX), 0);
    pid_t pid = fork();
    if (pid == 0) {
        UniqueFd folder(open(device.host("/p").c_str(), O_PATH | O_DIRECTORY));
        _exit(removeAtomicWriteLeftovers(folder.get()) == 1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    auto names = device.names("/p");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".b.plist.tmp-BBBBBB", ".hidden"}));
}

TEST(AtomicFileWriteTest, FullDiskAndReadOnlyFolderLeaveTheOldFile) {
    TempDeviceRoot device;
    device.mkdirs("/small");
    TmpfsMount disk(device.host("/small"), "size=64k");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    auto fm = NSFileManager::create(device.path());
    ASSERT_TRUE(fm->writePropertyListAtomically("/small/p.plist", dictionaryOfSize(20000)));
    const std::string before = device.read("/small/p.plist");
    auto written = fm->writePropertyListAtomically("/small/p.plist", dictionaryOfSize(100000));
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().code, ENOSPC);
    EXPECT_EQ(written.failure().reason,
              NSError::fileError(ENOSPC, "/small/p.plist", true)->localizedDescription());
    EXPECT_EQ(device.read("/small/p.plist"), before);
    EXPECT_EQ(temporaryFiles(device, "/small"), 0);

    ASSERT_EQ(mount(nullptr, disk.at.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    written = fm->writePropertyListAtomically("/small/p.plist", dictionaryOfSize(10));
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().code, EROFS);
    EXPECT_EQ(device.read("/small/p.plist"), before);
}

TEST(AtomicFileWriteTest, FailedSystemCallsLeaveTheOldFileAndNoTemporary) {
    const char* preload = "/usr/lib/fiu/fiu_posix_preload.so";
    if (access(preload, R_OK) != 0)
        GTEST_SKIP() << "libfiu's POSIX preload library is not installed";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The preload library's wrappers and the sanitizer's interceptors both replace the same libc
    // functions; the child crashes before it runs. The plain build runs this test.
    GTEST_SKIP() << "libfiu's preload library does not work under a sanitizer";
#endif
    TempDeviceRoot device;
    device.write("/p/x.plist", "{ old = 1; }");
    // The child fails the next call at each point. A short write is not a failure: the writer
    // carries on, and the file comes out whole.
    struct Case {
        const char* point;
        int expected; // the child's exit: 0 = the write reported failure, 1 = it succeeded
    } cases[] = {{"posix/io/rw/write", 0}, {"posix/io/sync/fsync", 0}, {"posix/io/rw/write/reduce", 1}};
    for (const Case& c : cases) {
        device.write("/p/x.plist", "{ old = 1; }");
        int status = 0;
        std::string cmd = "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" + std::string(preload) + " " +
                          kChild + " fail " + device.path() + " /p/x.plist " + c.point;
        runCommand(cmd, &status);
        ASSERT_TRUE(WIFEXITED(status)) << c.point;
        EXPECT_EQ(WEXITSTATUS(status), c.expected) << c.point;
        EXPECT_EQ(temporaryFiles(device, "/p"), 0) << c.point;
        PlistReadResult r = NSFileManager::create(device.path())->propertyListAtPath("/p/x.plist");
        ASSERT_TRUE(r.ok()) << c.point;
        if (c.expected == 0)
            EXPECT_EQ(r.value.get("old"), PlistValue("1")) << c.point;
        else
            EXPECT_EQ(r.value.get("payload"), PlistValue(expectedPayload(7))) << c.point;
    }

    // Rename fails when the target is a folder that is not empty: the folder stays, the
    // temporary file goes.
    device.write("/p/dir.plist/inside", "x");
    auto written = NSFileManager::create(device.path())
                       ->writePropertyListAtomically("/p/dir.plist", dictionaryOfSize(1));
    EXPECT_FALSE(written);
    EXPECT_EQ(device.read("/p/dir.plist/inside"), "x");
    EXPECT_EQ(temporaryFiles(device, "/p"), 0);
}

TEST(AtomicFileWriteTest, KilledWritersLeaveWholeFiles) {
    TempDeviceRoot device;
    device.mkdirs("/var/mobile/Library/Preferences");
    const std::string path = "/var/mobile/Library/Preferences/k.plist";
    auto fm = NSFileManager::create(device.path());
    std::mt19937 random(12345);
    std::int64_t lastRound = 0;
    // Each round starts a writer; under a sanitizer that start is most of the test's time, and
    // the sanitizers find nothing here that the plain build's 200 rounds would not.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kRounds = 50;
#else
    constexpr int kRounds = 200;
#endif
    for (int round = 0; round < kRounds; ++round) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(kChild.c_str(), kChild.c_str(), "loop", device.path().c_str(), path.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        char ready[6] = {};
        ASSERT_EQ(read(out[0], ready, 6), 6) << "the writer did not start";
        close(out[0]);
        // Let it run for a random part of a few writes, so that the kill lands at every stage.
        usleep(std::uniform_int_distribution<useconds_t>(0, 4000)(random));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own";

        PlistReadResult r = fm->propertyListAtPath(path);
        ASSERT_TRUE(r.ok()) << "round " << round << ": " << r.error->description();
        std::int64_t n = r.value.get("round").integerValue();
        ASSERT_GE(n, 1);
        ASSERT_EQ(r.value.get("payload"), PlistValue(expectedPayload(n))) << "torn file in round " << round;
        ASSERT_EQ(r.value.get("flag"), PlistValue(n % 2 == 0));
        // A killed writer leaves at most its own temporary file; the next one cleans it up.
        ASSERT_LE(temporaryFiles(device, "/var/mobile/Library/Preferences"), 1);
        lastRound = n;
    }
    EXPECT_GE(lastRound, 1);
    ASSERT_TRUE(fm->writePropertyListAtomically(path, PlistValue::dictionary({{"done", true}})));
    EXPECT_EQ(temporaryFiles(device, "/var/mobile/Library/Preferences"), 0);
    EXPECT_EQ(device.names("/var/mobile/Library/Preferences").size(), 1u);
}
