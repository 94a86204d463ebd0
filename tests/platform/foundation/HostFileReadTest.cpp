#include "platform/foundation/HostFileRead.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TEST(HostFileReadTest, RegularFilesAreReadWholeWithinTheCap) {
    TempDeviceRoot dir;
    dir.write("/a.txt", "hello");
    Result<std::string> read = readHostFile(dir.host("/a.txt"), 5);
    ASSERT_TRUE(read) << read.reason();
    EXPECT_EQ(read.value(), "hello");
    EXPECT_EQ(readHostFile(dir.host("/a.txt"), 4).failure(), (Failure{"larger than 4 bytes", EFBIG}));
    dir.write("/empty.txt", "");
    EXPECT_EQ(readHostFile(dir.host("/empty.txt"), 0).value(), "");
}

TEST(HostFileReadTest, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempDeviceRoot dir;
    // A FIFO with no writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo(dir.host("/fifo").c_str(), 0600), 0);
    EXPECT_EQ(readHostFile(dir.host("/fifo"), 1 << 20).reason(), "not a regular file");
    // An endless device.
    EXPECT_EQ(readHostFile("/dev/zero", 1 << 20).reason(), "not a regular file");
    // A socket cannot even be opened as a file.
    std::string socketPath = dir.host("/sock");
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Result<std::string> socketRead = readHostFile(socketPath, 1 << 20);
    EXPECT_FALSE(socketRead);
    EXPECT_FALSE(socketRead.reason().empty());
    close(s);

    dir.mkdirs("/folder");
    EXPECT_EQ(readHostFile(dir.host("/folder"), 1 << 20).failure(),
              (Failure{"a folder, not a file", EISDIR}));
    EXPECT_EQ(readHostFile(dir.host("/missing"), 1 << 20).failure(), (Failure{"no such file", ENOENT}));
}

} // namespace
