// How `set`, `tap` and `type` find the row a script means: never a group header of the same title,
// the Nth row of a title or the row of a key where titles repeat; and how rows of library classes
// and of the bundle's own classes take a script's text.

#include "platform/prefs/PSCellClass.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"
#include "support/DeviceFixture.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A library cell that reads only "#RRGGBB" and stores it as it is; a second one that leaves the
// text to its stock switch but says what it takes.
class PickColourCell : public PSCellClass {
public:
    std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& row,
                                                    const std::string& text) const override {
        if (text.size() != 7 || text[0] != '#')
            return Result<PlistValue>(Failure{"the colour \"" + row.name() + "\" takes #RRGGBB"});
        return Result<PlistValue>(PlistValue("colour " + text));
    }
};
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
    // Runs the script on a simulator of the bundle, whose device has the two library classes;
    // answers the error's text, or "".
    std::string run(const std::string& script) {
        Simulator::Options options;
        options.deviceRoot = device.root();
        options.preferenceBundle = device.host("/My.bundle");
        options.offline = true;
        Simulator sim(options);
        PSCellClasses::registerClass("PickColourCell", std::make_shared<PickColourCell>());
        PSCellClasses::registerClass("PickToggleCell", std::make_shared<PickToggleCell>());
        std::ostringstream out;
        auto error = ScriptRunner::runScript(sim, script, out);
        dumps = splitDumps(out.str());
        return error ? error->text() : "";
    }
    PlistValue stored(const std::string& key) const {
        return device.readPlist("/var/mobile/Library/Preferences/com.pick.plist").get(key);
    }
    DeviceFixture device;
    std::vector<nlohmann::json> dumps;
};

} // namespace

TEST_F(RowPickingTest, SetAndTapPickRowsByTitleNumberOrKeyAndNeverAGroupHeader) {
    ASSERT_EQ(run("open\nset Enabled on\nset \"Glow\"#3 on\nset key=glowA off\nset \"Track #1\" on\n"), "");
    EXPECT_EQ(stored("isEnabled"), PlistValue(true));
    EXPECT_EQ(stored("glowB"), PlistValue(true));
    EXPECT_EQ(stored("glowA"), PlistValue(false));
    EXPECT_EQ(stored("track"), PlistValue(true)); // a whole title wins over the form it looks like
    // Two rows of a title hold a value: both are named, with how to pick one. The button between
    // them holds none, but counts in the numbering.
    EXPECT_EQ(run("open\nset Glow on\n"),
              "line 2: 2 rows titled \"Glow\" hold a value: \"Glow\"#1 (a switch, key \"glowA\"), \"Glow\"#3 "
              "(a switch, key \"glowB\"); pick one with \"Glow\"#N (the Nth row of that title) or key=KEY");
    EXPECT_EQ(
        run("open\nset \"Glow\"#4 on\n"),
        "line 2: there is no row \"Glow\"#4: 3 row(s) are titled \"Glow\" (group headers are not counted)");
    EXPECT_EQ(run("open\ntap key=nowhere\n").rfind("line 2: no row has the key \"nowhere\"", 0), 0u);
    // The second "Glow" is the button: its action is code the device lacks, so a page names it.
    ASSERT_EQ(run("open\ntap \"Glow\"#2\ndump\n"), "");
    EXPECT_EQ(dumps.at(0)["title"], "Glow");
    // The field of the row a tap picks takes what is typed.
    ASSERT_EQ(run("open\ntap \"Name\"#2\ntype \"Bob\"\ntap key=nameA\ntype \"Ann\"\n"), "");
    EXPECT_EQ(stored("nameB"), PlistValue("Bob"));
    EXPECT_EQ(stored("nameA"), PlistValue("Ann"));
}

TEST_F(RowPickingTest, ARowNumberTouchesTheClosingQuote) {
    std::vector<ScriptCommand> commands;
    ASSERT_FALSE(ScriptRunner::parse("set \"Glow\"#12 on # note\ntap \"Glow\"# the first\n", commands));
    EXPECT_EQ(commands.at(0).arguments, (std::vector<std::string>{"Glow#12", "on"}));
    EXPECT_EQ(commands.at(1).arguments, (std::vector<std::string>{"Glow"}));
    // A colour is a word, not a comment: six or eight hex digits, perhaps with an alpha.
    std::vector<ScriptCommand> colours;
    ASSERT_FALSE(ScriptRunner::parse("set Tint #FF9500 # orange\nset Tint #ff950080\nset Tint #FF9500:0.5\n"
                                     "#deadbeef is a comment\n#FF9500 too, without a command before it\n",
                                     colours));
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours.at(0).arguments, (std::vector<std::string>{"Tint", "#FF9500"}));
    EXPECT_EQ(colours.at(1).arguments, (std::vector<std::string>{"Tint", "#ff950080"}));
    EXPECT_EQ(colours.at(2).arguments, (std::vector<std::string>{"Tint", "#FF9500:0.5"}));
    auto bad = ScriptRunner::parse("tap \"Glow\"#2x\n", commands);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->text(), "line 1: a row number after quoted text is digits alone: \"TITLE\"#2");
}

TEST_F(RowPickingTest, LibraryClassesReadTheTextFirstAndTheBundlesOwnAreSetAsTheirStockCell) {
    ASSERT_EQ(run("open\nset Tint \"#ff8800\"\nset Toggle on\nset Own on\n"), "");
    EXPECT_EQ(stored("tint"), PlistValue("colour #ff8800"));
    EXPECT_EQ(stored("toggle"), PlistValue(true));
    EXPECT_EQ(stored("own"), PlistValue(true));
    EXPECT_EQ(run("open\nset Tint red\n"), "line 2: the colour \"Tint\" takes #RRGGBB");
    EXPECT_EQ(run("open\nset Toggle maybe\n"),
              "line 2: the switch \"Toggle\" takes on or off (a toggle), not \"maybe\"");
    // Only a row with nothing stock to draw is refused.
    EXPECT_EQ(run("open\nset key=banner on\n"),
              "line 2: the row key=banner needs MyBannerCell, which this device does not have");
}
