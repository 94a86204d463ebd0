// The colour page a colour row opens: its rows, and when each library saves from it (HB on Done
// only, libcolorpicker when the page closes, Spark on every change), then shows the new colour on
// the row it came from.

#include "ColourTestSupport.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefslibs/ColourStrings.h"
#include "platform/prefslibs/ColourSwatchView.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UITextField.h"

namespace {

using Names = std::vector<std::string>;

class ColourPickerControllerTest : public ::testing::Test {
protected:
    std::shared_ptr<ColourPickerController> tap(PSListController& list, const std::string& title) {
        list.tapSpecifier(list.specifierForName(title));
        auto page = device.page();
        EXPECT_TRUE(page) << "the tap on " << title << " opened no colour page";
        return page;
    }
    static std::vector<std::string> titles(ColourPickerController& page) {
        std::vector<std::string> names;
        for (const auto& row : *page.specifiers())
            if (row->cellType() != PSGroupCell)
                names.push_back(row->name());
        return names;
    }
    static void press(const std::shared_ptr<UIBarButtonItem>& button) {
        ASSERT_TRUE(button);
        UIApplication::sharedApplication()->sendAction(button->action(), button->target(), button);
    }
    PlistValue stored(const std::string& key) const {
        return device.readPlist(ColourDevice::kPrefs).get(key);
    }

    ColourDevice device;
};

TEST_F(ColourPickerControllerTest, TheHBPageHasCancelAndDoneAndOnlyDoneSaves) {
    device.writeRoot(
        R"({ cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = Tint; defaults = com.c;
        key = tint; default = "#FF0000"; PostNotification = "com.c/changed"; })");
    auto list = device.open();
    auto page = tap(*list, "Tint");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title(), "Tint");
    EXPECT_EQ(titles(*page), (Names{"Preview", "Hue", "Saturation", "Brightness", "Hex"}));
    EXPECT_EQ(page->navigationItem()->leftBarButtonItem()->title(), "Cancel");
    EXPECT_EQ(page->navigationItem()->rightBarButtonItem()->title(), "Done");
    EXPECT_EQ(page->hexValue(nullptr), PlistValue("#FF0000"));

    ColourDevice::change(*page, "Hex", PlistValue("#00FF00"));
    press(page->navigationItem()->leftBarButtonItem());
    EXPECT_EQ(device.navigation->topViewController(), list);
    EXPECT_TRUE(stored("tint").isNone());
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());

    page = tap(*list, "Tint");
    ASSERT_TRUE(page);
    ColourDevice::change(*page, "Brightness", PlistValue(0.5));
    EXPECT_TRUE(stored("tint").isNone()); // not before Done
    press(page->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(device.navigation->topViewController(), list);
    EXPECT_EQ(stored("tint"), PlistValue("#800000"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c/changed"}));
    // The row shows the colour it now holds.
    auto well = std::dynamic_pointer_cast<ColourSwatchView>(device.shownCell(*list, "Tint")->accessoryView());
    ASSERT_TRUE(well);
    EXPECT_EQ(ColourStrings::hexText(well->colour()), "#800000");
}

TEST_F(ColourPickerControllerTest, AlphaAppearsOnlyWhereTheRowAllowsIt) {
    device.writeRoot(
        R"({ cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = Tint; defaults = com.c;
            key = tint; default = "#FF000080"; showAlphaSlider = 1; },
        { cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = Solid; defaults = com.c;
            key = solid; default = "#FF000080"; })");
    auto list = device.open();
    auto page = tap(*list, "Tint");
    ASSERT_TRUE(page);
    EXPECT_EQ(titles(*page), (Names{"Preview", "Hue", "Saturation", "Brightness", "Alpha", "Hex"}));
    EXPECT_EQ(page->hexValue(nullptr), PlistValue("#FF000080"));
    ColourDevice::change(*page, "Alpha", PlistValue(0.25));
    press(page->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(stored("tint"), PlistValue("#FF0000:0.25"));

    page = tap(*list, "Solid");
    ASSERT_TRUE(page);
    EXPECT_EQ(titles(*page), (Names{"Preview", "Hue", "Saturation", "Brightness", "Hex"}));
    // A typed alpha is dropped where the row has none.
    ColourDevice::change(*page, "Hex", PlistValue("#0000FF40"));
    press(page->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(stored("solid"), PlistValue("#0000FF"));
}

TEST_F(ColourPickerControllerTest, LibcolorpickerSavesWhenThePageCloses) {
    device.writeRoot(R"({ cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = Glow;
            libcolorpicker = { defaults = com.c; key = glow; fallback = "#0000FF"; }; },
        { cell = PSLinkCell; cellClass = HBColorPickerCell; label = Edge; defaults = com.c; key = edge;
            default = "#FFFFFF"; PostNotification = "com.c/edge"; })");
    auto list = device.open();
    auto page = tap(*list, "Glow");
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->navigationItem()->rightBarButtonItem());
    ColourDevice::change(*page, "Hex", PlistValue("#FF8800"));
    ColourDevice::change(*page, "Saturation", PlistValue(0.0));
    EXPECT_TRUE(stored("glow").isNone());
    device.navigation->popViewControllerAnimated(true);
    EXPECT_EQ(stored("glow"), PlistValue("#FFFFFF:1.000000"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c_glow_libcolorpicker_refreshn"}));
    EXPECT_EQ(device.shownCell(*list, "Glow")->detailText(), "#FFFFFF");

    // Closing without a change saves the colour shown, as tapping outside the panel does.
    page = tap(*list, "Edge");
    ASSERT_TRUE(page);
    device.navigation->popViewControllerAnimated(true);
    EXPECT_EQ(stored("edge"), PlistValue("#FFFFFF:1.000000"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c_glow_libcolorpicker_refreshn", "com.c/edge"}));
}

TEST_F(ColourPickerControllerTest, SparkSavesOnEveryChange) {
    device.writeRoot(R"({ cell = PSLinkCell; cellClass = SparkColourPickerCell; label = Bar; key = bar;
        libsparkcolourpicker = { defaults = com.c; fallback = "#FF0000"; PostNotification = "com.c/spark"; }; })");
    auto list = device.open();
    auto page = tap(*list, "Bar");
    ASSERT_TRUE(page);
    ColourDevice::change(*page, "Hue", PlistValue(1.0 / 3));
    EXPECT_EQ(stored("bar"), PlistValue("#00FF00:1.00"));
    ColourDevice::change(*page, "Hex", PlistValue("#0000")); // not a colour yet: nothing happens
    ColourDevice::change(*page, "Hex", PlistValue("#0000FF"));
    EXPECT_EQ(stored("bar"), PlistValue("#0000FF:1.00"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), (Names{"com.c/spark", "com.c/spark"}));
    device.navigation->popViewControllerAnimated(true);
    EXPECT_EQ(stored("bar"), PlistValue("#0000FF:1.00"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames().size(), 2u);
}

TEST_F(ColourPickerControllerTest, TheRowsOnScreenFollowAChangeWithoutLosingTheFieldBeingTyped) {
    device.writeRoot(
        R"({ cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = Tint; defaults = com.c;
        key = tint; default = "#FF0000"; })");
    auto list = device.open();
    auto page = tap(*list, "Tint");
    ASSERT_TRUE(page);
    page->table()->setFrame(CGRectMake(0, 0, 375, 667));
    auto hexCell = device.shownCell(*page, "Hex");
    auto brightnessCell = device.shownCell(*page, "Brightness");
    ASSERT_TRUE(hexCell && brightnessCell);
    auto field = std::dynamic_pointer_cast<UITextField>(hexCell->accessoryView());
    ASSERT_TRUE(field);

    ColourDevice::change(*page, "Hex", PlistValue("#808080"));
    // The same cells, brought up to date; the preview at the top is drawn in the colour.
    EXPECT_EQ(device.shownCell(*page, "Hex"), hexCell);
    std::shared_ptr<UISlider> slider;
    for (const auto& v : brightnessCell->fillingControl()->subviews())
        if (auto s = std::dynamic_pointer_cast<UISlider>(v))
            slider = s;
    ASSERT_TRUE(slider);
    EXPECT_NEAR(slider->value(), 128 / 255.0, 1e-9);
    auto face = UITableViewContentView::of(*page->table());
    auto previewCell = face->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    ASSERT_TRUE(previewCell);
    auto swatch = std::dynamic_pointer_cast<ColourSwatchView>(previewCell->fillingControl());
    ASSERT_TRUE(swatch);
    auto drawn = device.render(*page, "Hex");
    ASSERT_TRUE(drawn.image);
    CGRect box = swatch->convertRectToView(swatch->bounds(), nullptr);
    EXPECT_TRUE(pixels::near(pixels::at(drawn.image, box.midX(), box.midY(), 2), 128, 128, 128, 255));

    ColourDevice::change(*page, "Brightness", PlistValue(1.0));
    EXPECT_EQ(field->text(), "#FFFFFF");
    EXPECT_EQ(ColourStrings::hexText(swatch->colour()), "#FFFFFF");
}

} // namespace
