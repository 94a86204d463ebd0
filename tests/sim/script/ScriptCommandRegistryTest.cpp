// The one table of script commands: what every registration must hold to, what a session does
// with a command that needs the screen, and what a run reports of the files it wrote.

#include "sim/script/ScriptCommandRegistry.h"
#include "sim/script/ScriptRunner.h"
#include "sim/script/ScriptSession.h"
#include "sim/settings/Simulator.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TEST(ScriptCommandRegistryTest, EveryRegistrationIsCompleteAndNamedOnce) {
    std::set<std::string_view> names;
    for (const auto& command : ScriptCommandRegistry::all()) {
        SCOPED_TRACE(std::string(command.name));
        EXPECT_TRUE(names.insert(command.name).second) << "registered twice";
        EXPECT_TRUE(command.run);
        // The usage is what a script's author reads: it starts with the word they type.
        EXPECT_EQ(command.usage.substr(0, command.name.size()), command.name);
        // A command whose count is not fixed must check its arguments itself.
        EXPECT_TRUE(command.arguments || command.check);
        EXPECT_EQ(ScriptCommandRegistry::find(command.name), &command);
    }
    EXPECT_EQ(ScriptCommandRegistry::find("fly"), nullptr);
}

TEST(ScriptCommandRegistryTest, AWrongCountNamesTheUsageAndAnUnknownNameListsEveryCommand) {
    for (const auto& command : ScriptCommandRegistry::all()) {
        if (!command.arguments)
            continue;
        std::vector<std::string> words(*command.arguments + 2, "1");
        words[0] = command.name;
        auto problem = ScriptCommandRegistry::check(words);
        ASSERT_TRUE(problem) << command.name;
        EXPECT_EQ(*problem, "\"" + std::string(command.name) + "\" takes " +
                                std::to_string(*command.arguments) +
                                " argument(s): " + std::string(command.usage));
    }
    auto unknown = ScriptCommandRegistry::check({"fly"});
    ASSERT_TRUE(unknown);
    for (const auto& command : ScriptCommandRegistry::all())
        EXPECT_NE(unknown->find(std::string(command.name)), std::string::npos) << command.name;
}

class ScriptSessionTest : public ::testing::Test {
protected:
    SampleDeviceCopy device;
    TempDeviceRoot output;
    Simulator::Options options() const {
        Simulator::Options o;
        o.deviceRoot = device.path();
        return o;
    }
};

TEST_F(ScriptSessionTest, ACommandThatNeedsTheScreenMakesOneInASessionStartedWithout) {
    Simulator simulator(options());
    std::ostringstream out;
    ScriptSession session(simulator, nullptr, output.path(), out, false);
    ASSERT_FALSE(session.screenCommands());
    EXPECT_FALSE(session.perform({1, "open", {}}));
    EXPECT_FALSE(session.screenCommands());
    auto problem = session.perform({2, "screenshot", {"first.png"}});
    ASSERT_FALSE(problem) << *problem;
    ASSERT_EQ(session.written().size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(session.written()[0]));
    EXPECT_TRUE(session.finish());
}

TEST_F(ScriptSessionTest, ARunReportsOnlyItsOwnFilesAlsoWhenItFails) {
    std::vector<ScriptCommand> withPicture, failing;
    ASSERT_FALSE(ScriptRunner::parse("open\nscreenshot one.png\n", withPicture));
    ASSERT_FALSE(ScriptRunner::parse("open\nscreenshot two.png\ntap \"No Such Row\"\n", failing));
    std::ostringstream out;

    std::vector<std::string> first, second;
    {
        Simulator simulator(options());
        EXPECT_FALSE(ScriptRunner::run(simulator, withPicture, out, output.path(), &first));
    }
    {
        Simulator simulator(options());
        auto error = ScriptRunner::run(simulator, failing, out, output.path(), &second);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->line, 3u);
    }
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(fs::path(first[0]).filename(), "one.png");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(fs::path(second[0]).filename(), "two.png");
}

TEST_F(ScriptSessionTest, ARecordingLeftRunningThatCannotBeWrittenFailsTheLastLine) {
    // A folder where the recording's file should go: writing it fails.
    fs::create_directories(fs::path(output.path()) / "taken.webp");
    std::vector<ScriptCommand> commands;
    ASSERT_FALSE(ScriptRunner::parse("open\nrecord taken.webp\nwait 0.1\n", commands));
    Simulator simulator(options());
    std::ostringstream out;
    std::vector<std::string> written;
    auto error = ScriptRunner::run(simulator, commands, out, output.path(), &written);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 3u);
    EXPECT_EQ(error->message.rfind("cannot write the recording ", 0), 0u) << error->message;
    EXPECT_TRUE(written.empty());
}

} // namespace
