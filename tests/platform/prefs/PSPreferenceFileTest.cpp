// The read-change-write of preference files under both value stores: files on a real device
// root, and stores from several threads at once.

#include "support/DeviceFixture.h"

#include "platform/prefs/PSPreferenceFile.h"

#include <gtest/gtest.h>

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

    // Files that are not dictionaries within the reader's limits: garbage, an array, a tree
    // deeper than the reader goes.
    std::string deep = "{ k = 1; deep = " + std::string(300, '(') + std::string(300, ')') + "; }";
    for (const std::string& content : {std::string("garbage \x01"), std::string("( 1, 2 )"), deep}) {
        device.write(entry("k", "bad").path, content);
        Result<> saved = PSPreferenceFile::store(entry("k", "bad"), PlistValue(1));
        EXPECT_EQ(saved.reason(), "the file is not a dictionary property list");
        EXPECT_FALSE(PSPreferenceFile::valueOf(entry("k", "bad")));
        EXPECT_EQ(device.read(entry("k", "bad").path), content);
    }
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
