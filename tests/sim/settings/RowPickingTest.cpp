// How `set`, `tap` and `type` find the row a script means in any bundle: never a group header of
// the same title, the Nth row of a title or the row of a key where titles repeat, and rows of
// library classes and of the bundle's own classes set as the device would set them.

#include "platform/prefs/PSCellClass.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/SettingsApp.h"
#include "sim/settings/Simulator.h"
#include "support/DeviceFixture.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

namespace {

constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.pick.plist";

// A colour cell of a library: text is #RRGGBB, stored upper case; other text fails with the
// class's own reason.
class PickColourCell : public PSCellClass {
public:
    std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& row,
                                                    const std::string& text) const override {
        bool hex = text.size() == 7 && text[0] == '#';
        for (std::size_t i = 1; hex && i < text.size(); ++i)
            hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
        if (!hex)
            return Result<PlistValue>(
                Failure{"the colour \"" + row.name() + "\" takes #RRGGBB, not \"" + text + "\""});
        std::string upper = text;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return Result<PlistValue>(PlistValue(upper));
    }
    std::string_view scriptInput() const override { return "#RRGGBB"; }
};

// A switch of a library that leaves the text to the stock switch but says what it takes.
class PickToggleCell : public PSCellClass {
public:
    std::string_view scriptInput() const override { return "on or off (a toggle)"; }
};

class RowPickingTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.mkdirs("/var/mobile/Library/Preferences");
        device.write("/My.bundle/Root.plist", R"({ items = (
            { cell = PSGroupCell; label = Enabled; },
            { cell = PSSwitchCell; label = Enabled; key = isEnabled; defaults = com.pick; },
            { cell = PSGroupCell; label = Glow; },
            { cell = PSSwitchCell; label = Glow; key = glowA; defaults = com.pick; },
            { cell = PSButtonCell; label = Glow; action = "glowMore:"; },
            { cell = PSSwitchCell; label = Glow; key = glowB; defaults = com.pick; },
            { cell = PSEditTextCell; label = Name; key = nameA; defaults = com.pick; },
            { cell = PSEditTextCell; label = Name; key = nameB; defaults = com.pick; },
            { cell = PSSwitchCell; label = "Track #1"; key = track; defaults = com.pick; },
            { cell = PSLinkCell; label = Tint; key = tint; defaults = com.pick; cellClass = PickColourCell; },
            { cell = PSSwitchCell; label = Toggle; key = toggle; defaults = com.pick; cellClass = PickToggleCell; },
            { cell = PSSwitchCell; label = Own; key = own; defaults = com.pick; cellClass = MyOwnSwitchCell; },
            { key = banner; defaults = com.pick; cellClass = MyBannerCell; }
        ); })");
    }
    // Runs the script on a simulator of the bundle whose device has the two library classes.
    std::optional<ScriptError> run(const std::string& script, std::string& out) {
        Simulator::Options options;
        options.deviceRoot = device.root();
        options.preferenceBundle = device.host("/My.bundle");
        options.offline = true;
        Simulator sim(options);
        PSCellClasses::registerClass("PickColourCell", std::make_shared<PickColourCell>());
        PSCellClasses::registerClass("PickToggleCell", std::make_shared<PickToggleCell>());
        std::ostringstream stream;
        auto error = ScriptRunner::runScript(sim, script, stream);
        out = stream.str();
        return error;
    }
    std::string failure(const std::string& script) {
        std::string out;
        auto error = run(script, out);
        return error ? error->text() : "(no error)";
    }
    PlistValue stored(const std::string& key) const {
        return device.exists(kPrefs) ? device.readPlist(kPrefs).get(key) : PlistValue();
    }
    DeviceFixture device;
};

} // namespace

TEST_F(RowPickingTest, ARowIsPickedOverAGroupHeaderOfItsTitle) {
    std::string out;
    auto error = run("open\nset Enabled on\ntap Enabled\n", out);
    ASSERT_FALSE(error) << error->text();
    EXPECT_EQ(stored("isEnabled"), PlistValue(true));
    // A title that only a group header has is no row.
    device.write("/My.bundle/Root.plist", "{ items = ({ cell = PSGroupCell; label = Alone; }); }");
    EXPECT_EQ(failure("open\nset Alone on\n"), "line 2: no row titled \"Alone\"");
    EXPECT_EQ(failure("open\ntap Alone\n").rfind("line 2: nothing titled \"Alone\" to tap", 0), 0u);
}

TEST_F(RowPickingTest, RowsSharingATitleAreNamedAndPickedByNumberOrKey) {
    // Two switches share "Glow": the error names both, with how to pick one; the button between
    // them holds no value and is not among them, but it counts in the numbering.
    EXPECT_EQ(failure("open\nset Glow on\n"),
              "line 2: 2 rows titled \"Glow\" hold a value: \"Glow\"#1 (a switch, key \"glowA\"), \"Glow\"#3 "
              "(a switch, key \"glowB\"); pick one with \"Glow\"#N (the Nth row of that title) or key=KEY");
    std::string out;
    auto error = run("open\nset \"Glow\"#3 on\nset key=glowA off\n", out);
    ASSERT_FALSE(error) << error->text();
    EXPECT_EQ(stored("glowB"), PlistValue(true));
    EXPECT_EQ(stored("glowA"), PlistValue(false));
    // What is not there says so.
    EXPECT_EQ(
        failure("open\nset \"Glow\"#4 on\n"),
        "line 2: there is no row \"Glow\"#4: 3 row(s) are titled \"Glow\" (group headers are not counted)");
    EXPECT_EQ(failure("open\nset \"Glow\"#2 on\n"),
              "line 2: the row \"Glow\" is a PSButtonCell and holds no value to set");
    EXPECT_EQ(failure("open\ntap key=nowhere\n")
                  .rfind("line 2: no row has the key \"nowhere\" (keys here: \"isEnabled\"", 0),
              0u);
    // A whole title wins over the forms it looks like.
    error = run("open\nset \"Track #1\" on\n", out);
    ASSERT_FALSE(error) << error->text();
    EXPECT_EQ(stored("track"), PlistValue(true));
}

TEST_F(RowPickingTest, TapsPickTheNumberedRowAndTypingGoesToItsField) {
    std::string out;
    // The button is the second "Glow": its action is code the device lacks, so a page names it.
    auto error = run("open\ntap \"Glow\"#2\ndump\n", out);
    ASSERT_FALSE(error) << error->text();
    auto dumps = splitDumps(out);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0]["title"], "Glow");
    // The field of the second "Name" row, and of the row of a key, takes what is typed.
    error = run("open\ntap \"Name\"#2\ntype \"Bob\"\ntap key=nameA\ntype \"Ann\"\n", out);
    ASSERT_FALSE(error) << error->text();
    EXPECT_EQ(stored("nameB"), PlistValue("Bob"));
    EXPECT_EQ(stored("nameA"), PlistValue("Ann"));
}

TEST_F(RowPickingTest, TheTokeniserReadsARowNumberAfterQuotedTextAsOneWord) {
    std::vector<ScriptCommand> commands;
    ASSERT_FALSE(ScriptRunner::parse("set \"Glow\"#12 on # a comment\ntap \"Glow\"#2\n", commands));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].arguments, (std::vector<std::string>{"Glow#12", "on"}));
    EXPECT_EQ(commands[1].arguments, (std::vector<std::string>{"Glow#2"}));
    // A '#' that no digit follows still starts a comment; digits must stand alone.
    commands.clear();
    ASSERT_FALSE(ScriptRunner::parse("tap \"Glow\"# the first\n", commands));
    EXPECT_EQ(commands.at(0).arguments, (std::vector<std::string>{"Glow"}));
    auto bad = ScriptRunner::parse("tap \"Glow\"#2x\n", commands);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->text(), "line 1: a row number after quoted text is digits alone: \"TITLE\"#2");

    EXPECT_EQ(SettingsApp::RowPick::parse("Glow#2")->ordinal, 2u);
    EXPECT_EQ(SettingsApp::RowPick::parse("Glow#2")->title, "Glow");
    EXPECT_EQ(SettingsApp::RowPick::parse("key=isEnabled")->key, "isEnabled");
    for (const char* plain : {"Glow", "#2", "Glow#", "Glow#0", "Glow#+2", "Glow#2a", "key="})
        EXPECT_FALSE(SettingsApp::RowPick::parse(plain)) << plain;
}

TEST_F(RowPickingTest, LibraryClassesConvertTextAndTheBundlesOwnAreSetAsTheirStockCell) {
    std::string out;
    auto error = run("open\nset Tint \"#ff8800\"\nset Toggle on\nset Own on\n", out);
    ASSERT_FALSE(error) << error->text();
    EXPECT_EQ(stored("tint"), PlistValue("#FF8800"));
    EXPECT_EQ(stored("toggle"), PlistValue(true));
    EXPECT_EQ(stored("own"), PlistValue(true));
    // The class's reason, and what the class says it takes, reach the script's author.
    EXPECT_EQ(failure("open\nset Tint red\n"), "line 2: the colour \"Tint\" takes #RRGGBB, not \"red\"");
    EXPECT_EQ(failure("open\nset Toggle maybe\n"),
              "line 2: the switch \"Toggle\" takes on or off (a toggle), not \"maybe\"");
    // Only a row with nothing stock to draw is refused.
    EXPECT_EQ(failure("open\nset key=banner on\n"),
              "line 2: the row key=banner needs MyBannerCell, which this device does not have");
}
