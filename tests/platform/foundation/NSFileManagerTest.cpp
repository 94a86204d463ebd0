#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSDictionary.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace {

class NSFileManagerTest : public testing::Test {
protected:
    void SetUp() override { NSFileManager::setDeviceRoot(device.path()); }
    void TearDown() override { NSFileManager::setDeviceRoot("/"); }

    std::shared_ptr<NSFileManager> fm() { return NSFileManager::defaultManager(); }

    TempDeviceRoot device;
    TempDeviceRoot outside; // a folder beside the device that nothing may reach
};

// Runs `body` in a child that has given up root, and answers its exit status; -1 when the
// privileges could not be dropped (the test then skips).
int asNobody(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(125);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 125)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST_F(NSFileManagerTest, ListsFoldersAndReportsErrorsWithDevicePaths) {
    device.write("/Library/MobileSubstrate/DynamicLibraries/b.dylib", "x");
    device.write("/Library/MobileSubstrate/DynamicLibraries/a.plist", "x");
    device.write(std::string("/Library/MobileSubstrate/DynamicLibraries/odd\x01\xff name"), "x");
    auto names = fm()->contentsOfDirectoryAtPath("/Library/MobileSubstrate/DynamicLibraries");
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{"a.plist", "b.dylib", "odd\x01\xff name"}));
    EXPECT_TRUE(fm()->fileExistsAtPath("/Library/MobileSubstrate/DynamicLibraries/b.dylib"));
    bool isFolder = false;
    EXPECT_TRUE(fm()->fileExistsAtPath("/Library", &isFolder));
    EXPECT_TRUE(isFolder);
    EXPECT_FALSE(fm()->fileExistsAtPath("/Library/none"));

    std::shared_ptr<NSError> error;
    EXPECT_FALSE(fm()->contentsOfDirectoryAtPath("/var/missing", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_NE(error->description().find("/var/missing"), std::string::npos);
    EXPECT_EQ(error->description().find(device.path()), std::string::npos) << "host path leaked";
    error.reset();
    EXPECT_FALSE(
        fm()->contentsOfDirectoryAtPath("/Library/MobileSubstrate/DynamicLibraries/b.dylib", &error));
    EXPECT_TRUE(error);
}

TEST_F(NSFileManagerTest, PathsNeverLeaveTheDeviceRoot) {
    outside.write("/secret.plist", "{ secret = yes; }");
    const std::string up =
        "/../" + std::filesystem::path(outside.path()).filename().string() + "/secret.plist";
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(fm()->contentsAtPath(up, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription().find("outside the device"), std::string::npos);
    EXPECT_FALSE(fm()->fileExistsAtPath("/var/../../etc"));

    device.mkdirs("/var/mobile");
    EXPECT_TRUE(fm()->fileExistsAtPath("/var/mobile/../.."));
    // A relative link that climbs out, and one that points at the host's folder by its host path.
    symlink(("../../.." + outside.path()).c_str(), device.host("/var/mobile/up").c_str());
    symlink(outside.path().c_str(), device.host("/var/mobile/abs").c_str());
    EXPECT_FALSE(fm()->fileExistsAtPath("/var/mobile/up/secret.plist"));
    EXPECT_FALSE(fm()->fileExistsAtPath("/var/mobile/abs/secret.plist"));
    EXPECT_FALSE(
        NSDictionary::writeToFile(PlistValue::dictionary({{"a", 1}}), "/var/mobile/up/new.plist", true));
    EXPECT_FALSE(std::filesystem::exists(outside.host("/new.plist")));

    // An absolute link means a device path: /var/mobile/prefs -> /etc/prefs resolves inside.
    device.write("/etc/prefs/p.plist", "{ inside = yes; }");
    symlink("/etc/prefs", device.host("/var/mobile/prefs").c_str());
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/var/mobile/prefs/p.plist").get("inside"),
              PlistValue("yes"));

    // Writing over a link replaces the link; the file it pointed at stays as it was.
    symlink((outside.path() + "/secret.plist").c_str(), device.host("/var/mobile/link.plist").c_str());
    EXPECT_TRUE(
        NSDictionary::writeToFile(PlistValue::dictionary({{"a", 1}}), "/var/mobile/link.plist", true));
    EXPECT_EQ(outside.read("/secret.plist"), "{ secret = yes; }");

    symlink("loop2", device.host("/var/loop1").c_str());
    symlink("loop1", device.host("/var/loop2").c_str());
    error.reset();
    EXPECT_FALSE(fm()->contentsAtPath("/var/loop1", &error));
    EXPECT_FALSE(fm()->fileExistsAtPath("/var/loop1"));
}

TEST_F(NSFileManagerTest, ReadsOnlyDictionaryRootsFromRegularFiles) {
    device.write("/p/dict.plist", "{ a = 1; }");
    device.write("/p/array.plist", "( a )");
    device.write("/p/bad.plist", "{ a = ");
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/p/dict.plist").get("a"), PlistValue("1"));
    EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile("/p/array.plist").isNone());
    EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile("/p/bad.plist").isNone());
    EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile("/p/missing.plist").isNone());
    EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile("/p").isNone());
    // A FIFO where a file should be must not block the reader.
    ASSERT_EQ(mkfifo(device.host("/p/fifo.plist").c_str(), 0644), 0);
    EXPECT_TRUE(NSDictionary::dictionaryWithContentsOfFile("/p/fifo.plist").isNone());
    // Past the size limit before a byte is parsed.
    device.write("/p/huge.plist", std::string((16u << 20) + 1, ' '));
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(fm()->contentsAtPath("/p/huge.plist", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFileReadTooLargeError);
}

TEST_F(NSFileManagerTest, WritesCreateFilesAndKeepTheOldMode) {
    device.mkdirs("/var/mobile/Library/Preferences");
    const std::string path = "/var/mobile/Library/Preferences/com.example.plist";
    ASSERT_TRUE(NSDictionary::writeToFile(PlistValue::dictionary({{"k", true}}), path, true));
    struct stat st {};
    ASSERT_EQ(stat(device.host(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    chmod(device.host(path).c_str(), 0600);
    ASSERT_TRUE(NSDictionary::writeToFile(PlistValue::dictionary({{"k", false}}), path, true));
    ASSERT_EQ(stat(device.host(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(path).get("k"), PlistValue(false));
    EXPECT_EQ(device.names("/var/mobile/Library/Preferences").size(), 1u);

    // No folder, no file; not a dictionary, nothing written.
    EXPECT_FALSE(NSDictionary::writeToFile(PlistValue::dictionary(), "/var/none/x.plist", true));
    EXPECT_FALSE(NSDictionary::writeToFile(PlistValue::array(), path, true));
    EXPECT_FALSE(
        NSDictionary::writeToFile(PlistValue::dictionary(), "/var/mobile/Library/Preferences", true));

    EXPECT_TRUE(fm()->createDirectoryAtPath("/a/b/c", true));
    EXPECT_TRUE(fm()->fileExistsAtPath("/a/b/c"));
    EXPECT_EQ(fm()->createDirectoryAtPath("/a/b/c", false).failure().code, EEXIST);
    EXPECT_EQ(fm()->createDirectoryAtPath("/a/../../up", true).failure().code, EXDEV);
}

TEST_F(NSFileManagerTest, UnreadableFilesAndFoldersFailCleanly) {
    device.write("/p/locked.plist", "{ a = 1; }");
    chmod(device.host("/p/locked.plist").c_str(), 0);
    device.write("/q/keep.plist", "{ a = 1; }");
    chmod(device.host("/q").c_str(), 0555);
    device.mkdirs("/closed");
    chmod(device.host("/closed").c_str(), 0);
    const std::string root = device.path();
    int status = asNobody([&] {
        auto fm = NSFileManager::create(root);
        NSFileManager::setDeviceRoot(root);
        if (!NSDictionary::dictionaryWithContentsOfFile("/p/locked.plist").isNone())
            return 1;
        std::shared_ptr<NSError> error;
        if (fm->contentsOfDirectoryAtPath("/closed", &error) || !error ||
            error->code() != NSFileReadNoPermissionError)
            return 2;
        if (error->description().find(root) != std::string::npos)
            return 3;
        if (NSDictionary::writeToFile(PlistValue::dictionary({{"a", 2}}), "/q/keep.plist", true))
            return 4;
        return 0;
    });
    if (status < 0)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(device.read("/q/keep.plist"), "{ a = 1; }");
    EXPECT_EQ(device.names("/q").size(), 1u);
}

TEST_F(NSFileManagerTest, RepeatedReadsSeeEveryChangeAndShareOneTree) {
    device.write("/p/prefs.plist", "{ a = 1; b = x; }");
    PlistValue first = NSDictionary::dictionaryWithContentsOfFile("/p/prefs.plist");
    ASSERT_EQ(first.get("a"), PlistValue("1"));
    // Unchanged contents are parsed once: the second reader gets the same tree.
    PlistValue second = NSDictionary::dictionaryWithContentsOfFile("/p/prefs.plist");
    EXPECT_EQ(first.dictionaryValue(), second.dictionaryValue());
    // A writer changes a copy, and the readers keep what they read.
    PlistValue changed = second.mutableCopy();
    changed.set("a", PlistValue("changed"));
    ASSERT_TRUE(NSDictionary::writeToFile(changed, "/p/prefs.plist", true));
    EXPECT_EQ(first.get("a"), PlistValue("1"));
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/p/prefs.plist").get("a"), PlistValue("changed"));
    device.write("/p/prefs.plist", "{ a = 1; b = x; }");
    // The same file rewritten in place, same size and (very likely) the same timestamps: the new
    // contents are read.
    {
        std::fstream f(device.host("/p/prefs.plist"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(6);
        f.put('2');
    }
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/p/prefs.plist").get("a"), PlistValue("2"));
    // The same bytes under another path read the same, and another list in between does not
    // confuse them.
    device.write("/p/other.plist", "{ a = 9; }");
    device.write("/p/copy.plist", "{ a = 2; b = x; }");
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/p/other.plist").get("a"), PlistValue("9"));
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile("/p/copy.plist").get("b"), PlistValue("x"));
    // A list over tighter limits is refused even when the same bytes were read before.
    PlistLimits tight;
    tight.maxValues = 2;
    EXPECT_FALSE(fm()->propertyListAtPath("/p/copy.plist", tight).ok());
}

TEST_F(NSFileManagerTest, TheHeadOfAFileIsReadFromTheFilesContentsAtPathWouldRead) {
    device.write("/var/a.bin", "0123456789");
    EXPECT_EQ(fm()->headOfFileAtPath("/var/a.bin", 4, nullptr),
              (std::vector<std::uint8_t>{'0', '1', '2', '3'}));
    EXPECT_EQ(fm()->headOfFileAtPath("/var/a.bin", 64, nullptr)->size(), 10u);
    // A link inside the root is followed; one that climbs out, a folder, or a file over the cap is
    // refused with the error contentsAtPath gives.
    symlink("/var/a.bin", device.host("/var/in").c_str());
    EXPECT_EQ(fm()->headOfFileAtPath("/var/in", 2, nullptr), (std::vector<std::uint8_t>{'0', '1'}));
    outside.write("/secret", "secret");
    symlink(("../.." + outside.host("/secret")).c_str(), device.host("/var/out").c_str());
    for (auto [path, cap] :
         {std::pair{"/var/out", 100}, {"/var", 100}, {"/var/a.bin", 9}, {"/var/none", 100}}) {
        std::shared_ptr<NSError> headError, wholeError;
        EXPECT_FALSE(fm()->headOfFileAtPath(path, 4, &headError, cap)) << path;
        EXPECT_FALSE(fm()->contentsAtPath(path, &wholeError, cap)) << path;
        ASSERT_TRUE(headError && wholeError) << path;
        EXPECT_EQ(headError->localizedDescription(), wholeError->localizedDescription()) << path;
    }
}
