// The device-path guard: every path a device asks for resolves inside its root, whatever ".."
// segments and symbolic links it goes through, and the paths a device really uses still work.

#include "platform/foundation/DevicePath.h"
#include "platform/foundation/NSFileManager.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A device root with a few folders and files, and a folder beside it that nothing may reach.
class DevicePathTest : public testing::Test {
protected:
    void SetUp() override {
        device.write("/var/mobile/Library/Preferences/p.plist", "inside");
        device.write("/etc/hosts", "device hosts");
        device.mkdirs("/Applications/App.app");
        outside.write("/secret", "outside");
    }

    // Resolves `path` under `root` and answers 0 with the host path's inode in `inode`, or the errno.
    int resolve(const std::string& root, const std::string& path, bool followLast, ino_t* inode = nullptr) {
        UniqueFd rootFd(open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        EXPECT_TRUE(rootFd.valid()) << root;
        ResolvedDevicePath r;
        int error = resolveDevicePath(rootFd.get(), path, followLast, r);
        if (error == 0 && inode) {
            struct stat st {};
            *inode = fstatat(r.parent.get(), r.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? st.st_ino : 0;
        }
        return error;
    }
    int resolve(const std::string& path, ino_t* inode = nullptr) {
        return resolve(device.path(), path, true, inode);
    }

    static ino_t inodeOf(const std::string& hostPath) {
        struct stat st {};
        return lstat(hostPath.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    void link(const std::string& target, const std::string& devicePath) {
        ASSERT_EQ(symlink(target.c_str(), device.host(devicePath).c_str()), 0) << devicePath;
    }

    TempDeviceRoot device;
    TempDeviceRoot outside;
};

TEST_F(DevicePathTest, PathsADeviceUsesResolveToTheirPlaceUnderTheRoot) {
    const ino_t prefs = inodeOf(device.host("/var/mobile/Library/Preferences/p.plist"));
    const std::string cases[] = {
        "/var/mobile/Library/Preferences/p.plist",
        "var/mobile/Library/Preferences/p.plist",
        "//var//mobile/Library/Preferences//p.plist",
        "/var/./mobile/Library/Preferences/p.plist",
        "/var/mobile/../mobile/Library/Preferences/p.plist",
        "/var/mobile/Library/Preferences/../../Library/Preferences/p.plist",
    };
    for (const auto& path : cases) {
        ino_t found = 0;
        EXPECT_EQ(resolve(path, &found), 0) << path;
        EXPECT_EQ(found, prefs) << path;
    }
    // The root itself, and a folder named with a trailing slash.
    ino_t found = 0;
    for (const char* root : {"/", "", ".", "/var/.."}) {
        EXPECT_EQ(resolve(root, &found), 0) << root;
        EXPECT_EQ(found, inodeOf(device.path())) << root;
    }
    EXPECT_EQ(resolve("/Applications/App.app/", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/Applications/App.app")));
    // The last component need not exist (a file about to be written); the folders before it must.
    EXPECT_EQ(resolve("/var/mobile/Library/Preferences/new.plist"), 0);
    EXPECT_EQ(resolve("/var/none/new.plist"), ENOENT);
    EXPECT_EQ(resolve("/etc/hosts/x"), ENOTDIR);
    EXPECT_EQ(resolve(std::string("/etc/ho\0sts", 11)), EINVAL);
}

TEST_F(DevicePathTest, DotDotNeverClimbsAboveTheRoot) {
    const std::string beside = std::filesystem::path(outside.path()).filename().string();
    for (const std::string& path :
         {std::string("/.."), std::string(".."), std::string("/../") + beside + "/secret",
          std::string("/var/../../") + beside + "/secret",
          std::string("/var/mobile/../../..") + outside.path() + "/secret", std::string("var/./../../x")})
        EXPECT_EQ(resolve(path), EXDEV) << path;
}

TEST_F(DevicePathTest, LinksThatLeadOutOfTheRootAreRefused) {
    const std::string up = "../../.." + outside.path(); // from /var/mobile to the host's folder
    link(up, "/var/mobile/relative");
    link(outside.path(), "/var/mobile/absolute"); // a host path, read as a device path
    link("../../../secret", "/var/mobile/climb");
    link(up + "/secret", "/var/mobile/relative.plist");

    EXPECT_EQ(resolve("/var/mobile/relative/secret"), EXDEV);
    EXPECT_EQ(resolve("/var/mobile/relative"), EXDEV);
    EXPECT_EQ(resolve("/var/mobile/climb"), EXDEV);
    EXPECT_EQ(resolve("/var/mobile/relative.plist"), EXDEV);
    // An absolute target starts again at the device root: the host folder is not there.
    EXPECT_EQ(resolve("/var/mobile/absolute/secret"), ENOENT);

    // Without following the last component, a link is itself what the path names (a write
    // replaces it); a link before the last component is still followed, and still refused.
    ino_t found = 0;
    EXPECT_EQ(resolve(device.path(), "/var/mobile/relative.plist", false, &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/mobile/relative.plist")));
    EXPECT_EQ(resolve(device.path(), "/var/mobile/relative/new", false), EXDEV);

    // Nothing of the outside folder is reachable through the file manager either.
    auto fm = NSFileManager::create(device.path());
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(fm->contentsAtPath("/var/mobile/relative/secret", &error));
    EXPECT_FALSE(fm->fileExistsAtPath("/var/mobile/relative.plist"));
    EXPECT_FALSE(fm->writeContentsAtomically("/var/mobile/relative/new", asBytes("x")));
    EXPECT_FALSE(std::filesystem::exists(outside.host("/new")));
}

TEST_F(DevicePathTest, LinksThatStayInsideResolveThere) {
    link("/etc/hosts", "/var/mobile/hosts");          // absolute: a device path
    link("../../etc", "/var/mobile/etc");             // relative, within the root
    link("Library/Preferences", "/var/mobile/prefs"); // down
    ino_t found = 0;
    EXPECT_EQ(resolve("/var/mobile/hosts", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/etc/hosts")));
    EXPECT_EQ(resolve("/var/mobile/etc/hosts", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/etc/hosts")));
    EXPECT_EQ(resolve("/var/mobile/prefs/p.plist", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/mobile/Library/Preferences/p.plist")));
    // A ".." after a link goes up from where the link led, not from the link's folder.
    EXPECT_EQ(resolve("/var/mobile/prefs/../Preferences/p.plist", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/mobile/Library/Preferences/p.plist")));
    EXPECT_EQ(NSFileManager::create(device.path())->contentsAtPath("/var/mobile/etc/hosts", nullptr).value(),
              std::vector<std::uint8_t>({'d', 'e', 'v', 'i', 'c', 'e', ' ', 'h', 'o', 's', 't', 's'}));
}

TEST_F(DevicePathTest, ChainsOfLinksAreCheckedAtEveryStep) {
    // In, then out: the second link's target is refused though the first stays inside.
    link("second", "/var/first");
    link("../../" + std::filesystem::path(outside.path()).filename().string(), "/var/second");
    EXPECT_EQ(resolve("/var/first/secret"), EXDEV);
    EXPECT_EQ(resolve("/var/first"), EXDEV);
    // In, then in again, through an absolute and a relative step.
    link("/var/hop", "/var/start");
    link("mobile/Library", "/var/hop");
    ino_t found = 0;
    EXPECT_EQ(resolve("/var/start/Preferences/p.plist", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/mobile/Library/Preferences/p.plist")));
    // A loop ends with ELOOP rather than for ever; so does a chain longer than 40 links.
    link("loopB", "/var/loopA");
    link("loopA", "/var/loopB");
    EXPECT_EQ(resolve("/var/loopA"), ELOOP);
    for (int i = 0; i < 41; ++i)
        link("chain" + std::to_string(i + 1), "/var/chain" + std::to_string(i));
    device.write("/var/chain41", "end");
    EXPECT_EQ(resolve("/var/chain0"), ELOOP);
    EXPECT_EQ(resolve("/var/chain1", &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/chain41")));
}

TEST_F(DevicePathTest, ARootReachedThroughALinkIsStillTheBoundary) {
    // The host names the root through a link; the boundary is the folder it leads to.
    const std::string viaLink = outside.host("/device-link");
    ASSERT_EQ(symlink(device.path().c_str(), viaLink.c_str()), 0);
    ino_t found = 0;
    EXPECT_EQ(resolve(viaLink, "/var/mobile/Library/Preferences/p.plist", true, &found), 0);
    EXPECT_EQ(found, inodeOf(device.host("/var/mobile/Library/Preferences/p.plist")));
    // Climbing out and back in through the link's own folder is still climbing out.
    EXPECT_EQ(resolve(viaLink, "/../device-link/etc/hosts", true), EXDEV);
    link("../" + std::filesystem::path(outside.path()).filename().string() + "/secret", "/escape");
    EXPECT_EQ(resolve(viaLink, "/escape", true), EXDEV);

    auto fm = NSFileManager::create(viaLink);
    EXPECT_TRUE(fm->fileExistsAtPath("/etc/hosts"));
    EXPECT_FALSE(fm->fileExistsAtPath("/escape"));
    ASSERT_TRUE(fm->writeContentsAtomically("/etc/new", asBytes("written")));
    EXPECT_EQ(device.read("/etc/new"), "written");
}

} // namespace
