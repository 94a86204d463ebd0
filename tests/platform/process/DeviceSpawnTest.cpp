#include "platform/process/DeviceSpawn.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace {

class DeviceSpawnTest : public ::testing::Test {
protected:
    void SetUp() override {
        respringHandler = DeviceSpawn::setRespringHandler([this] { ++resprings; });
    }
    int spawn(const char* path, std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        return device::posix_spawn(&pid, path, nullptr, nullptr, argv.data(), nullptr);
    }
    int resprings = 0;
    Subscription respringHandler;
};

TEST_F(DeviceSpawnTest, KillallOfBackboarddResprings) {
    EXPECT_EQ(spawn("/usr/bin/killall", {"killall", "backboardd"}), 0);
    EXPECT_EQ(resprings, 1);
    EXPECT_EQ(spawn("/usr/bin/killall", {"killall", "SpringBoard"}), 0);
    EXPECT_EQ(resprings, 1);
    auto records = DeviceSpawn::records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, "/usr/bin/killall");
    EXPECT_EQ(records[0].argv, (std::vector<std::string>{"killall", "backboardd"}));
    EXPECT_EQ(records[0].result, 0);
}

TEST_F(DeviceSpawnTest, EveryOtherProgramIsMissingAndNothingRunsOnTheHost) {
    std::string marker = (std::filesystem::temp_directory_path() / "oc-spawn-marker").string();
    std::filesystem::remove(marker);
    EXPECT_EQ(spawn("/usr/bin/touch", {"touch", marker}), ENOENT);
    EXPECT_EQ(spawn("/bin/sh", {"sh", "-c", "touch " + marker}), ENOENT);
    EXPECT_EQ(spawn("killall", {"killall", "backboardd"}), ENOENT); // not the device's path
    EXPECT_EQ(device::posix_spawn(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), ENOENT);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(resprings, 0);
    EXPECT_EQ(DeviceSpawn::records().size(), 4u);
    EXPECT_EQ(DeviceSpawn::records()[0].result, ENOENT);
}

TEST_F(DeviceSpawnTest, TheNewestHandlerServesAndAnOlderHandleLeavesItBe) {
    int newer = 0;
    Subscription replacing = DeviceSpawn::setRespringHandler([&] { ++newer; });
    respringHandler.reset(); // the fixture's handler was replaced: its handle cancels nothing
    EXPECT_EQ(spawn("/usr/bin/killall", {"killall", "backboardd"}), 0);
    EXPECT_EQ(newer, 1);
    EXPECT_EQ(resprings, 0);
    replacing.reset();
    EXPECT_EQ(spawn("/usr/bin/killall", {"killall", "backboardd"}), 0);
    EXPECT_EQ(newer, 1);
    EXPECT_EQ(DeviceSpawn::records().size(), 2u);
}

} // namespace
