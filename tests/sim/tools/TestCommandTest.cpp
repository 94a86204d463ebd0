#include "sim/tools/TestCommand.h"

#include "sim/SimTestSupport.h"
#include "support/TempDeviceRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>

namespace {

using testing::HasSubstr;

namespace fs = std::filesystem;

// A folder of scripts, and a temporary folder that the program's device copies go into (its
// TMPDIR), so that a test sees whether they were removed.
class TestCommandTest : public testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("TMPDIR");
        previousTemp_ = previous ? std::optional<std::string>(previous) : std::nullopt;
        setenv("TMPDIR", temp.path().c_str(), 1);
    }
    void TearDown() override {
        if (previousTemp_)
            setenv("TMPDIR", previousTemp_->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    int test(const std::string& arguments, std::string& out) {
        return runSimProgram("test " + arguments, out, true);
    }
    bool tempIsEmpty() const { return fs::is_empty(temp.path()); }

    TempDeviceRoot scripts;
    TempDeviceRoot temp;

private:
    std::optional<std::string> previousTemp_;
};

TEST_F(TestCommandTest, PassingFailingAndBrokenScriptsAreReportedInOrderWithAJUnitReport) {
    scripts.write("/a-pass.script", "open bundle \"Dimmer\"\nexpect title \"Dimmer\"\n");
    scripts.write("/b-fail.script",
                  "open bundle \"Dimmer\"\n# the switch starts on\nexpect value \"Enabled\" \"off\"\n");
    scripts.write("/nested/c-broken.script", "open bundle \"Dimmer\"\nflip \"Enabled\"\n");
    scripts.write("/nested/notes.txt", "not a script\n");
    const std::string report = scripts.host("/report.xml");
    std::string out;
    EXPECT_EQ(test(scripts.path() + " -j 2 --junit " + report, out), 2) << out;

    const auto pass = out.find("PASS a-pass.script (");
    const auto fail = out.find(
        "FAIL b-fail.script: line 3: expected the row \"Enabled\" to show \"off\", it shows \"on\"\n");
    const auto broken = out.find("ERROR nested/c-broken.script: line 2: unknown command \"flip\"");
    ASSERT_NE(pass, std::string::npos) << out;
    ASSERT_NE(fail, std::string::npos) << out;
    ASSERT_NE(broken, std::string::npos) << out;
    EXPECT_LT(pass, fail);
    EXPECT_LT(fail, broken);
    EXPECT_THAT(out, HasSubstr("3 scripts: 1 passed, 1 failed, 1 errors ("));
    EXPECT_THAT(out, testing::Not(HasSubstr("notes.txt")));
    EXPECT_TRUE(tempIsEmpty()) << "device copies left behind";

    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(report.c_str())) << report;
    pugi::xml_node suite = xml.child("testsuite");
    EXPECT_EQ(suite.attribute("tests").as_int(), 3);
    EXPECT_EQ(suite.attribute("failures").as_int(), 1);
    EXPECT_EQ(suite.attribute("errors").as_int(), 1);
    std::vector<std::string> names;
    for (pugi::xml_node testcase : suite.children("testcase"))
        names.push_back(testcase.attribute("name").value());
    EXPECT_EQ(names, (std::vector<std::string>{"a-pass.script", "b-fail.script", "nested/c-broken.script"}));
    pugi::xml_node passed = suite.find_child_by_attribute("testcase", "name", "a-pass.script");
    EXPECT_FALSE(passed.child("failure"));
    EXPECT_FALSE(passed.child("error"));
    pugi::xml_node failed = suite.find_child_by_attribute("testcase", "name", "b-fail.script");
    EXPECT_STREQ(failed.child("failure").attribute("message").value(),
                 "line 3: expected the row \"Enabled\" to show \"off\", it shows \"on\"");
    EXPECT_THAT(std::string(failed.child("system-out").text().get()), HasSubstr("b-fail.script: line 3"));
    pugi::xml_node error = suite.find_child_by_attribute("testcase", "name", "nested/c-broken.script");
    EXPECT_THAT(std::string(error.child("error").attribute("message").value()), HasSubstr("unknown command"));
}

TEST_F(TestCommandTest, TheStatusIsZeroWhenAllPassOneWhenOneFailsAndTwoWhenNothingRuns) {
    scripts.write("/pass.script", "open\n");
    std::string out;
    EXPECT_EQ(test(scripts.host("/pass.script"), out), 0) << out;
    EXPECT_THAT(out, HasSubstr("1 scripts: 1 passed, 0 failed, 0 errors"));

    scripts.write("/fail.script", "open bundle \"Dimmer\"\nexpect rows 0\n");
    out.clear();
    EXPECT_EQ(test(scripts.path(), out), 1) << out;

    scripts.mkdirs("/empty");
    out.clear();
    EXPECT_EQ(test(scripts.host("/empty"), out), 2) << out;
    EXPECT_THAT(out, HasSubstr("no *.script found"));
    out.clear();
    EXPECT_EQ(test(scripts.host("/no-such-folder"), out), 2) << out;
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(TestCommandTest, AScriptThatHangsIsKilledAtTheTimeoutAndReportedAsAnError) {
    // Held responses keep the catalogue request in flight, and "network wait" waits for it.
    scripts.write("/hang.script", "open\nnetwork hold\ntap \"Get Extensions\"\nnetwork wait\n");
    const std::string report = scripts.host("/report.xml");
    std::string out;
    EXPECT_EQ(test(scripts.host("/hang.script") + " --timeout 1 --junit " + report, out), 2) << out;
    EXPECT_THAT(out, HasSubstr("ERROR " + scripts.host("/hang.script") + ": timed out after 1.00 s"));
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(report.c_str()));
    EXPECT_EQ(xml.child("testsuite").attribute("errors").as_int(), 1);
    EXPECT_TRUE(tempIsEmpty()) << "device copies left behind";
}

TEST_F(TestCommandTest, ABundleUnderTestIsInstalledIntoEachCopyOfTheSampleDevice) {
    scripts.write("/Tiny.bundle/Root.plist", R"({ title = Tiny; items = (
        { cell = PSSwitchCell; label = Sparkle; key = sparkle; defaults = com.example.tiny; default = 0; }
    ); })");
    scripts.write("/tests/tiny.script", R"(open bundle "Tiny"
expect rows 1
set "Sparkle" on
expect file com.example.tiny sparkle true
open
expect title "Tiny"
expect value "Sparkle" "on"
)");
    std::string out;
    EXPECT_EQ(test(scripts.host("/tests") + " --bundle " + scripts.host("/Tiny.bundle"), out), 0) << out;
    EXPECT_TRUE(tempIsEmpty());
}

TEST_F(TestCommandTest, AProjectsTestsRunEachOnACopyWithTheProjectInstalled) {
    scripts.write("/tweak/Makefile", "SUBPROJECTS = prefs\n");
    scripts.write("/tweak/control", "Package: com.example.tiny\nName: Tiny Tweak\nVersion: 0.3\n");
    scripts.write("/tweak/prefs/Makefile",
                  "export THEOS_PACKAGE_SCHEME = rootless\nBUNDLE_NAME = TinyPrefs\n");
    scripts.write("/tweak/prefs/Resources/Root.plist", R"({ items = (
        { cell = PSSwitchCell; label = Sparkle; key = sparkle; defaults = com.example.tiny; default = 0; }
    ); })");
    scripts.write("/tweak/prefs/entry.plist",
                  "{ entry = { bundle = TinyPrefs; cell = PSLinkCell; isController = 1; label = Tiny; }; }");
    // Each script sees the project freshly installed, whatever the one before it stored.
    for (const char* name : {"/tweak/tests/a.script", "/tweak/tests/b.script"})
        scripts.write(name, R"(open
expect title "Tiny"
expect file com.example.tiny sparkle missing
set "Sparkle" on
expect file com.example.tiny sparkle true
)");
    std::string out;
    EXPECT_EQ(test("--project " + scripts.host("/tweak") + " -j 1", out), 0) << out;
    EXPECT_NE(out.find("2 scripts: 2 passed"), std::string::npos) << out;
    EXPECT_TRUE(tempIsEmpty());
    // A project without a bundle is one error.
    scripts.write("/empty/Makefile", "SUBPROJECTS = none\n");
    scripts.write("/empty/tests/a.script", "open\n");
    std::string none;
    EXPECT_EQ(test("--project " + scripts.host("/empty"), none), 2);
    EXPECT_NE(none.find("has no preference bundle"), std::string::npos) << none;
}

TEST(TestCommandReportTest, ReportTextIsEscapedAndStaysWellFormed) {
    EXPECT_EQ(xmlEscaped("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
    EXPECT_EQ(xmlEscaped("bell\a, bad \xC3(, ok \xC3\xA9"),
              "bell\xEF\xBF\xBD, bad \xEF\xBF\xBD(, ok \xC3\xA9");

    std::vector<TestScript> scripts{{"x<y>.script", "x"}};
    std::vector<TestOutcome> outcomes{
        {TestOutcome::Status::Failed, "line 1: \"a\" & <b>", "out\x01\xFF\n", 0.5}};
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_string(junitReport(scripts, outcomes, 0.5).c_str()));
    pugi::xml_node testcase = xml.child("testsuite").child("testcase");
    EXPECT_STREQ(testcase.attribute("name").value(), "x<y>.script");
    EXPECT_STREQ(testcase.child("failure").attribute("message").value(), "line 1: \"a\" & <b>");
    EXPECT_STREQ(testcase.child("system-out").text().get(), "out\xEF\xBF\xBD\xEF\xBF\xBD\n");
}

// The examples shipped with the project pass, as a tweak developer's CI would run them.
TEST_F(TestCommandTest, TheExampleTestsPass) {
    const std::string report = scripts.host("/examples.xml");
    std::string out;
    EXPECT_EQ(test(std::string(ORBITCHAT_SOURCE_DIR) + "/examples/tests --junit " + report, out), 0) << out;
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(report.c_str()));
    pugi::xml_node suite = xml.child("testsuite");
    EXPECT_GE(suite.attribute("tests").as_int(), 2);
    EXPECT_EQ(suite.attribute("failures").as_int(), 0);
    EXPECT_EQ(suite.attribute("errors").as_int(), 0);
    EXPECT_TRUE(suite.find_child_by_attribute("testcase", "name", "dimmer.script"));
    EXPECT_TRUE(tempIsEmpty());
}

} // namespace
