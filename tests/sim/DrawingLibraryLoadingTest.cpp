// The program loads Cairo, Pango, GLib and libwebp when it first draws, not when it starts: a
// headless open and dump maps none of them, a screenshot maps the drawing libraries (and not the
// animated image writer's), and a program whose Cairo cannot be loaded fails the commands that
// draw with the reason, said once in its log, without crashing, while a plain dump still works.

#include "SimTestSupport.h"
#include "platform/graphics/CGImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

// Named, since the tests of this folder are compiled several to a unit.
namespace drawing_library_loading {

namespace fs = std::filesystem;

const std::string kSimProgramFile = std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim";
const std::string kWithoutCairo =
    "LD_LIBRARY_PATH='" + std::string(ORBITCHAT_BINARY_DIR) + "/tests/empty-libcairo'";

struct ProgramRun {
    int status = -1;    // the exit status; -1 for a program ended by a signal
    std::string out;    // standard output and error
    std::string loader; // the dynamic loader's log of the libraries it mapped
    TempDeviceRoot work;
};

// Runs the program with `arguments` (where DEVICE stands for a copy of the sample device and WORK
// for a scratch folder), `environment` before it, and the dynamic loader's log of every library
// it maps, so that a library loaded through another one is seen too.
void runProgram(ProgramRun& run, const std::string& arguments, const std::string& environment = {}) {
    SampleDeviceCopy device;
    std::string line = arguments;
    for (const auto& [name, value] : {std::pair{"DEVICE", device.path()}, std::pair{"WORK", run.work.path()}})
        for (std::size_t at; (at = line.find(name)) != std::string::npos;)
            line.replace(at, std::string(name).size(), value);
    const std::string command = "env " + environment + " LD_DEBUG=files LD_DEBUG_OUTPUT='" +
                                run.work.host("/loader") + "' '" + kSimProgramFile + "' " + line + " 2>&1";
    run.status = runShellCommand(command, run.out);
    for (const auto& entry : fs::directory_iterator(run.work.path()))
        if (entry.path().filename().string().starts_with("loader"))
            run.loader += run.work.read("/" + entry.path().filename().string());
    ASSERT_NE(run.loader.find("file=libstdc++"), std::string::npos) << "the loader's log was not read";
}

void runScript(ProgramRun& run, const std::string& script, const std::string& environment = {}) {
    std::string text = script;
    for (std::size_t at; (at = text.find("WORK")) != std::string::npos;)
        text.replace(at, 4, run.work.path());
    run.work.write("/run.script", text);
    runProgram(run, "--headless --device DEVICE --script WORK/run.script", environment);
}

bool maps(const ProgramRun& run, const std::string& library) {
    return run.loader.find("file=" + library) != std::string::npos;
}

std::size_t linesStartingWith(const std::string& text, const std::string& start) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        count += text.compare(at, start.size(), start) == 0;
        at = end + 1;
    }
    return count;
}

const char* const kUnloadable = "the drawing libraries (libcairo.so.2) could not be loaded: it has no cairo_";

TEST(DrawingLibraryLoadingTest, AHeadlessOpenAndDumpLoadsNoneOfTheDrawingLibraries) {
    ProgramRun run;
    runScript(run, "open\ndump\n");
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* library : {"libcairo", "libpango", "libglib", "libgobject", "libwebp", "libharfbuzz"})
        EXPECT_FALSE(maps(run, library)) << library << " was loaded:\n" << run.loader;
}

TEST(DrawingLibraryLoadingTest, AScreenshotLoadsTheDrawingLibrariesThenAndNotTheAnimatedImageWriters) {
    ProgramRun run;
    runScript(run, "open\nscreenshot WORK/shot.png\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(maps(run, "libcairo")) << run.loader;
    EXPECT_TRUE(maps(run, "libpangocairo")) << run.loader;
    EXPECT_FALSE(maps(run, "libwebp")) << run.loader;
    auto picture = CGImage::createFromPNGFile(run.work.host("/shot.png"));
    ASSERT_TRUE(picture) << run.out;
    EXPECT_EQ(picture->width(), 750u);
}

TEST(DrawingLibraryLoadingTest, WithoutCairoAScreenshotFailsWithTheReasonSaidOnceAndNothingCrashes) {
    ProgramRun run;
    runScript(run, "open\nscreenshot WORK/shot.png\n", kWithoutCairo);
    EXPECT_EQ(run.status, 2) << run.out; // a script's failure, not a crash
    EXPECT_NE(run.out.find(std::string(": ") + kUnloadable), std::string::npos) << run.out;
    EXPECT_EQ(linesStartingWith(run.out, kUnloadable), 1u) << run.out;
    EXPECT_FALSE(fs::exists(run.work.host("/shot.png")));
}

TEST(DrawingLibraryLoadingTest, WithoutCairoShotFailsWithTheReasonAndAPlainDumpStillWorks) {
    ProgramRun shot;
    runProgram(shot, "shot DEVICE/Library/PreferenceBundles/DimmerPrefs.bundle WORK/dimmer.png",
               kWithoutCairo);
    EXPECT_EQ(shot.status, 1) << shot.out;
    EXPECT_NE(shot.out.find(std::string("orbitchat-sim shot: ") + kUnloadable), std::string::npos)
        << shot.out;
    EXPECT_FALSE(fs::exists(shot.work.host("/dimmer.png")));

    ProgramRun dump;
    runScript(dump, "open\ndump\n", kWithoutCairo);
    ASSERT_EQ(dump.status, 0) << dump.out;
    auto dumps = splitDumps(dump.out.substr(dump.out.find("{\n")));
    ASSERT_EQ(dumps.size(), 1u) << dump.out;
    EXPECT_EQ(dumps[0]["title"], "Orbitchat");
}

} // namespace drawing_library_loading
