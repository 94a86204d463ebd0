// What a script and a command line may hold, and what the simulator says when they hold more.

#include "support/DeviceFixture.h"

#include "sim/script/ScriptNumbers.h"
#include "sim/script/ScriptRunner.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::optional<ScriptError> parseScript(const std::string& script) {
    std::vector<ScriptCommand> commands;
    return ScriptRunner::parse(script, commands);
}

TEST(ScriptLimitsTest, ScriptsAndLinesAreBounded) {
    EXPECT_FALSE(parseScript(std::string(ScriptRunner::kMaximumLineBytes, ' ') + "\n"));
    auto longLine = parseScript("open\n" + std::string(ScriptRunner::kMaximumLineBytes + 1, '#') + "\n");
    ASSERT_TRUE(longLine);
    EXPECT_EQ(longLine->text(), "line 2: the line is longer than 4096 bytes");
    std::string huge;
    while (huge.size() <= ScriptRunner::kMaximumScriptBytes)
        huge += "dump\n";
    auto tooBig = parseScript(huge);
    ASSERT_TRUE(tooBig);
    EXPECT_EQ(tooBig->text(), "the script is longer than 1048576 bytes");
}

TEST(ScriptLimitsTest, AByteOrderMarkBeforeTheFirstCommandIsNotPartOfIt) {
    std::vector<ScriptCommand> commands;
    ASSERT_FALSE(ScriptRunner::parse("\xEF\xBB\xBFopen\ndump\n", commands));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].name, "open");
    // Anywhere else it is an unknown word, as before.
    EXPECT_TRUE(parseScript("open\n\xEF\xBB\xBF"
                            "dump\n"));
}

TEST(ScriptLimitsTest, NumbersReadOneWayEverywhere) {
    EXPECT_EQ(scriptNumber("0.5"), 0.5);
    EXPECT_EQ(scriptNumber("-3"), -3.0);
    EXPECT_EQ(scriptNumber("0x10"), 16.0);
    EXPECT_TRUE(scriptNumber("1e-320")); // too small for a double: the nearest one
    for (const char* bad : {"", " ", "1.5x", "x", "1e400", "inf", "nan", "0.5 "})
        EXPECT_FALSE(scriptNumber(bad)) << bad;
    EXPECT_EQ(scriptInteger("-42"), -42);
    EXPECT_FALSE(scriptInteger("4.2"));
    EXPECT_FALSE(scriptInteger("99999999999999999999"));
    EXPECT_EQ(scriptCount("0"), 0);
    EXPECT_EQ(scriptCount("60"), 60);
    for (const char* bad : {"-1", "+1", " 1", "1.5", "1e3", "0x10", "", "99999999999999999999"})
        EXPECT_FALSE(scriptCount(bad)) << bad;
}

TEST(ScriptLimitsTest, WaitTakesZeroToADay) {
    EXPECT_FALSE(parseScript("wait 0\nwait 1e-320\nwait 86400\n"));
    for (const char* bad : {"wait 86401\n", "wait 1e15\n", "wait inf\n", "wait nan\n", "wait -0.5\n"}) {
        auto error = parseScript(bad);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->text().rfind("line 1: wait takes a number of seconds from 0 to 86400", 0), 0u)
            << error->text();
    }
}

TEST(ScriptLimitsTest, TheProgramRefusesScriptsThatAreNotFilesAndBadOptionsWithTwo) {
    DeviceFixture device;
    std::string common = "--device " + device.root() + " ";
    std::string out;
    // A FIFO would block an ordinary read for ever; an endless device would fill the memory.
    ASSERT_EQ(mkfifo(device.host("/script.fifo").c_str(), 0600), 0);
    EXPECT_EQ(runSimProgram(common + "--script " + device.host("/script.fifo"), out, true), 2);
    EXPECT_NE(out.find(": not a regular file"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(runSimProgram(common + "--script /dev/zero", out, true), 2);
    EXPECT_NE(out.find(": not a regular file"), std::string::npos) << out;

    for (const char* bad : {"--no-such-option", "--screen infxinf@2", "--screen 375x667@9",
                            "--screen 10x10@2", "--device /no/such/folder", "--dump extra"}) {
        out.clear();
        EXPECT_EQ(runSimProgram(common + bad, out, true), 2) << bad << ": " << out;
    }
    out.clear();
    EXPECT_EQ(runSimProgram("--help", out, true), 0);
    EXPECT_NE(out.find("--catalogue"), std::string::npos);
}

TEST(ScriptLimitsTest, WorkThatCouldNotBeSavedFailsTheScript) {
    DeviceFixture device;
    device.write("/file", "a file where a folder should be");
    const std::string nowhere = device.host("/file");
    std::string common = "--headless --device " + device.root() + " --script " + device.host("/s") + " ";
    std::string out;
    // A screenshot, a stopped recording and one the script left running, each into a folder
    // that cannot exist: every one is an error with its line, and the exit status says so.
    const std::pair<std::string, std::string> scripts[] = {
        {"open\nscreenshot " + nowhere + "/a.png\n",
         "line 2: cannot write the screenshot " + nowhere + "/a.png"},
        {"open\nrecord " + nowhere + "/a.webp\nwait 0.1\nstop\n",
         "line 4: cannot write the recording " + nowhere + "/a.webp"},
        {"open\nrecord " + nowhere + "/b.webp\nwait 0.1\n",
         "line 3: cannot write the recording " + nowhere + "/b.webp"},
    };
    for (const auto& [script, message] : scripts) {
        device.write("/s", script);
        out.clear();
        EXPECT_EQ(runSimProgram(common, out, true), 2) << script;
        EXPECT_NE(out.find(message), std::string::npos) << out;
    }
}

} // namespace
