// The read-change-write of preference files under both value stores: files on a real device
// root, and stores from several threads at once.

#include "support/DeviceFixture.h"

#include "platform/prefs/PSPreferenceFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

constexpr const char* kFolder = "/var/mobile/Library/Preferences";

class PSPreferenceFileTest : public ::testing::Test {
protected:
    void SetUp() override { device.mkdirs(kFolder); }
    static PSPreferenceFile::Entry entry(std::string key, std::string name = "com.x") {
        return {std::string(kFolder) + "/" + name + ".plist", std::move(key)};
    }
    std::shared_ptr<PSSpecifier> row(PlistValue key, PlistValue defaults) {
        auto s = PSSpecifier::preferenceSpecifierNamed("Row", nullptr, {}, {}, {}, PSSwitchCell, {});
        s->setProperty(std::move(key), "key");
        s->setProperty(std::move(defaults), "defaults");
        return s;
    }
    DeviceFixture device;
};

TEST_F(PSPreferenceFileTest, AStoreChangesOneKeyAndKeepsTheRestTyped) {
    ASSERT_TRUE(PSPreferenceFile::store(entry("on"), PlistValue(true)));
    EXPECT_EQ(device.readPlist(entry("on").path).count(), 1u);
    ASSERT_TRUE(PSPreferenceFile::store(entry("size"), PlistValue(3)));
    ASSERT_TRUE(PSPreferenceFile::store(entry("on"), PlistValue(false)));
    PlistValue stored = device.readPlist(entry("on").path);
    EXPECT_EQ(stored.count(), 2u);
    EXPECT_EQ(stored.get("on"), PlistValue(false));
    EXPECT_EQ(stored.get("size"), PlistValue(3));
    EXPECT_EQ(PSPreferenceFile::valueOf(entry("size")).value(), PlistValue(3));
    EXPECT_TRUE(PSPreferenceFile::valueOf(entry("absent")).value().isNone());
    EXPECT_TRUE(PSPreferenceFile::valueOf(entry("k", "no.file")).value().isNone());
    EXPECT_FALSE(device.exists(entry("k", "no.file").path));
}

TEST_F(PSPreferenceFileTest, WhatCannotBeStoredLeavesTheFileByteForByte) {
    ASSERT_TRUE(PSPreferenceFile::store(entry("keep"), PlistValue("me")));
    const std::string before = device.read(entry("keep").path);
    // Storing none would remove the key; an object has no property-list form.
    EXPECT_FALSE(PSPreferenceFile::store(entry("keep"), PlistValue()));
    EXPECT_FALSE(PSPreferenceFile::store(entry("keep"), PlistValue(std::make_shared<NSObject>())));
    EXPECT_EQ(device.read(entry("keep").path), before);

    // Files that are not dictionaries within the reader's limits, each refused with the reason
    // the reader gives: garbage, an array, a tree deeper than the reader goes, a broken binary
    // list.
    std::string deep = "{ k = 1; deep = " + std::string(300, '(') + std::string(300, ')') + "; }";
    const std::pair<std::string, std::string> files[] = {
        {"garbage \x01", "the file cannot be read: The data couldn’t be read because it isn’t in the "
                         "correct format (old-style list: unexpected text after the list at offset 8)."},
        {"( 1, 2 )", "the file holds an array, not a dictionary"},
        {deep, "the file cannot be read: The data couldn’t be read because it isn’t in the correct "
               "format (old-style list: nested too deeply at offset 272)."},
        {"bplist00\xff", "the file cannot be read: The data couldn’t be read because it isn’t in the "
                         "correct format (binary list: too short)."},
    };
    for (const auto& [content, reason] : files) {
        device.write(entry("k", "bad").path, content);
        Result<> saved = PSPreferenceFile::store(entry("k", "bad"), PlistValue(1));
        EXPECT_EQ(saved.reason(), reason);
        EXPECT_EQ(PSPreferenceFile::valueOf(entry("k", "bad")).reason(), reason);
        EXPECT_EQ(device.read(entry("k", "bad").path), content);
    }
}

TEST_F(PSPreferenceFileTest, WhatStandsWhereAFileShouldBeIsNeverWrittenOver) {
    namespace fs = std::filesystem;
    auto refusal = [&](const std::string& name) {
        Result<> saved = PSPreferenceFile::store(entry("k", name), PlistValue(1));
        EXPECT_FALSE(saved) << name;
        return saved.reason();
    };
    // Two links that point at each other: the store once took them for a missing file and
    // replaced the link with a new list.
    fs::create_symlink("loop.b.plist", device.host(entry("k", "loop.a").path));
    fs::create_symlink("loop.a.plist", device.host(entry("k", "loop.b").path));
    EXPECT_EQ(refusal("loop.a"), "the file cannot be read: The file “loop.a.plist” couldn’t be opened: Too "
                                 "many levels of symbolic links.");
    EXPECT_TRUE(fs::is_symlink(device.host(entry("k", "loop.a").path)));
    EXPECT_EQ(fs::read_symlink(device.host(entry("k", "loop.a").path)), "loop.b.plist");

    // A FIFO, which must neither hang the reader nor be replaced.
    ASSERT_EQ(mkfifo(device.host(entry("k", "fifo").path).c_str(), 0644), 0);
    EXPECT_EQ(refusal("fifo"),
              "the file cannot be read: The file “fifo.plist” couldn’t be opened because it is not a "
              "regular file.");
    EXPECT_TRUE(fs::is_fifo(device.host(entry("k", "fifo").path)));

    // A file past the reader's size limit (sparse, so it costs no disk), and a folder.
    const std::string big = device.host(entry("k", "big").path);
    std::ofstream(big).close();
    fs::resize_file(big, PlistLimits{}.maxBytes + 1);
    EXPECT_EQ(refusal("big"),
              "the file cannot be read: The file “big.plist” couldn’t be opened because it is too large.");
    EXPECT_EQ(fs::file_size(big), PlistLimits{}.maxBytes + 1);
    device.mkdirs(entry("k", "folder").path);
    EXPECT_NE(refusal("folder").find("it is a folder"), std::string::npos);

    // A link to nothing is a file not written yet: the store makes it.
    fs::create_symlink("nothing.plist", device.host(entry("k", "dangling").path));
    EXPECT_TRUE(PSPreferenceFile::store(entry("k", "dangling"), PlistValue(2)));
    EXPECT_EQ(device.readPlist(entry("k", "dangling").path).get("k"), PlistValue(2));
}

TEST_F(PSPreferenceFileTest, AListWithNulInItsStringsIsReadAndKeptWhole) {
    if (!havePython())
        GTEST_SKIP() << "python3 with plistlib is not available";
    // Another program's binary list with U+0000 inside a key and a value, as plistlib writes it.
    device.write("/gen.py", "import plistlib, sys\n"
                            "v = {'name': 'a\\x00b', 'k\\x00ey': True, 'on': False}\n"
                            "open(sys.argv[1], 'wb').write(plistlib.dumps(v, fmt=plistlib.FMT_BINARY))\n");
    int status = 0;
    runCommand("python3 " + device.host("/gen.py") + " " + device.host(entry("on").path), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(PSPreferenceFile::valueOf(entry("name")).value(), PlistValue(std::string("a\0b", 3)));

    ASSERT_TRUE(PSPreferenceFile::store(entry("on"), PlistValue(true)));
    PlistValue stored = device.readPlist(entry("on").path);
    EXPECT_EQ(stored.count(), 3u);
    EXPECT_EQ(stored.get("on"), PlistValue(true));
    EXPECT_EQ(stored.get("name"), PlistValue(std::string("a\0b", 3)));
    EXPECT_EQ(stored.get(std::string("k\0ey", 4)), PlistValue(true));
}

TEST_F(PSPreferenceFileTest, AFailedWriteSaysWhyWithTheDevicePath) {
    // The folder is missing: nothing is created on the way.
    Result<> saved = PSPreferenceFile::store({"/var/mobile/Nowhere/x.plist", "k"}, PlistValue(1));
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.reason().find(device.root()), std::string::npos) << saved.reason();
    EXPECT_FALSE(device.exists("/var/mobile/Nowhere"));
}

TEST_F(PSPreferenceFileTest, StoresFromManyThreadsLoseNoKey) {
    constexpr int kThreads = 4, kKeys = 8;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int k = 0; k < kKeys; ++k)
                EXPECT_TRUE(PSPreferenceFile::store(entry("k" + std::to_string(t) + "-" + std::to_string(k)),
                                                    PlistValue(k)));
        });
    for (auto& thread : threads)
        thread.join();
    PlistValue stored = device.readPlist(entry("k").path);
    EXPECT_EQ(stored.count(), static_cast<std::size_t>(kThreads * kKeys));
}

TEST_F(PSPreferenceFileTest, ARowsEntryNeedsAKeyAndAFileItsRulesAccept) {
    auto ok = PSPreferenceFile::entryOf(*row("on", "com.x"), PSPreferencePathRules::Strict);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok.value().path, std::string(kFolder) + "/com.x.plist");
    EXPECT_EQ(ok.value().key, "on");
    EXPECT_EQ(
        PSPreferenceFile::entryOf(*row(PlistValue(7), "com.x"), PSPreferencePathRules::Lenient).reason(),
        "the row has no \"key\"");
    EXPECT_EQ(PSPreferenceFile::entryOf(*row("on", PlistValue()), PSPreferencePathRules::Lenient).reason(),
              "the row has no \"defaults\"");
    // The rules are the caller's: the pane's take "", the framework's do not.
    EXPECT_TRUE(PSPreferenceFile::entryOf(*row("on", ""), PSPreferencePathRules::Lenient));
    EXPECT_FALSE(PSPreferenceFile::entryOf(*row("on", ""), PSPreferencePathRules::Strict));
}

} // namespace
