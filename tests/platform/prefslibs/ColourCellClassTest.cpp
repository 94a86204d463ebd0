// Colour rows of each library on a list: how each looks (on the pixels of the drawn screen),
// where each reads and writes its value and in which format, which notification follows, and
// what a script's text means for it.

#include "ColourTestSupport.h"

#include "platform/foundation/DeviceRandom.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/ColourCellClass.h"
#include "platform/prefslibs/ColourSwatchView.h"

namespace {

using Names = std::vector<std::string>;

const char* kHB = R"({ cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = Tint; defaults = com.c;
    key = tint; default = "#FF0000"; showAlphaSlider = 1; PostNotification = "com.c/changed"; })";
const char* kPF = R"({ cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = Glow;
    PostNotification = "com.c/outer";
    libcolorpicker = { defaults = com.c; key = glow; fallback = "#0000FF"; alpha = 0; }; })";
const char* kSpark = R"({ cell = PSLinkCell; cellClass = SparkColourPickerCell; label = Bar; key = bar;
    PostNotification = "com.c/outer";
    libsparkcolourpicker = { defaults = com.c; fallback = "#00FF00:1.00"; alpha = 1;
                             PostNotification = "com.c/spark"; }; })";
const char* kOwn = R"({ cell = PSLinkCell; cellClass = HBColorPickerCell; label = Edge; defaults = com.c;
    key = edge; default = "#FF8800"; PostNotification = "com.c/edge"; })";

class ColourCellClassTest : public ::testing::Test {
protected:
    // What a script's `set` stores for the row: its class's reading of the text, then the list's setter.
    void set(PSListController& list, const std::string& title, const std::string& text) {
        auto row = list.specifierForName(title);
        ASSERT_TRUE(row && row->cellClass());
        auto value = row->cellClass()->valueFromText(*row, text);
        ASSERT_TRUE(value && *value) << (value ? value->reason() : "no reading");
        list.setValueForSpecifier(value->value(), row);
    }
    std::string shown(PSListController& list, const std::string& title) {
        auto row = list.specifierForName(title);
        return row->cellClass()->shownText(*row, list.valueForSpecifier(row)).value_or("(none)");
    }

    ColourDevice device;
};

TEST_F(ColourCellClassTest, TheHBWellIsTheColourOverACheckerboardInAWhiteRimOnATintedButtonRow) {
    device.writeRoot(kHB);
    auto list = device.open();
    auto row = list->specifierForName("Tint");
    EXPECT_EQ(row->cellType(), PSButtonCell);
    auto cell = device.shownCell(*list, "Tint");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textColor(), PSTableCellViews::buttonColor());
    EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryNone);

    auto drawn = device.render(*list, "Tint");
    ASSERT_TRUE(drawn.image);
    const CGRect a = drawn.accessory;
    const CGFloat margin = ColourSwatchView::kWellShadowMargin;
    EXPECT_NEAR(a.width() - 2 * margin, 32, 0.5);
    EXPECT_TRUE(pixels::red(pixels::at(drawn.image, a.midX(), a.midY(), 2)));
    // The hairline rim at the top of the circle, and the faint shadow just outside it.
    EXPECT_TRUE(
        pixels::near(pixels::at(drawn.image, a.midX(), a.minY() + margin + 0.25, 2), 255, 255, 255, 255, 40));
    auto shadow = pixels::at(drawn.image, a.midX(), a.minY() + margin - 0.75, 2);
    EXPECT_LT(shadow.r, 245);
    EXPECT_GT(shadow.r, 120);

    // A translucent colour shows the checkerboard through it: neighbouring squares differ.
    set(*list, "Tint", "#FF000080");
    drawn = device.render(*list, "Tint");
    auto left = pixels::at(drawn.image, drawn.accessory.midX() - 2, drawn.accessory.midY() - 2, 2);
    auto right = pixels::at(drawn.image, drawn.accessory.midX() + 2, drawn.accessory.midY() - 2, 2);
    EXPECT_GT(left.r, 200);
    EXPECT_GT(std::abs(int(left.g) - int(right.g)), 10) << left << " " << right;
}

TEST_F(ColourCellClassTest, CirclesAndTheSparkBoxShowTheColourInALightGreyBorder) {
    device.writeRoot(std::string(kPF) + "," + kSpark + "," + kOwn);
    auto list = device.open();
    const UIColor grey = ColourSwatchView::borderColor();
    const int g = static_cast<int>(grey.rgba.r * 255);

    auto glow = device.render(*list, "Glow");
    EXPECT_NEAR(glow.accessory.width(), 29, 0.5);
    EXPECT_NEAR(glow.accessory.height(), 29, 0.5);
    EXPECT_TRUE(pixels::blue(pixels::at(glow.image, glow.accessory.midX(), glow.accessory.midY(), 2)));
    EXPECT_TRUE(pixels::near(pixels::at(glow.image, glow.accessory.midX(), glow.accessory.minY() + 1, 2), g,
                             g, g, 255, 30));
    auto glowCell = device.shownCell(*list, "Glow");
    EXPECT_EQ(glowCell->style(), UITableViewCellStyleSubtitle);
    EXPECT_EQ(glowCell->detailText(), "#0000FF");
    EXPECT_NEAR(glowCell->detailTextColor()->alpha(), 0.65, 1e-9);
    EXPECT_EQ(glowCell->accessoryType(), UITableViewCellAccessoryNone);

    auto bar = device.render(*list, "Bar");
    EXPECT_NEAR(bar.accessory.width(), 100, 0.5);
    EXPECT_NEAR(bar.accessory.height(), 29, 0.5);
    auto centre = pixels::at(bar.image, bar.accessory.midX(), bar.accessory.midY(), 2);
    EXPECT_TRUE(pixels::near(centre, 0, 255, 0, 255, 8)) << centre;
    EXPECT_TRUE(pixels::near(pixels::at(bar.image, bar.accessory.midX(), bar.accessory.minY() + 1, 2), g, g,
                             g, 255, 30));
    // Square-ish corners: radius 3, so a point 2 pt in from the corner is inside the box.
    EXPECT_FALSE(
        pixels::transparent(pixels::at(bar.image, bar.accessory.minX() + 2, bar.accessory.minY() + 2, 2)));

    auto edge = device.render(*list, "Edge");
    EXPECT_NEAR(edge.accessory.width(), 29, 0.5);
    EXPECT_TRUE(pixels::near(pixels::at(edge.image, edge.accessory.midX(), edge.accessory.midY(), 2), 255,
                             136, 0, 255));
    EXPECT_EQ(device.shownCell(*list, "Edge")->detailText(), "#FF8800");
}

TEST_F(ColourCellClassTest, TheHBPickerStoresItsFormatThroughTheStockSetter) {
    device.writeRoot(kHB);
    auto list = device.open();
    EXPECT_EQ(shown(*list, "Tint"), "#FF0000");
    set(*list, "Tint", "#00ff00");
    EXPECT_EQ(device.readPlist(ColourDevice::kPrefs).get("tint"), PlistValue("#00FF00"));
    set(*list, "Tint", "#0000FF80");
    EXPECT_EQ(device.readPlist(ColourDevice::kPrefs).get("tint"), PlistValue("#0000FF:0.50196"));
    EXPECT_EQ(shown(*list, "Tint"), "#0000FF80");
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c/changed", "com.c/changed"}));
}

TEST_F(ColourCellClassTest, LibcolorpickerWritesItsOwnFileKeepingOtherKeysAndPostsItsInnerName) {
    device.writeRoot(std::string(kPF) +
                     R"(, { cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = Rim;
        libcolorpicker = { defaults = com.c; key = rim; fallback = "#FFFFFF:1.000000";
                           PostNotification = "com.c/rim"; }; })");
    PlistValue before = PlistValue::dictionary();
    before.set("enabled", PlistValue(true));
    device.writePlist(ColourDevice::kPrefs, before);
    auto list = device.open();
    set(*list, "Glow", "#FF8800");
    set(*list, "Rim", "#123456");
    PlistValue file = device.readPlist(ColourDevice::kPrefs);
    EXPECT_EQ(file.get("glow"), PlistValue("#FF8800:1.000000"));
    EXPECT_EQ(file.get("rim"), PlistValue("#123456:1.000000"));
    EXPECT_EQ(file.get("enabled"), PlistValue(true));
    // The row's own PostNotification is not the library's; without an inner name it posts its refresh.
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c_glow_libcolorpicker_refreshn", "com.c/rim"}));
    EXPECT_EQ(device.shownCell(*list, "Glow")->detailText(), "#FF8800");
}

TEST_F(ColourCellClassTest, SparkWritesTwoDecimalsAndPostsOnlyItsInnerName) {
    device.writeRoot(std::string(kSpark) + R"plist(, { cell = PSLinkCell; cellClass = SparkColourPickerCell;
        label = Old; key = old; PostNotification = "com.c/outer";
        libcolorpicker = { defaults = com.c; key = old; fallback = "rgb(255, 0, 0)"; }; })plist");
    auto list = device.open();
    EXPECT_EQ(shown(*list, "Bar"), "#00FF00");
    EXPECT_EQ(shown(*list, "Old"), "#FF0000");
    set(*list, "Bar", "#FF880080");
    set(*list, "Old", "#0000FF");
    PlistValue file = device.readPlist(ColourDevice::kPrefs);
    EXPECT_EQ(file.get("bar"), PlistValue("#FF8800:0.50"));
    EXPECT_EQ(file.get("old"), PlistValue("#0000FF:1.00"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c/spark"}));
    EXPECT_EQ(shown(*list, "Bar"), "#FF880080");
}

TEST_F(ColourCellClassTest, TheBundlesOwnHBColorPickerCellSavesLibcolorpickerFormatAndItsNotification) {
    device.writeRoot(kOwn);
    auto list = device.open();
    set(*list, "Edge", "#00FF00");
    EXPECT_EQ(device.readPlist(ColourDevice::kPrefs).get("edge"), PlistValue("#00FF00:1.000000"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c/edge"}));
}

TEST_F(ColourCellClassTest, UnreadableAndWronglyTypedValuesFallBackAsEachLibraryDoes) {
    device.writeRoot(std::string(kHB) + "," + kPF + "," + kSpark + "," + kOwn);
    PlistValue file = PlistValue::dictionary();
    file.set("tint", PlistValue(true));
    file.set("glow", PlistValue(42));
    file.set("bar", PlistValue("#XYZ"));
    file.set("edge", PlistValue::array());
    device.writePlist(ColourDevice::kPrefs, file);
    auto list = device.open();
    EXPECT_EQ(shown(*list, "Tint"), "#999999"); // 60% grey
    EXPECT_EQ(shown(*list, "Glow"), "#0000FF");
    EXPECT_EQ(shown(*list, "Bar"), "#00FF00");
    EXPECT_EQ(shown(*list, "Edge"), "#FF8800");
    // A file that is not a dictionary at all reads as nothing stored.
    device.write(ColourDevice::kPrefs, "not a property list");
    EXPECT_EQ(shown(*list, "Glow"), "#0000FF");
    EXPECT_TRUE(device.shownCell(*list, "Glow"));
}

TEST_F(ColourCellClassTest, LibcolorpickerWithNeitherValueNorFallbackShowsTheSeedsColour) {
    device.writeRoot(R"({ cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = Any;
        libcolorpicker = { defaults = com.c; key = any; fallback = ""; }; })");
    auto list = device.open();
    std::string first, again, otherSeed;
    {
        DeviceRandom::ScopedSeed seed(7);
        first = shown(*list, "Any");
        again = shown(*list, "Any");
    }
    {
        DeviceRandom::ScopedSeed seed(7);
        EXPECT_EQ(shown(*list, "Any"), first);
    }
    EXPECT_EQ(first, again);
    EXPECT_EQ(first.size(), 7u);
}

TEST_F(ColourCellClassTest, FilesOutsideThePreferencesFolderAreRefused) {
    device.writeRoot(R"({ cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = Out;
            libcolorpicker = { defaults = "../../../../etc/x"; key = k; fallback = "#000000"; }; },
        { cell = PSLinkCell; cellClass = SparkColourPickerCell; label = Abs; key = k;
            libsparkcolourpicker = { defaults = "/var/mobile/x"; fallback = "#000000"; }; },
        { cell = PSLinkCell; cellClass = SparkColourPickerCell; label = None; key = k;
            libsparkcolourpicker = { fallback = "#000000"; }; })");
    auto list = device.open();
    set(*list, "Out", "#FFFFFF");
    set(*list, "Abs", "#FFFFFF");
    set(*list, "None", "#FFFFFF");
    EXPECT_FALSE(device.exists("/etc/x.plist"));
    EXPECT_FALSE(device.exists("/var/mobile/x.plist"));
    EXPECT_EQ(device.countLog("Couldn't save"), 3u);
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
}

TEST_F(ColourCellClassTest, ScriptTextIsCheckedAndAlphaOnlyGoesToRowsThatAllowIt) {
    device.writeRoot(std::string(kHB) + "," + kPF);
    auto list = device.open();
    auto tint = list->specifierForName("Tint");
    auto glow = list->specifierForName("Glow");
    EXPECT_EQ(tint->cellClass()->scriptInput(), "#RRGGBB or #RRGGBBAA");
    auto bad = tint->cellClass()->valueFromText(*tint, "red");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->reason(), "the colour \"Tint\" takes #RRGGBB or #RRGGBBAA, not \"red\"");
    auto translucent = glow->cellClass()->valueFromText(*glow, "#FF000080");
    ASSERT_TRUE(translucent);
    EXPECT_FALSE(*translucent);
    auto withColon = tint->cellClass()->valueFromText(*tint, "#FF0000:0.5");
    ASSERT_TRUE(withColon && *withColon);
    EXPECT_EQ(withColon->value(), PlistValue("#FF0000:0.5"));
}

} // namespace
