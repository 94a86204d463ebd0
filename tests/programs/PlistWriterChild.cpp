// A child process for the atomic-write tests of the file layer.
//
//   PlistWriterChild loop <device root> <device path>
//       Writes a dictionary over and over, each round a different but self-checking one (see
//       expectedPayload), and prints "ready" once the first write is done. The parent kills it
//       with SIGKILL at a random moment and checks that the file is whole.
//   PlistWriterChild fail <device root> <device path> <fault point>
//       Run with libfiu's POSIX preload library: fails the next call at the fault point (for
//       example "posix/io/sync/fsync") and writes once. Exits 0 when the write reported the
//       failure, 1 when it claimed success, 2 on a usage error.

#include "platform/foundation/NSFileManager.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

// The payload of round n: long enough that a write takes several pages, and derived from n so
// that a reader can tell a whole file from a torn one. AtomicFileWriteTest computes the same.
std::string expectedPayload(std::int64_t n) {
    std::string s;
    for (int i = 0; i < 2000; ++i)
        s += std::to_string(n * 31 + i) + ",";
    return s;
}

PlistValue roundDictionary(std::int64_t n) {
    PlistValue d = PlistValue::dictionary();
    d.set("round", PlistValue(n));
    d.set("payload", PlistValue(expectedPayload(n)));
    d.set("flag", PlistValue(n % 2 == 0));
    return d;
}

int loop(const char* root, const char* path) {
    auto fm = NSFileManager::create(root);
    for (std::int64_t n = 1;; ++n) {
        // A round that fails (the parent may kill the writer at any point) is simply the next one.
        [[maybe_unused]] Result<> written = fm->writePropertyListAtomically(path, roundDictionary(n));
        if (n == 1) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}

int failOnce(const char* root, const char* path, const char* point) {
    using Init = int (*)(unsigned);
    using Enable = int (*)(const char*, int, void*, unsigned);
    auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "fiu_init"));
    auto enable = reinterpret_cast<Enable>(dlsym(RTLD_DEFAULT, "fiu_enable"));
    if (!init || !enable)
        return 2;
    auto fm = NSFileManager::create(root);
    PlistValue d = roundDictionary(7);
    init(0);
    // libfiu's POSIX wrappers take the failinfo as the errno to set; without one they pick a
    // random errno of the call, EINTR among them, which the writer rightly retries. EIO is a
    // failure that must be reported.
    void* failinfo =
        std::strstr(point, "reduce") ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(EIO));
    enable(point, 1, failinfo, 1 /* FIU_ONETIME */);
    return fm->writePropertyListAtomically(path, d) ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "loop") == 0)
        return loop(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "fail") == 0)
        return failOnce(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: PlistWriterChild loop|fail ...\n");
    return 2;
}
