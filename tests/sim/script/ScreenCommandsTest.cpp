// Scripts on text rows and on preference files that cannot be read: what `type` stores and when,
// and what `set` says when it stores nothing.

#include "sim/script/ScreenCommands.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/ui/UITextField.h"
#include "sim/SimTestSupport.h"
#include "sim/settings/SettingsApp.h"

#include "support/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace {

constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.words.plist";

class ScreenCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.mkdirs("/var/mobile/Library/Preferences");
        device.write("/My.bundle/Root.plist", R"({ items = (
            { cell = PSEditTextCell; label = Name; key = name; defaults = com.words;
              PostNotification = "com.words/changed"; },
            { cell = PSSwitchCell; label = Enabled; key = enabled; defaults = com.words; },
        ); })");
    }
    Simulator::Options options() const {
        Simulator::Options o;
        o.deviceRoot = device.root();
        o.preferenceBundle = device.host("/My.bundle");
        o.offline = true;
        return o;
    }
    // Runs the script; answers its error's text, or "".
    std::string run(const std::string& script) {
        std::string out;
        auto error = runSimScript(options(), script, out);
        dumps = splitDumps(out);
        return error ? error->text() : "";
    }

    DeviceFixture device;
    std::vector<nlohmann::json> dumps;
};

} // namespace

TEST_F(ScreenCommandsTest, TypeEndsTheEditingSoTheNextLineSeesTheTextStoredOnce) {
    ASSERT_EQ(run("open\ntap Name\ntype \"Ann Lee\"\nexpect stored Name \"Ann Lee\"\ndump\n"), "");
    EXPECT_EQ(device.readPlist(kPrefs).get("name"), PlistValue("Ann Lee"));
    // One word typed, one write, one notification, however many keys it took.
    EXPECT_EQ(dumps.at(0)["notifications"], nlohmann::json::array({"com.words/changed"}));
    EXPECT_FALSE(UITextField::focusedTextField());
}

TEST_F(ScreenCommandsTest, TheAppGoingAwayMidEditStoresTheText) {
    Simulator sim(options());
    SettingsApp& app = sim.settings();
    std::ostringstream out;
    // The screen (which `scroll` makes) shows the row, whose field the tap focuses.
    ASSERT_FALSE(ScriptRunner::runScript(sim, "open\nscroll Name\ntap Name\n", out));
    auto field = UITextField::focusedTextField();
    ASSERT_TRUE(field);
    field->insertText("Half");
    EXPECT_FALSE(device.exists(kPrefs));
    app.close();
    EXPECT_EQ(device.readPlist(kPrefs).get("name"), PlistValue("Half"));
}

TEST_F(ScreenCommandsTest, SetOnAFileThatCannotBeReadSaysWhyAndLeavesIt) {
    const std::string broken = "bplist00 and then nothing a reader takes";
    device.write(kPrefs, broken);
    const std::string error = run("open\nset Enabled on\n");
    EXPECT_EQ(error.rfind("line 2: the row \"Enabled\" was not stored: the file cannot be read: The data "
                          "couldn’t be read because it isn’t in the correct format (binary list: ",
                          0),
              0u)
        << error;
    EXPECT_EQ(device.read(kPrefs), broken);

    // A FIFO where the file should be: refused, not waited on, and still a FIFO.
    std::filesystem::remove(device.host(kPrefs));
    ASSERT_EQ(mkfifo(device.host(kPrefs).c_str(), 0644), 0);
    EXPECT_EQ(run("open\nset Enabled on\n"), "line 2: the row \"Enabled\" was not stored: the file cannot be "
                                             "read: The file “com.words.plist” couldn’t be opened because it "
                                             "is not a regular file.");
    EXPECT_TRUE(std::filesystem::is_fifo(device.host(kPrefs)));
}
