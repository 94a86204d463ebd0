#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSFileManager.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DeviceFolderTest : public testing::Test {
protected:
    void SetUp() override { NSFileManager::setDeviceRoot(device.path()); }

    std::shared_ptr<NSFileManager> fm() { return NSFileManager::defaultManager(); }

    static std::string text(const std::optional<std::vector<std::uint8_t>>& bytes) {
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
    }

    TempDeviceRoot device;
    TempDeviceRoot outside; // a folder beside the device that nothing may reach
};

} // namespace

TEST_F(DeviceFolderTest, ReadsListsAndStatsAsTheManagerDoes) {
    device.write("/Applications/B.app/Info.plist", "{ CFBundleIdentifier = b; }");
    device.write("/Applications/a.txt", "alpha");
    device.mkdirs("/Applications/Empty.app");
    ASSERT_EQ(mkfifo(device.host("/Applications/fifo").c_str(), 0644), 0);

    std::shared_ptr<NSError> error;
    auto apps = fm()->openDirectoryAtPath("/Applications", &error);
    ASSERT_TRUE(apps) << error->description();
    EXPECT_EQ(apps->path(), "/Applications");
    EXPECT_EQ(apps->contents(), fm()->contentsOfDirectoryAtPath("/Applications"));
    auto entries = apps->entries();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 4u);
    EXPECT_EQ((*entries)[0].name, "B.app");
    EXPECT_NE((*entries)[0].kind, DeviceFolder::Entry::Kind::other);
    EXPECT_NE((*entries)[2].kind, DeviceFolder::Entry::Kind::folder); // a.txt, after Empty.app

    EXPECT_EQ(text(apps->contentsOf("a.txt", nullptr)), "alpha");
    bool isFolder = false;
    EXPECT_TRUE(apps->fileExists("Empty.app", &isFolder));
    EXPECT_TRUE(isFolder);
    EXPECT_TRUE(apps->fileExists("a.txt", &isFolder));
    EXPECT_FALSE(isFolder);
    EXPECT_FALSE(apps->fileExists("none"));

    auto app = apps->folder("B.app");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->path(), "/Applications/B.app");
    EXPECT_EQ(app->propertyListOf("Info.plist").value.get("CFBundleIdentifier"), PlistValue("b"));

    // Errors are the manager's, named by device path, never by host path.
    error.reset();
    EXPECT_FALSE(apps->contentsOf("missing", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_EQ(error->filePath(), "/Applications/missing");
    EXPECT_EQ(error->description().find(device.path()), std::string::npos) << "host path leaked";
    error.reset();
    EXPECT_FALSE(apps->contentsOf("Empty.app", &error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(apps->contentsOf("fifo", nullptr)) << "a FIFO must be refused, not waited on";
    EXPECT_FALSE(apps->folder("a.txt"));
    EXPECT_FALSE(apps->contentsOf("a.txt", nullptr, 4)) << "past the cap";
    EXPECT_FALSE(fm()->openDirectoryAtPath("/Applications/a.txt"));
    EXPECT_FALSE(fm()->openDirectoryAtPath("/none"));
}

TEST_F(DeviceFolderTest, NamesThatAreNotOneEntryAreRefused) {
    outside.write("/secret", "secret");
    device.write("/var/mobile/Library/file", "inside");
    device.write("/var/mobile/top", "top");
    auto folder = fm()->openDirectoryAtPath("/var/mobile/Library");
    ASSERT_TRUE(folder);
    const std::string outsideName = std::filesystem::path(outside.path()).filename().string();
    for (std::string name : {std::string("../top"), std::string(".."), std::string("."), std::string(""),
                             std::string("sub/file"), std::string("/file"),
                             "../../../../" + outsideName + "/secret", std::string("file\0x", 6)}) {
        std::shared_ptr<NSError> error;
        EXPECT_FALSE(folder->contentsOf(name, &error)) << name;
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->code(), NSFileReadUnknownError) << name;
        EXPECT_FALSE(folder->fileExists(name)) << name;
        EXPECT_FALSE(folder->folder(name)) << name;
        EXPECT_TRUE(folder->propertyListOf(name).error) << name;
    }
    // A path below the folder may have several parts, each of them one entry.
    device.write("/var/mobile/Library/App.app/Info.plist", "{ id = app; }");
    EXPECT_EQ(folder->propertyListBelow("App.app/Info.plist").value.get("id"), PlistValue("app"));
    for (const char* path :
         {"App.app/../../top", "../top", "App.app//Info.plist", "/file", "App.app/./Info.plist"})
        EXPECT_EQ(folder->propertyListBelow(path).error->code(), NSFileReadUnknownError) << path;
}

TEST_F(DeviceFolderTest, LinksInsideTheFolderAreFollowedAsTheManagerFollowsThem) {
    outside.write("/secret.plist", "{ secret = yes; }");
    device.write("/etc/prefs/p.plist", "{ inside = yes; }");
    device.mkdirs("/var/mobile");
    symlink(("../../.." + outside.path()).c_str(), device.host("/var/mobile/up").c_str());
    symlink((outside.path() + "/secret.plist").c_str(), device.host("/var/mobile/abs.plist").c_str());
    symlink("../../etc/prefs/p.plist", device.host("/var/mobile/rel.plist").c_str());
    symlink("/etc/prefs", device.host("/var/mobile/prefs").c_str());
    symlink("loop2", device.host("/var/mobile/loop1").c_str());
    symlink("loop1", device.host("/var/mobile/loop2").c_str());
    symlink("/none", device.host("/var/mobile/dangling").c_str());
    auto mobile = fm()->openDirectoryAtPath("/var/mobile");
    ASSERT_TRUE(mobile);

    // A link that climbs out is refused as the manager refuses it, with the same error.
    std::shared_ptr<NSError> byHandle, byPath;
    EXPECT_FALSE(mobile->folder("up", &byHandle));
    EXPECT_FALSE(fm()->openDirectoryAtPath("/var/mobile/up", &byPath));
    ASSERT_TRUE(byHandle && byPath);
    EXPECT_EQ(byHandle->description(), byPath->description());
    // Listing through the link is refused as leading outside, not as a part that is no folder.
    byPath.reset();
    EXPECT_FALSE(fm()->contentsOfDirectoryAtPath("/var/mobile/up", &byPath));
    ASSERT_TRUE(byPath);
    EXPECT_EQ(byPath->code(), NSFileReadInvalidFileNameError);
    EXPECT_EQ(fm()->contentsOfDirectoryAtPath("/var/mobile/prefs"), (std::vector<std::string>{"p.plist"}));
    EXPECT_FALSE(mobile->fileExists("up"));
    // A host path in a link is a device path, which does not exist inside the root.
    EXPECT_FALSE(mobile->contentsOf("abs.plist", nullptr));
    EXPECT_FALSE(mobile->fileExists("abs.plist"));

    // Links that stay inside lead where the walk leads.
    EXPECT_EQ(mobile->propertyListOf("rel.plist").value.get("inside"), PlistValue("yes"));
    EXPECT_EQ(mobile->propertyListBelow("prefs/p.plist").value.get("inside"), PlistValue("yes"));
    EXPECT_FALSE(mobile->propertyListBelow("up/secret.plist").ok());
    bool isFolder = false;
    EXPECT_TRUE(mobile->fileExists("prefs", &isFolder));
    EXPECT_TRUE(isFolder);
    auto prefs = mobile->folder("prefs");
    ASSERT_TRUE(prefs);
    EXPECT_EQ(prefs->propertyListOf("p.plist").value.get("inside"), PlistValue("yes"));

    EXPECT_FALSE(mobile->contentsOf("loop1", nullptr));
    EXPECT_FALSE(mobile->fileExists("loop1"));
    EXPECT_FALSE(mobile->fileExists("dangling"));
    auto entries = mobile->entries();
    ASSERT_TRUE(entries);
    for (const auto& entry : *entries)
        EXPECT_NE(entry.kind, DeviceFolder::Entry::Kind::folder) << entry.name << " is a link";
}

TEST_F(DeviceFolderTest, KeepsTheFolderItOpenedWhenTheFolderIsReplacedByALink) {
    device.write("/Library/Prefs/a.plist", "{ original = yes; }");
    outside.write("/a.plist", "{ secret = yes; }");
    auto prefs = fm()->openDirectoryAtPath("/Library/Prefs");
    ASSERT_TRUE(prefs);
    std::filesystem::rename(device.host("/Library/Prefs"), device.host("/Library/Moved"));
    ASSERT_EQ(symlink(outside.path().c_str(), device.host("/Library/Prefs").c_str()), 0);

    EXPECT_EQ(prefs->propertyListOf("a.plist").value.get("original"), PlistValue("yes"));
    EXPECT_EQ(prefs->contents(), (std::vector<std::string>{"a.plist"}));
    // The manager now resolves the link inside the root, where the host path does not exist.
    EXPECT_FALSE(fm()->contentsAtPath("/Library/Prefs/a.plist", nullptr));
    EXPECT_EQ(outside.read("/a.plist"), "{ secret = yes; }");
}

TEST_F(DeviceFolderTest, TheRootStaysOpenWhileItsManagerLives) {
    device.write("/a", "a");
    auto files = NSFileManager::create(device.path());
    EXPECT_EQ(text(files->contentsAtPath("/a", nullptr)), "a");
    // A root made after its manager is opened on the next use.
    TempDeviceRoot later;
    std::filesystem::remove_all(later.path());
    auto lateFiles = NSFileManager::create(later.path());
    EXPECT_FALSE(lateFiles->fileExistsAtPath("/b"));
    later.write("/b", "b");
    EXPECT_EQ(text(lateFiles->contentsAtPath("/b", nullptr)), "b");
    auto root = files->openDirectoryAtPath("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->pathOf("a"), "/a");
    EXPECT_EQ(text(root->contentsOf("a", nullptr)), "a");
}

namespace {

// What a read answers, bytes or error code, so that two ways of reading compare in one line.
std::string answer(const std::optional<std::vector<std::uint8_t>>& bytes,
                   const std::shared_ptr<NSError>& error) {
    if (bytes)
        return "bytes:" + std::string(bytes->begin(), bytes->end());
    return "error:" + std::to_string(error ? error->code() : -1) + ":" + (error ? error->filePath() : "");
}

class ListedReadTest : public DeviceFolderTest {
protected:
    // The entry `name` as the folder listed it.
    DeviceFolder::Entry listed(const DeviceFolder& folder, const std::string& name) {
        for (auto& entry : folder.entries().value_or(std::vector<DeviceFolder::Entry>{}))
            if (entry.name == name)
                return entry;
        ADD_FAILURE() << name << " was not listed";
        return {name, DeviceFolder::Entry::Kind::unknown};
    }
    std::string byEntry(const DeviceFolder& folder, const DeviceFolder::Entry& entry,
                        std::size_t cap = PlistLimits{}.maxBytes) {
        std::shared_ptr<NSError> error;
        auto bytes = folder.contentsOf(entry, &error, cap);
        return answer(bytes, error);
    }
    std::string byName(const DeviceFolder& folder, const std::string& name,
                       std::size_t cap = PlistLimits{}.maxBytes) {
        std::shared_ptr<NSError> error;
        auto bytes = folder.contentsOf(name, &error, cap);
        return answer(bytes, error);
    }
};

} // namespace

TEST_F(ListedReadTest, ListedRegularFilesReadAsTheirNamesDo) {
    const std::string large(40000, 'x'); // more than one first read
    device.write("/d/small", "small");
    device.write("/d/empty", "");
    device.write("/d/large", large);
    device.write("/d/capped", "12345678");
    auto folder = fm()->openDirectoryAtPath("/d");
    ASSERT_TRUE(folder);
    for (const char* name : {"small", "empty", "large", "capped"}) {
        auto entry = listed(*folder, name);
        EXPECT_EQ(entry.kind, DeviceFolder::Entry::Kind::file) << name;
        EXPECT_EQ(byEntry(*folder, entry), byName(*folder, name)) << name;
    }
    EXPECT_EQ(byEntry(*folder, listed(*folder, "large")), "bytes:" + large);
    EXPECT_EQ(byEntry(*folder, listed(*folder, "empty")), "bytes:");

    // The cap: a file exactly at it is read, one byte more is refused, as by name.
    auto capped = listed(*folder, "capped");
    EXPECT_EQ(byEntry(*folder, capped, 8), "bytes:12345678");
    EXPECT_EQ(byEntry(*folder, capped, 7), byName(*folder, "capped", 7));
    EXPECT_TRUE(byEntry(*folder, capped, 7).starts_with("error:")) << "past the cap";
    EXPECT_EQ(byEntry(*folder, listed(*folder, "large"), 20000), byName(*folder, "large", 20000));
    EXPECT_TRUE(byEntry(*folder, listed(*folder, "large"), 20000).starts_with("error:"));
    EXPECT_EQ(byEntry(*folder, listed(*folder, "large"), 40000), "bytes:" + large);

    // A file that grew after the listing is read whole, past the first read, up to the cap.
    const std::string grown(50000, 'y');
    device.write("/d/small", grown);
    EXPECT_EQ(byEntry(*folder, {"small", DeviceFolder::Entry::Kind::file}), "bytes:" + grown);
    EXPECT_TRUE(byEntry(*folder, {"small", DeviceFolder::Entry::Kind::file}, 49999).starts_with("error:"));

    // A property list read through its entry is the one read by name.
    device.write("/d/p.plist", "{ a = b; }");
    EXPECT_EQ(folder->propertyListOf(listed(*folder, "p.plist")).value.get("a"), PlistValue("b"));
}

TEST_F(ListedReadTest, AnEntryReplacedAfterTheListingReadsAsItsNameNowDoes) {
    outside.write("/secret", "secret");
    device.write("/etc/real", "real");
    for (const char* name : {"toLink", "toOutside", "toFolder", "toFifo", "gone"})
        device.write(std::string("/d/") + name, "listed");
    auto folder = fm()->openDirectoryAtPath("/d");
    ASSERT_TRUE(folder);
    std::vector<DeviceFolder::Entry> entries = folder->entries().value_or(std::vector<DeviceFolder::Entry>{});
    ASSERT_EQ(entries.size(), 5u);

    for (const auto& entry : entries)
        std::filesystem::remove(device.host("/d/" + entry.name));
    ASSERT_EQ(symlink("/etc/real", device.host("/d/toLink").c_str()), 0);
    ASSERT_EQ(symlink(("../../.." + outside.path() + "/secret").c_str(), device.host("/d/toOutside").c_str()),
              0);
    device.mkdirs("/d/toFolder");
    ASSERT_EQ(mkfifo(device.host("/d/toFifo").c_str(), 0644), 0);

    for (const auto& entry : entries) {
        ASSERT_EQ(entry.kind, DeviceFolder::Entry::Kind::file) << entry.name;
        EXPECT_EQ(byEntry(*folder, entry), byName(*folder, entry.name)) << entry.name;
    }
    EXPECT_EQ(entries[3].name, "toLink");
    EXPECT_EQ(byEntry(*folder, entries[3]), "bytes:real") << "a link is followed inside the root";
    for (const auto& entry : entries)
        EXPECT_EQ(byEntry(*folder, entry).find("secret"), std::string::npos) << entry.name;
    EXPECT_TRUE(byEntry(*folder, {"toFifo", DeviceFolder::Entry::Kind::file}).starts_with("error:"))
        << "an idle FIFO is refused, not taken for an empty file";
}

TEST_F(ListedReadTest, WhatIsNotListedAsARegularFileIsLookedAtBeforeAnyRead) {
    device.mkdirs("/d");
    const std::string fifo = device.host("/d/fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // A writer is attached and has written: a reader that read before looking would take it.
    int readEnd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    int writeEnd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    ASSERT_GE(writeEnd, 0);
    ASSERT_EQ(write(writeEnd, "{ a = b; }", 10), 10);
    auto folder = fm()->openDirectoryAtPath("/d");
    ASSERT_TRUE(folder);
    auto entry = listed(*folder, "fifo");
    EXPECT_EQ(entry.kind, DeviceFolder::Entry::Kind::other);
    EXPECT_EQ(byEntry(*folder, entry), byName(*folder, "fifo"));
    EXPECT_TRUE(byEntry(*folder, entry).starts_with("error:"));
    EXPECT_FALSE(folder->propertyListOf(entry).ok());
    char buffer[16] = {};
    EXPECT_EQ(read(readEnd, buffer, sizeof buffer), 10) << "the refused FIFO was not read";
    close(writeEnd);
    close(readEnd);
}

TEST_F(ListedReadTest, AListedFolderIsTheFolderOpenedAndListed) {
    outside.write("/secret/x", "secret");
    device.write("/c/U1/App.app/Info.plist", "{ id = one; }");
    device.write("/c/U1/notes", "n");
    device.write("/c/U2/B.app/Info.plist", "{ id = two; }");
    device.write("/c/file", "f");
    ASSERT_EQ(symlink("/c/U2", device.host("/c/linked").c_str()), 0);
    ASSERT_EQ(symlink(("../../.." + outside.path() + "/secret").c_str(), device.host("/c/out").c_str()), 0);
    auto containers = fm()->openDirectoryAtPath("/c");
    ASSERT_TRUE(containers);

    auto one = containers->listedFolder("U1");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->folder.path(), "/c/U1");
    ASSERT_EQ(one->entries.size(), 2u);
    EXPECT_EQ(one->entries[0].name, "App.app");
    EXPECT_EQ(one->entries[0].kind, DeviceFolder::Entry::Kind::folder);
    EXPECT_EQ(one->entries[1].kind, DeviceFolder::Entry::Kind::file);
    EXPECT_EQ(one->folder.propertyListBelow("App.app/Info.plist").value.get("id"), PlistValue("one"));
    EXPECT_EQ(one->folder.contents(), containers->folder("U1")->contents()) << "listed again on its own";
    EXPECT_EQ(text(one->folder.contentsOf(one->entries[1], nullptr)), "n");

    // A link is followed as the manager follows it, and refused where it would leave the root.
    auto linked = containers->listedFolder("linked");
    ASSERT_TRUE(linked);
    ASSERT_EQ(linked->entries.size(), 1u);
    EXPECT_EQ(linked->folder.propertyListBelow("B.app/Info.plist").value.get("id"), PlistValue("two"));
    std::shared_ptr<NSError> byListing, byFolder;
    EXPECT_FALSE(containers->listedFolder("out", &byListing));
    EXPECT_FALSE(containers->folder("out", &byFolder));
    ASSERT_TRUE(byListing && byFolder);
    EXPECT_EQ(byListing->description(), byFolder->description());
    for (const char* name : {"file", "none", "..", "U1/App.app"}) {
        byListing.reset();
        byFolder.reset();
        EXPECT_FALSE(containers->listedFolder(name, &byListing)) << name;
        EXPECT_FALSE(containers->folder(name, &byFolder)) << name;
        ASSERT_TRUE(byListing && byFolder) << name;
        EXPECT_EQ(byListing->description(), byFolder->description()) << name;
    }
}

namespace {

// Every file of a batched read must answer as the read of that one file does: the same bytes,
// or the same error for the same device path.
void expectSameAsOneAtATime(const DeviceFolder& folder, const std::vector<std::string>& paths,
                            std::size_t maxBytes) {
    std::vector<DeviceFolder::FileRead> batched = folder.contentsBelow(paths, maxBytes);
    ASSERT_EQ(batched.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        std::shared_ptr<NSError> error;
        auto single = folder.contentsBelow(paths[i], &error, maxBytes);
        ASSERT_EQ(batched[i].bytes.has_value(), single.has_value());
        if (single) {
            EXPECT_TRUE(*batched[i].bytes == *single);
            continue;
        }
        ASSERT_TRUE(error && batched[i].error);
        EXPECT_EQ(batched[i].error->code(), error->code());
        EXPECT_EQ(batched[i].error->localizedDescription(), error->localizedDescription());
    }
}

// Whether a read failed as the system call's errno says, for the device path.
bool failedWith(const DeviceFolder::FileRead& read, int posixErrno, const std::string& devicePath) {
    return !read.bytes && read.error &&
           read.error->localizedDescription() ==
               NSError::fileError(posixErrno, devicePath, false)->localizedDescription() &&
           read.error->code() == NSError::fileError(posixErrno, devicePath, false)->code();
}

std::string bytesOfSize(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

} // namespace

TEST_F(DeviceFolderTest, BatchedReadsAnswerAsReadsOneAtATime) {
    const std::size_t cap = 20000;
    std::vector<std::string> paths;
    // Sizes around the first read of the ring (16 KiB) and the cap.
    for (std::size_t size : {0, 1, 700, 16383, 16384, 16385, 19999, 20000, 20001}) {
        std::string name = "S" + std::to_string(size) + ".app/Info.plist";
        device.write("/Applications/" + name, bytesOfSize(size));
        paths.push_back(name);
    }
    device.write("/Applications/top.plist", "top");
    device.mkdirs("/Applications/Folder.app/Info.plist");
    ASSERT_EQ(mkfifo(device.host("/Applications/listed-fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(device.host("/Applications/S0.app/fifo").c_str(), 0644), 0);
    // A FIFO with a writer attached and bytes waiting is still no regular file.
    ASSERT_EQ(mkfifo(device.host("/Applications/S1.app/fed").c_str(), 0644), 0);
    int writer = open(device.host("/Applications/S1.app/fed").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "fifo", 4), 4);
    outside.write("/secret", "outside");
    device.write("/Library/inside", "inside by a link");
    ASSERT_EQ(symlink("/Library/inside", device.host("/Applications/in-link").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("/secret").c_str(), device.host("/Applications/out-link").c_str()), 0);
    ASSERT_EQ(symlink("../Library", device.host("/Applications/Linked.app").c_str()), 0);
    for (const char* extra :
         {"top.plist", "Folder.app/Info.plist", "listed-fifo", "S0.app/fifo", "S1.app/fed", "in-link",
          "out-link", "Linked.app/inside", "missing", "Missing.app/Info.plist", "S0.app/../top.plist",
          "./top.plist", "", "S0.app//Info.plist"})
        paths.push_back(extra);

    auto apps = fm()->openDirectoryAtPath("/Applications");
    ASSERT_TRUE(apps);
    expectSameAsOneAtATime(*apps, paths, cap);
    expectSameAsOneAtATime(*apps, paths, PlistLimits{}.maxBytes);

    // Spot checks that the answers are the right ones, not only equal.
    auto reads = apps->contentsBelow(paths, cap);
    EXPECT_EQ(text(reads[2].bytes), bytesOfSize(700));
    EXPECT_EQ(text(reads[0].bytes), "");
    EXPECT_EQ(text(reads[7].bytes), bytesOfSize(20000));                             // exactly the cap
    EXPECT_TRUE(failedWith(reads[8], EFBIG, "/Applications/S20001.app/Info.plist")); // one past it
    EXPECT_TRUE(failedWith(reads[10], EISDIR, "/Applications/Folder.app/Info.plist"));
    EXPECT_TRUE(failedWith(reads[11], ENODEV, "/Applications/listed-fifo"));
    EXPECT_TRUE(failedWith(reads[13], ENODEV, "/Applications/S1.app/fed")); // bytes waiting or not
    EXPECT_EQ(text(reads[14].bytes), "inside by a link");
    EXPECT_FALSE(reads[15].bytes); // out-link
    EXPECT_EQ(text(reads[16].bytes), "inside by a link");
    EXPECT_TRUE(failedWith(reads[17], ENOENT, "/Applications/missing"));
    EXPECT_TRUE(failedWith(reads[19], EINVAL, "/Applications/S0.app/../top.plist"));
    close(writer);
}

TEST_F(DeviceFolderTest, BatchedReadsOfMoreFilesThanOneSubmitKeepTheirOrder) {
    std::vector<std::string> paths;
    for (int i = 0; i < 300; ++i) {
        std::string name = "App" + std::to_string(i) + ".app/Info.plist";
        if (i % 7 != 3)
            device.write("/Applications/" + name, "app " + std::to_string(i));
        paths.push_back(name);
    }
    auto apps = fm()->openDirectoryAtPath("/Applications");
    ASSERT_TRUE(apps);
    auto reads = apps->contentsBelow(paths);
    ASSERT_EQ(reads.size(), paths.size());
    for (int i = 0; i < 300; ++i) {
        if (i % 7 == 3)
            EXPECT_TRUE(failedWith(reads[i], ENOENT, "/Applications/" + paths[i])) << i;
        else
            EXPECT_EQ(text(reads[i].bytes), "app " + std::to_string(i));
    }
    expectSameAsOneAtATime(*apps, paths, PlistLimits{}.maxBytes);
}

TEST_F(DeviceFolderTest, BatchedReadsWithoutTheRingGiveTheSameAnswers) {
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        std::string name = "App" + std::to_string(i) + ".app/Info.plist";
        if (i % 5 == 0)
            device.mkdirs("/Applications/" + name);
        else
            device.write("/Applications/" + name, bytesOfSize(static_cast<std::size_t>(i) * 997));
        paths.push_back(name);
    }
    auto apps = fm()->openDirectoryAtPath("/Applications");
    ASSERT_TRUE(apps);
    auto withRing = apps->contentsBelow(paths, 30000);
    DeviceFolder::setBatchedReadsUseRing(false);
    auto without = apps->contentsBelow(paths, 30000);
    ASSERT_EQ(withRing.size(), without.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        ASSERT_EQ(withRing[i].bytes.has_value(), without[i].bytes.has_value()) << i;
        if (withRing[i].bytes)
            EXPECT_TRUE(*withRing[i].bytes == *without[i].bytes) << i;
        else
            EXPECT_EQ(withRing[i].error->localizedDescription(), without[i].error->localizedDescription())
                << i;
    }
    EXPECT_TRUE(failedWith(without[0], EISDIR, "/Applications/" + paths[0]));
    EXPECT_TRUE(failedWith(without[31], EFBIG, "/Applications/" + paths[31]));
    auto lists = apps->propertyListsBelow(paths);
    EXPECT_FALSE(lists[0].ok());
}

TEST_F(DeviceFolderTest, BatchedPlistsTrustedAsListedAnswerAsTheEntriesReadAlone) {
    // Each app's Info.plist of a different kind; the batch is told the kind its folder listed.
    const std::string big(20000, ' ');
    device.write("/Applications/Plain.app/Info.plist", "{ a = 1; }");
    device.write("/Applications/Empty.app/Info.plist", "");
    device.write("/Applications/Broken.app/Info.plist", "{ a = ");
    device.write("/Applications/Long.app/Info.plist", "{ a = \"" + big + "\"; }");
    device.write("/Applications/Huge.app/Info.plist", "{ a = \"" + big + big + big + "\"; }");
    device.mkdirs("/Applications/Folder.app/Info.plist");
    device.mkdirs("/Applications/Fifo.app");
    ASSERT_EQ(mkfifo(device.host("/Applications/Fifo.app/Info.plist").c_str(), 0644), 0);
    device.write("/Applications/Linked.app/Real.plist", "{ b = 2; }");
    ASSERT_EQ(symlink("Real.plist", device.host("/Applications/Linked.app/Info.plist").c_str()), 0);
    outside.write("/Info.plist", "{ secret = 1; }");
    device.mkdirs("/Applications/Out.app");
    ASSERT_EQ(
        symlink(outside.host("/Info.plist").c_str(), device.host("/Applications/Out.app/Info.plist").c_str()),
        0);
    const PlistLimits limits{.maxBytes = 50000};
    auto apps = fm()->openDirectoryAtPath("/Applications");
    ASSERT_TRUE(apps);
    std::vector<std::string> paths;
    std::vector<bool> listedRegular;
    std::vector<PlistReadResult> alone;
    const auto names = apps->contents();
    ASSERT_TRUE(names);
    for (const auto& name : *names) {
        auto app = apps->listedFolder(name);
        ASSERT_TRUE(app);
        auto info = std::find_if(app->entries.begin(), app->entries.end(),
                                 [](const DeviceFolder::Entry& e) { return e.name == "Info.plist"; });
        ASSERT_NE(info, app->entries.end());
        paths.push_back(name + "/Info.plist");
        listedRegular.push_back(info->kind == DeviceFolder::Entry::Kind::file);
        alone.push_back(app->folder.propertyListOf(*info, limits));
    }
    ASSERT_EQ(paths.size(), 9u);
    for (bool ring : {true, false}) {
        SCOPED_TRACE(ring);
        DeviceFolder::setBatchedReadsUseRing(ring);
        std::vector<PlistReadResult> batched = apps->propertyListsBelow(paths, listedRegular, limits);
        ASSERT_EQ(batched.size(), paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            SCOPED_TRACE(paths[i]);
            ASSERT_EQ(batched[i].ok(), alone[i].ok());
            EXPECT_TRUE(batched[i].value == alone[i].value);
            if (!alone[i].ok() && alone[i].error) {
                ASSERT_TRUE(batched[i].error);
                EXPECT_EQ(batched[i].error->localizedDescription(), alone[i].error->localizedDescription());
            }
        }
        // The answers are the right ones, not only equal.
        EXPECT_EQ(batched[8].value.get("a").integerValue(), 1); // Plain
        EXPECT_FALSE(batched[2].ok());                          // Fifo
        EXPECT_EQ(
            batched[4].error->localizedDescription(), // Huge
            NSError::fileError(EFBIG, "/Applications/Huge.app/Info.plist", false)->localizedDescription());
    }
    DeviceFolder::setBatchedReadsUseRing(true);
}

TEST_F(DeviceFolderTest, BatchedReadsOneAfterAnotherAnswerEachFromItsOwnFiles) {
    // The ring of one batched read serves the next: nothing of a file read before (its bytes in
    // the ring's buffers, its folder) may show in the answers of a later batch.
    std::vector<std::string> paths;
    for (int i = 0; i < 70; ++i) {
        std::string name = "App" + std::to_string(i) + ".app/Info.plist";
        device.write("/Applications/" + name, bytesOfSize(static_cast<std::size_t>(i) * 211));
        device.write("/Library/" + name, "library " + std::to_string(i));
        paths.push_back(name);
    }
    auto apps = fm()->openDirectoryAtPath("/Applications");
    auto library = fm()->openDirectoryAtPath("/Library");
    ASSERT_TRUE(apps && library);
    auto first = apps->contentsBelow(paths);
    EXPECT_EQ(text(first[69].bytes), bytesOfSize(69 * 211));

    // The files shrink, one becomes a folder and one goes: the next batch sees only that.
    for (int i = 0; i < 70; ++i)
        device.write("/Applications/" + paths[static_cast<std::size_t>(i)], "now " + std::to_string(i));
    std::filesystem::remove(device.host("/Applications/" + paths[5]));
    std::filesystem::remove(device.host("/Applications/" + paths[6]));
    device.mkdirs("/Applications/" + paths[6]);
    auto second = apps->contentsBelow(paths);
    for (int i = 0; i < 70; ++i) {
        const std::string path = "/Applications/" + paths[static_cast<std::size_t>(i)];
        if (i == 5)
            EXPECT_TRUE(failedWith(second[5], ENOENT, path));
        else if (i == 6)
            EXPECT_TRUE(failedWith(second[6], EISDIR, path));
        else
            EXPECT_EQ(text(second[static_cast<std::size_t>(i)].bytes), "now " + std::to_string(i)) << i;
    }
    // Another folder, and a smaller cap, through the same ring.
    auto other = library->contentsBelow(paths, 9);
    EXPECT_EQ(text(other[3].bytes), "library 3");
    EXPECT_TRUE(failedWith(other[42], EFBIG, "/Library/" + paths[42]));
    expectSameAsOneAtATime(*library, paths, 9);
    expectSameAsOneAtATime(*apps, paths, PlistLimits{}.maxBytes);
}

namespace {

// A listing as text, to compare listings and their failures at a glance.
std::string listingText(const std::optional<std::vector<DeviceFolder::Entry>>& entries,
                        const std::shared_ptr<NSError>& error) {
    if (!entries)
        return "error: " + (error ? error->localizedDescription() + " " + std::to_string(error->code())
                                  : std::string("none"));
    std::string text;
    for (const auto& entry : *entries)
        text += entry.name + ":" + std::to_string(static_cast<int>(entry.kind)) + " ";
    return text;
}

// Every folder of a batched listing must answer as listedFolder does for that one name.
void expectListedAsOneAtATime(const DeviceFolder& folder, const std::vector<std::string>& names) {
    auto batched = folder.listedFolders(names);
    ASSERT_EQ(batched.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::shared_ptr<NSError> error;
        auto single = folder.listedFolder(names[i], &error);
        EXPECT_EQ(listingText(batched[i].entries, batched[i].error),
                  listingText(single ? std::optional(single->entries) : std::nullopt, error))
            << names[i];
    }
}

} // namespace

TEST_F(DeviceFolderTest, BatchedListingsAnswerAsListingsOneAtATime) {
    outside.write("/secret/x", "secret");
    device.write("/c/U1/App.app/Info.plist", "{ id = one; }");
    device.write("/c/U1/notes", "n");
    device.mkdirs("/c/Empty");
    device.write("/elsewhere/B.app/Info.plist", "{ id = two; }");
    device.write("/c/file", "f");
    ASSERT_EQ(mkfifo(device.host("/c/fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/elsewhere", device.host("/c/linked").c_str()), 0);
    ASSERT_EQ(symlink("/c/file", device.host("/c/to-file").c_str()), 0);
    ASSERT_EQ(symlink("/nowhere", device.host("/c/dangling").c_str()), 0);
    ASSERT_EQ(symlink(("../.." + outside.path() + "/secret").c_str(), device.host("/c/out").c_str()), 0);
    auto containers = fm()->openDirectoryAtPath("/c");
    ASSERT_TRUE(containers);
    const std::vector<std::string> names = {"U1",         "Empty",    "file", "fifo", "linked",
                                            "to-file",    "dangling", "out",  "none", "..",
                                            "U1/App.app", "",         ".",    "U1",   "linked"};
    expectListedAsOneAtATime(*containers, names);
    auto listings = containers->listedFolders(names);
    EXPECT_EQ(listingText(listings[0].entries, nullptr), "App.app:0 notes:1 ");
    EXPECT_EQ(listingText(listings[1].entries, nullptr), "");
    EXPECT_EQ(listingText(listings[4].entries, nullptr), "B.app:0 ") << "a link is followed inside the root";
    EXPECT_FALSE(listings[7].entries) << "a link out of the root is refused";
    for (std::size_t i : {2, 3, 5, 6, 8, 9, 10, 11, 12})
        EXPECT_FALSE(listings[i].entries) << names[i];

    // Without the ring, and for more folders than one submit takes, the answers stay the same.
    std::vector<std::string> many;
    for (int i = 0; i < 150; ++i) {
        std::string name = "M" + std::to_string(i);
        if (i % 9 == 4)
            device.write("/c/" + name, "a file");
        else if (i % 9 != 7) // the sevens do not exist
            device.write("/c/" + name + "/Only" + std::to_string(i) + ".app/Info.plist", "{}");
        many.push_back(name);
    }
    expectListedAsOneAtATime(*containers, many);
    auto withRing = containers->listedFolders(many);
    EXPECT_EQ(listingText(withRing[149].entries, nullptr), "Only149.app:0 ");
    DeviceFolder::setBatchedReadsUseRing(false);
    auto without = containers->listedFolders(many);
    for (std::size_t i = 0; i < many.size(); ++i)
        EXPECT_EQ(listingText(withRing[i].entries, withRing[i].error),
                  listingText(without[i].entries, without[i].error))
            << many[i];
    DeviceFolder::setBatchedReadsUseRing(true);
}

TEST_F(DeviceFolderTest, HeadsBelowTheFolderAnswerAsTheManagersHeadReads) {
    const std::size_t count = 29, cap = 20000;
    std::vector<std::string> paths;
    for (std::size_t size : {0, 1, 28, 29, 30, 16384, 20000, 20001}) {
        std::string name = "S" + std::to_string(size) + ".app/icon.png";
        device.write("/Applications/" + name, bytesOfSize(size));
        paths.push_back(name);
    }
    device.mkdirs("/Applications/Folder.app/icon.png");
    ASSERT_EQ(mkfifo(device.host("/Applications/S0.app/fifo").c_str(), 0644), 0);
    outside.write("/secret", bytesOfSize(100));
    device.write("/Library/inside", bytesOfSize(64));
    ASSERT_EQ(symlink("/Library/inside", device.host("/Applications/in-link").c_str()), 0);
    ASSERT_EQ(symlink(outside.host("/secret").c_str(), device.host("/Applications/out-link").c_str()), 0);
    ASSERT_EQ(symlink("../Library", device.host("/Applications/Linked.app").c_str()), 0);
    for (const char* extra : {"Folder.app/icon.png", "S0.app/fifo", "in-link", "out-link",
                              "Linked.app/inside", "missing", "S0.app/../S1.app/icon.png", "./in-link", ""})
        paths.push_back(extra);

    auto apps = fm()->openDirectoryAtPath("/Applications");
    ASSERT_TRUE(apps);
    std::vector<DeviceFolder::FileRead> heads;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        DeviceFolder::FileRead head;
        head.bytes = apps->headBelow(paths[i], count, &head.error, cap);
        heads.push_back(head);
        // A path of plain names reads as the manager reads "<folder>/<path>"; the others are
        // refused as every read below a folder refuses them.
        if (i >= 14)
            continue;
        std::shared_ptr<NSError> error;
        auto single = fm()->headOfFileAtPath(apps->pathOf(paths[i]), count, &error, cap);
        ASSERT_EQ(head.bytes.has_value(), single.has_value());
        if (single) {
            EXPECT_TRUE(*head.bytes == *single);
            continue;
        }
        ASSERT_TRUE(error && head.error);
        EXPECT_EQ(head.error->code(), error->code());
        EXPECT_EQ(head.error->localizedDescription(), error->localizedDescription());
    }
    // The answers are the right ones, not only equal.
    EXPECT_EQ(text(heads[2].bytes), bytesOfSize(28));
    EXPECT_EQ(text(heads[5].bytes), bytesOfSize(29));
    EXPECT_TRUE(failedWith(heads[7], EFBIG, "/Applications/S20001.app/icon.png"));
    EXPECT_TRUE(failedWith(heads[8], EISDIR, "/Applications/Folder.app/icon.png"));
    EXPECT_TRUE(failedWith(heads[9], ENODEV, "/Applications/S0.app/fifo"));
    EXPECT_EQ(text(heads[10].bytes), bytesOfSize(29));
    EXPECT_FALSE(heads[11].bytes);
    EXPECT_EQ(text(heads[12].bytes), bytesOfSize(29));
    EXPECT_TRUE(failedWith(heads[13], ENOENT, "/Applications/missing"));
    EXPECT_TRUE(failedWith(heads[14], EINVAL, "/Applications/S0.app/../S1.app/icon.png"));
    EXPECT_TRUE(failedWith(heads[15], EINVAL, "/Applications/./in-link"));

    // Read as one batch, through the ring and without it, every head answers as it did alone;
    // so does a head longer than what the ring reads at once.
    for (bool ring : {true, false}) {
        DeviceFolder::setBatchedReadsUseRing(ring);
        for (std::size_t headBytes : {count, std::size_t{20001}}) {
            SCOPED_TRACE(std::to_string(ring) + " " + std::to_string(headBytes));
            std::vector<DeviceFolder::FileRead> batched = apps->headsBelow(paths, headBytes, cap);
            ASSERT_EQ(batched.size(), paths.size());
            for (std::size_t i = 0; i < paths.size(); ++i) {
                SCOPED_TRACE(paths[i]);
                std::shared_ptr<NSError> error;
                auto alone = apps->headBelow(paths[i], headBytes, &error, cap);
                EXPECT_EQ(text(batched[i].bytes), text(alone));
                ASSERT_EQ(batched[i].error != nullptr, error != nullptr);
                if (error) {
                    EXPECT_EQ(batched[i].error->code(), error->code());
                    EXPECT_EQ(batched[i].error->localizedDescription(), error->localizedDescription());
                }
            }
        }
    }
    DeviceFolder::setBatchedReadsUseRing(true);
}
