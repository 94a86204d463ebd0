// The HB framework's stepper and spinner rows: what they show, what a press stores and posts,
// what a script may set, and the spinner's busy state on the manual clock.

#include "HBListFixture.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefslibs/HBSpinnerTableCell.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIStepper.h"

namespace {

class HBStepperTableCellTest : public HBListFixture {};

const char* kStepper = R"({ items = (
    { cell = PSGroupCell; },
    { cell = PSLinkCell; cellClass = HBStepperTableCell; label = "Margin: %i pixels"; singularLabel = "Margin: %i pixel";
      min = 0; max = 3; default = 2; key = margin; defaults = com.t; PostNotification = "com.t/changed"; },
    { cell = PSButtonCell; cellClass = HBSpinnerTableCell; label = Refresh; action = "hb_respring"; },
); })";

// The row's cell as the table shows it now.
std::shared_ptr<UITableViewCell> rowCell(const std::shared_ptr<UITableViewContentView>& face,
                                         std::int64_t row) {
    return face->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
}

} // namespace

TEST_F(HBStepperTableCellTest, PressesStoreThroughTheStockSetterAndTheTitleFollows) {
    writePage("Root", kStepper);
    auto list = open();
    auto face = show(*list);
    auto cell = rowCell(face, 0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->text(), "Margin: 2 pixels");
    auto stepper = std::dynamic_pointer_cast<UIStepper>(cell->accessoryView());
    ASSERT_TRUE(stepper);
    EXPECT_EQ(stepper->value(), 2);
    EXPECT_EQ(stepper->maximumValue(), 3);
    // The stepper sits at the row's right edge, drawn: its grey box is there.
    CGImageRef image = UIRenderer(2).renderFrame(*list->table());
    CGRect box = stepper->convertRectToView(stepper->bounds(), list->table().get());
    EXPECT_EQ(box.maxX(), 375 - 15);
    EXPECT_TRUE(pixels::near(pixels::at(image, box.minX() + 4, box.midY(), 2), 238, 238, 240, 255, 6));

    // A press on the minus half: the file holds 1, the notification is posted, the title is singular.
    ASSERT_TRUE(stepper->touchBegan(CGPointMake(20, 16)));
    stepper->touchEnded(CGPointMake(20, 16));
    EXPECT_EQ(device.readPlist(kPrefs).get("margin"), PlistValue(1.0));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), std::vector<std::string>{"com.t/changed"});
    face->syncWithTable();
    EXPECT_EQ(rowCell(face, 0)->text(), "Margin: 1 pixel");
    // The value read back from the file drives the next cell.
    device.writePlist(kPrefs, [] {
        PlistValue d = PlistValue::dictionary();
        d.set("margin", PlistValue(3));
        return d;
    }());
    list->reloadSpecifiers();
    face->syncWithTable();
    auto again = std::dynamic_pointer_cast<UIStepper>(rowCell(face, 0)->accessoryView());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->value(), 3);
    EXPECT_FALSE(again->canIncrement());
}

TEST_F(HBStepperTableCellTest, ScriptsSetWholeNumbersWithinTheRangeAndSeeTheNumber) {
    writePage("Root", kStepper);
    auto list = open();
    auto row = list->specifierForName("Margin: %i pixels");
    ASSERT_TRUE(row && row->cellClass());
    const PSCellClass& cls = *row->cellClass();
    auto two = cls.valueFromText(*row, "2");
    ASSERT_TRUE(two && *two);
    EXPECT_EQ(two->value(), PlistValue(2.0));
    for (const char* wrong : {"4", "-1", "1.5", "two", "", "2 "}) {
        auto refused = cls.valueFromText(*row, wrong);
        ASSERT_TRUE(refused) << wrong;
        EXPECT_FALSE(*refused) << wrong;
        EXPECT_NE(refused->reason().find("whole number"), std::string::npos) << refused->reason();
    }
    EXPECT_EQ(cls.shownText(*row, PlistValue(3.0)), "3");
    EXPECT_EQ(cls.shownText(*row, PlistValue()), "2"); // the default while nothing is stored
}

TEST_F(HBStepperTableCellTest, ASpinnerRowIsBusyWhileItsActionRunsAndTakesNoSecondTap) {
    writePage("Root", kStepper);
    auto list = open();
    auto face = show(*list);
    DeviceSpawn::clearRecords();
    tap(*list, "Refresh");
    auto row = list->specifierForName("Refresh");
    EXPECT_TRUE(HBSpinnerTableCell::isSpinning(*row));
    face->syncWithTable();
    auto cell = face->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->isEnabled());
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(cell->accessoryView());
    ASSERT_TRUE(spinner);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleGray);
    // The action ran (here the framework's respring), once, even for a second tap while busy.
    tap(*list, "Refresh");
    ASSERT_EQ(DeviceSpawn::records().size(), 1u);
    EXPECT_EQ(DeviceSpawn::records()[0].argv, (std::vector<std::string>{"killall", "backboardd"}));

    device.loop()->runUntilIdle();
    EXPECT_FALSE(HBSpinnerTableCell::isSpinning(*row));
    face->syncWithTable();
    cell = face->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0));
    EXPECT_TRUE(cell->isEnabled());
    EXPECT_FALSE(std::dynamic_pointer_cast<UIActivityIndicatorView>(cell->accessoryView()));
}
