#include "sim/script/ExpectCommands.h"

#include "sim/script/ScriptRunner.h"
#include "support/DeviceFixture.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Kind = ScriptError::Kind;

TEST(ExpectMatchingTest, BooleansNumbersTextAndAbsentValues) {
    for (const char* yes : {"true", "on", "YES", "1"}) {
        EXPECT_TRUE(ExpectCommands::matches(PlistValue(true), yes)) << yes;
        EXPECT_FALSE(ExpectCommands::matches(PlistValue(false), yes)) << yes;
    }
    for (const char* no : {"false", "off", "NO", "0"})
        EXPECT_TRUE(ExpectCommands::matches(PlistValue(false), no)) << no;
    // Only the spellings above are booleans: "yes" is text, and text never equals a boolean.
    EXPECT_FALSE(ExpectCommands::matches(PlistValue(true), "yes"));
    EXPECT_FALSE(ExpectCommands::matches(PlistValue(true), "2"));

    EXPECT_TRUE(ExpectCommands::matches(PlistValue(std::int64_t{3}), "3.0"));
    EXPECT_TRUE(ExpectCommands::matches(PlistValue(0.1 + 0.2), "0.3"));
    EXPECT_TRUE(ExpectCommands::matches(PlistValue(0.5), "5e-1"));
    EXPECT_FALSE(ExpectCommands::matches(PlistValue(0.5), "0.51"));
    EXPECT_FALSE(ExpectCommands::matches(PlistValue(std::int64_t{3}), "three"));

    EXPECT_TRUE(ExpectCommands::matches(PlistValue("warm"), "warm"));
    EXPECT_FALSE(ExpectCommands::matches(PlistValue("warm"), "Warm"));
    // A stored string of digits is text, compared as text.
    EXPECT_FALSE(ExpectCommands::matches(PlistValue("1.0"), "1"));

    EXPECT_FALSE(ExpectCommands::matches(PlistValue(), ""));
    EXPECT_FALSE(ExpectCommands::matches(PlistValue(), "missing"));
}

TEST(ExpectMatchingTest, LinesAreCheckedBeforeAnythingRuns) {
    std::vector<ScriptCommand> commands;
    for (const char* bad : {"expect", "expect colour \"Enabled\"", "expect value \"Enabled\"",
                            "expect rows many", "expect rows -1", "expect file ../../etc passwd missing",
                            "expect file com.example/x key 1", "expect no-placeholders now"}) {
        commands.clear();
        auto error = ScriptRunner::parse(std::string(bad) + "\n", commands);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->kind, Kind::CannotRun) << bad;
        EXPECT_EQ(error->exitStatus(), 2);
    }
    EXPECT_FALSE(
        ScriptRunner::parse("expect file /var/mobile/x.plist key missing\nexpect rows 0\n", commands));
    EXPECT_EQ(ExpectCommands::preferencesPath("com.example.dimmer"),
              "/var/mobile/Library/Preferences/com.example.dimmer.plist");
    EXPECT_EQ(ExpectCommands::preferencesPath("/Library/x.plist"), "/Library/x.plist");
}

class ExpectCommandsTest : public ::testing::Test {
protected:
    std::optional<ScriptError> run(const std::string& script) {
        Simulator::Options options;
        options.deviceRoot = device.path();
        std::string out;
        return runSimScript(options, script, out);
    }
    // Runs `script`, which must stop at its last line with an unmet expectation; answers the message.
    std::string unmetMessage(const std::string& script) {
        auto error = run(script);
        if (!error)
            return "(the script passed)";
        EXPECT_EQ(error->kind, Kind::UnmetExpectation) << error->text();
        EXPECT_EQ(error->exitStatus(), 1);
        EXPECT_EQ(error->line, static_cast<std::size_t>(std::count(script.begin(), script.end(), '\n')));
        return error->message;
    }
    SampleDeviceCopy device;
};

TEST_F(ExpectCommandsTest, MetExpectationsOfEveryKindLetTheScriptRunOn) {
    auto error = run(R"(open bundle "Dimmer"
expect title "Dimmer"
expect no-placeholders
expect alert none
expect value "Enabled" "on"
expect stored key=enabled YES
expect file com.example.dimmer enabled missing
set "Enabled" off
expect value "Enabled" "off"
expect stored "Enabled" off
expect file com.example.dimmer enabled 0
expect file /var/mobile/Library/Preferences/com.example.dimmer.plist enabled NO
expect notification com.example.dimmer/changed
set "Tint" "Deep Red"
expect value "Tint" "Red"
expect stored "Tint" red
expect file com.example.dimmer tint red
)");
    EXPECT_FALSE(error) << error->text();
}

TEST_F(ExpectCommandsTest, UnmetExpectationsSayWhatWasExpectedAndWhatIsThere) {
    const std::string open = "open bundle \"Dimmer\"\n";
    EXPECT_EQ(unmetMessage(open + "expect value \"Enabled\" \"off\"\n"),
              "expected the row \"Enabled\" to show \"off\", it shows \"on\"");
    EXPECT_EQ(unmetMessage(open + "expect stored \"Enabled\" false\n"),
              "expected the row \"Enabled\" to store false, it stores true");
    EXPECT_EQ(unmetMessage(open + "expect file com.example.dimmer enabled true\n"),
              "expected enabled in /var/mobile/Library/Preferences/com.example.dimmer.plist to be true, "
              "there is no such file");
    EXPECT_EQ(unmetMessage(open + "set \"Enabled\" off\nexpect file com.example.dimmer enabled missing\n"),
              "expected no enabled in /var/mobile/Library/Preferences/com.example.dimmer.plist, it is false");
    EXPECT_EQ(unmetMessage(open + "set \"Enabled\" off\nexpect file com.example.dimmer level 0.4\n"),
              "expected level in /var/mobile/Library/Preferences/com.example.dimmer.plist to be 0.4, it is "
              "missing");
    EXPECT_EQ(unmetMessage(open + "expect notification com.example.dimmer/changed\n"),
              "expected the notification \"com.example.dimmer/changed\" to have been posted, none was");
    EXPECT_EQ(unmetMessage(open + "expect title \"Glow\"\n"),
              "expected the title \"Glow\", the screen is titled \"Dimmer\"");
    EXPECT_EQ(unmetMessage(open + "expect alert \"Reset?\"\n"),
              "expected the alert \"Reset?\", no alert is shown");
    EXPECT_EQ(unmetMessage(open + "expect action \"OK\"\n"),
              "expected an alert with the action \"OK\", no alert is shown");
    EXPECT_EQ(unmetMessage(open + "expect log \"no such line\"\n"),
              "expected a log line containing \"no such line\", there is none");
    EXPECT_NE(unmetMessage(open + "expect rows 99\n").find("expected 99 rows, the list shows "),
              std::string::npos);
}

TEST_F(ExpectCommandsTest, ALineThatCannotBeCheckedIsNotAnUnmetExpectation) {
    for (const char* script : {"open bundle \"Dimmer\"\nexpect value \"Brightness\" \"on\"\n",
                               "open bundle \"Dimmer\"\nexpect stored key=nothing 1\n", "expect rows 3\n",
                               "expect no-placeholders\n"}) {
        auto error = run(script);
        ASSERT_TRUE(error) << script;
        EXPECT_EQ(error->kind, Kind::CannotRun) << error->text();
        EXPECT_EQ(error->exitStatus(), 2);
    }
}

TEST_F(ExpectCommandsTest, ADevicePathStaysOnTheDevice) {
    // The host's own files are out of reach: a path that climbs out of the device root reads nothing.
    EXPECT_EQ(unmetMessage("expect file /../../../../etc/hostname x 1\n").rfind("expected x in ", 0), 0u);
    EXPECT_FALSE(run("expect file /../../../../etc/passwd root missing\n"));
}

TEST(ExpectProgramTest, AnUnmetExpectationExitsWithOneAndABrokenScriptWithTwo) {
    SampleDeviceCopy device;
    std::string out;
    device.write("/unmet.script", "open bundle \"Dimmer\"\n\nexpect value \"Enabled\" \"off\"\n");
    EXPECT_EQ(
        runSimProgram("--device " + device.path() + " --script " + device.host("/unmet.script"), out, true),
        1);
    EXPECT_NE(out.find("unmet.script: line 3: expected the row \"Enabled\" to show \"off\", it shows \"on\""),
              std::string::npos)
        << out;
    out.clear();
    device.write("/missing-row.script", "open bundle \"Dimmer\"\nexpect value \"Nope\" \"off\"\n");
    EXPECT_EQ(runSimProgram("--device " + device.path() + " --script " + device.host("/missing-row.script"),
                            out, true),
              2)
        << out;
}

} // namespace
