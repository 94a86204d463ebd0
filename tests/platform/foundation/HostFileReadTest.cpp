#include "platform/foundation/HostFileRead.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TEST(HostFileReadTest, RegularFilesAreReadWholeWithinTheCap) {
    TempDeviceRoot dir;
    dir.write("/a.txt", "hello");
    std::string bytes, why;
    ASSERT_TRUE(readHostFile(dir.host("/a.txt"), 5, bytes, why)) << why;
    EXPECT_EQ(bytes, "hello");
    EXPECT_FALSE(readHostFile(dir.host("/a.txt"), 4, bytes, why));
    EXPECT_EQ(why, "larger than 4 bytes");
    EXPECT_TRUE(bytes.empty());
    dir.write("/empty.txt", "");
    EXPECT_TRUE(readHostFile(dir.host("/empty.txt"), 0, bytes, why));
}

TEST(HostFileReadTest, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempDeviceRoot dir;
    std::string bytes, why;
    // A FIFO with no writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo(dir.host("/fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readHostFile(dir.host("/fifo"), 1 << 20, bytes, why));
    EXPECT_EQ(why, "not a regular file");
    // An endless device.
    EXPECT_FALSE(readHostFile("/dev/zero", 1 << 20, bytes, why));
    EXPECT_EQ(why, "not a regular file");
    // A socket cannot even be opened as a file.
    std::string socketPath = dir.host("/sock");
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(readHostFile(socketPath, 1 << 20, bytes, why));
    EXPECT_FALSE(why.empty());
    close(s);

    dir.mkdirs("/folder");
    EXPECT_FALSE(readHostFile(dir.host("/folder"), 1 << 20, bytes, why));
    EXPECT_EQ(why, "a folder, not a file");
    EXPECT_FALSE(readHostFile(dir.host("/missing"), 1 << 20, bytes, why));
    EXPECT_EQ(why, "no such file");
}

} // namespace
