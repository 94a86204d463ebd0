// What the program loads when it starts: a headless run maps neither the window module nor SDL
// nor libarchive, a program with a display but without its window module stops with a clear
// error, and the module built beside the program loads and has its factory.

#include "sim/screen/WindowModule.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(ORBITCHAT_BINARY_DIR) / "src/sim/orbitchat-sim";

// The libraries that only a window, a package or a recording needs.
const char* const kLoadedOnDemand[] = {"libSDL2", "orbitchat-sim-window", "libarchive"};

TEST(WindowModuleTest, AHeadlessScriptLoadsNoLibraryThatOnlyAWindowOrAPackageNeeds) {
    SampleDeviceCopy device;
    TempDeviceRoot work;
    work.write("/open-dump.script", "open\ndump\n");
    // The dynamic loader names every library it maps ("file=libSDL2-2.0.so.0 [0];  needed by
    // ..."), so a library loaded through another one is seen too.
    const std::string command = "env LD_DEBUG=files LD_DEBUG_OUTPUT='" + work.host("/loader") + "' '" +
                                kProgram.string() + "' --headless --device '" + device.path() +
                                "' --script '" + work.host("/open-dump.script") + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string log;
    for (const auto& entry : fs::directory_iterator(work.path()))
        if (entry.path().filename().string().starts_with("loader"))
            log += work.read("/" + entry.path().filename().string());
    ASSERT_NE(log.find("file=libstdc++"), std::string::npos) << "the loader's log was not read:\n" << log;
    for (const char* library : kLoadedOnDemand)
        EXPECT_EQ(log.find(library), std::string::npos) << library << " was loaded:\n" << log;
}

TEST(WindowModuleTest, AProgramWithADisplayButWithoutItsModuleSaysSoAndStops) {
    TempDeviceRoot copy;
    copy.mkdirs("/bin");
    fs::copy_file(kProgram, copy.host("/bin/orbitchat-sim"));
    const std::string data = std::string(ORBITCHAT_BINARY_DIR) + "/share/orbitchat-sim";
    const std::string missing = WindowModule::fileFor(copy.host("/bin/orbitchat-sim")).string();
    for (const char* arguments : {"", " --hud-gallery"}) {
        // A display that does not exist: the module is looked for before anything talks to it.
        const std::string command = "env DISPLAY=:4242 ORBITCHAT_SIM_DATA='" + data + "' '" +
                                    copy.host("/bin/orbitchat-sim") + "'" + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_TRUE(pipe);
        std::string out;
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        const int status = pclose(pipe);
        ASSERT_TRUE(WIFEXITED(status)) << "the program did not exit (a crash?):\n" << out;
        EXPECT_EQ(WEXITSTATUS(status), 1) << out;
        EXPECT_NE(out.find("orbitchat-sim: the window back end could not be loaded: " + missing),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("recording"), std::string::npos) << "it recorded in place of the window:\n" << out;
    }
}

TEST(WindowModuleTest, TheModuleBuiltBesideTheProgramLoadsWithItsFactory) {
    ASSERT_TRUE(fs::exists(WindowModule::fileFor(kProgram))) << WindowModule::fileFor(kProgram);
    auto factory = WindowModule::load(kProgram);
    ASSERT_TRUE(factory) << factory.reason();
    EXPECT_NE(factory.value(), nullptr);

    // A program file anywhere else finds no module, and the reason names where it looked.
    TempDeviceRoot elsewhere;
    auto missing = WindowModule::load(elsewhere.host("/bin/orbitchat-sim"));
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.reason().find(WindowModule::fileFor(elsewhere.host("/bin/orbitchat-sim")).string()),
              std::string::npos)
        << missing.reason();
}

} // namespace
