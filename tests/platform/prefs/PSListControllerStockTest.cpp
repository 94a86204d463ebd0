// The framework's own list controller on a bundle without code: the value store it keeps for rows
// without accessors, the notifications it posts, its child and choice pages, placeholders for code
// the device lacks, localisation, and the one conversion from a control's input to a stored value.

#include "support/DeviceFixture.h"
#include "support/ListPages.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSListItemsController.h"
#include "platform/prefs/PSMissingCodeController.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITextField.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr const char* kBundle = "/Library/PreferenceBundles/Test.bundle";
constexpr const char* kPrefs = "/var/mobile/Library/Preferences/com.t.plist";

class StockListTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.mkdirs("/var/mobile/Library/Preferences");
        DarwinNotifyCenter::clearRecords();
    }

    void writePage(const std::string& name, const std::string& text) const {
        device.write(std::string(kBundle) + "/" + name + ".plist", text);
    }
    // The list of the bundle's page, inside a navigation controller whose view is loaded.
    std::shared_ptr<PSListController> open(const std::string& page = "Root") {
        auto list = PSListController::createWithPlist(NSBundle::bundleWithPath(kBundle), page);
        navigation = UINavigationController::create(list);
        navigation->loadViewIfNeeded();
        (void)list->specifiers();
        return list;
    }

    DeviceFixture device;
    std::shared_ptr<UINavigationController> navigation;
};

const char* kValues = R"({
    title = "Test Tweak";
    items = (
        { cell = PSGroupCell; label = Main; },
        { cell = PSSwitchCell; label = Enabled; key = enabled; defaults = com.t; default = 1;
          PostNotification = "com.t/changed"; },
        { cell = PSSwitchCell; label = Hidden; key = hidden; defaults = com.t; negate = 1; },
        { cell = PSSliderCell; label = Level; key = level; defaults = com.t; min = "0"; max = "10";
          isSegmented = 1; segmentCount = 5; default = 4; },
        { cell = PSLinkListCell; label = Tint; key = tint; defaults = com.t; default = warm;
          validTitles = (None, "Warm Amber"); shortTitles = (None, Amber); validValues = (none, warm); },
        { cell = PSEditTextCell; label = Name; key = name; defaults = com.t; },
    );
})";

TEST_F(StockListTest, RowsWithoutAccessorsShowTheirDefaultsUntilTheFileHoldsAValue) {
    writePage("Root", kValues);
    auto list = open();
    ASSERT_EQ(list->specifiers()->size(), 6u);
    EXPECT_EQ(list->title(), "Test Tweak");
    // Nothing on disk yet: every row shows its "default".
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Enabled")->accessoryView())->isOn());
    EXPECT_EQ(std::dynamic_pointer_cast<UISlider>(cellOf(*list, "Level")->fillingControl())->value(), 4);
    EXPECT_EQ(cellOf(*list, "Tint")->detailText(), "Amber");
    // A value in the file wins over the default.
    PlistValue stored = PlistValue::dictionary();
    stored.set("enabled", PlistValue(false));
    stored.set("tint", PlistValue("none"));
    device.writePlist(kPrefs, stored);
    EXPECT_FALSE(std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Enabled")->accessoryView())->isOn());
    EXPECT_EQ(cellOf(*list, "Tint")->detailText(), "None");
}

TEST_F(StockListTest, ControlsWriteTheFileAtomicallyAndPostTheRowsNotification) {
    writePage("Root", kValues);
    auto list = open();
    auto toggle = std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Enabled")->accessoryView());
    toggle->setOn(false);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);
    // A negated switch shows and stores the opposite of the value: on while there is none.
    auto hidden = std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Hidden")->accessoryView());
    EXPECT_TRUE(hidden->isOn());
    hidden->setOn(false);
    hidden->sendActionsForControlEvents(UIControlEventValueChanged);
    // A segmented slider snaps to its steps (0, 2, 4, 6, 8, 10).
    auto slider = std::dynamic_pointer_cast<UISlider>(cellOf(*list, "Level")->fillingControl());
    slider->setValue(6.9, false);
    slider->sendActionsForControlEvents(UIControlEventValueChanged);

    PlistValue prefs = device.readPlist(kPrefs);
    EXPECT_EQ(prefs.get("enabled"), PlistValue(false));
    EXPECT_EQ(prefs.get("hidden"), PlistValue(true));
    EXPECT_EQ(prefs.get("level"), PlistValue(6.0));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), std::vector<std::string>{"com.t/changed"});
    // Nothing else lies in the folder: the writes left no temporary files behind.
    EXPECT_EQ(device.names("/var/mobile/Library/Preferences"), std::vector<std::string>{"com.t.plist"});
}

TEST_F(StockListTest, AFailedWriteIsNotReportedAsSavedAndTheRowShowsWhatIsStored) {
    writePage("Root", kValues);
    device.write(kPrefs, "not a property list");
    auto list = open();
    auto row = list->specifierForName("Enabled");
    list->setValueForSpecifier(PlistValue(false), row);
    EXPECT_EQ(device.read(kPrefs), "not a property list");
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    EXPECT_EQ(device.countLog("Couldn't save key 'enabled' to /var/mobile/Library/Preferences/com.t.plist"),
              1u);
    // The file holds no dictionary: the row shows its default, as before the change.
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Enabled")->accessoryView())->isOn());

    // A read-only folder: the old file stays whole, and nothing is posted.
    PlistValue old = PlistValue::dictionary();
    old.set("enabled", PlistValue(true));
    device.writePlist(kPrefs, old);
    ASSERT_EQ(chmod(device.host("/var/mobile/Library/Preferences").c_str(), 0555), 0);
    EXPECT_EXIT(
        {
            if (!device.becomeNobody())
                std::_Exit(3);
            list->setValueForSpecifier(PlistValue(false), row);
            std::_Exit(DarwinNotifyCenter::postedNames().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(device.host("/var/mobile/Library/Preferences").c_str(), 0755);
    EXPECT_EQ(device.readPlist(kPrefs).get("enabled"), PlistValue(true));
}

TEST_F(StockListTest, DefaultsThatNameNoPlainFileAreNeitherReadNorWritten) {
    writePage("Root", R"({ items = (
        { cell = PSSwitchCell; label = Empty; key = k; defaults = ""; default = 1; },
        { cell = PSSwitchCell; label = Dots; key = k; defaults = ".."; default = 1; },
        { cell = PSSwitchCell; label = Sub; key = k; defaults = "sub/x"; default = 1; },
        { cell = PSSwitchCell; label = Out; key = k; defaults = "../x"; default = 1; },
    ); })");
    // Files that a lenient reading of those names would reach.
    PlistValue off = PlistValue::dictionary();
    off.set("k", PlistValue(false));
    for (const char* file : {"/.plist", "/...plist", "/sub/x.plist"})
        device.writePlist(std::string("/var/mobile/Library/Preferences") + file, off);
    device.writePlist("/var/mobile/Library/x.plist", off);
    auto list = open();
    for (const char* title : {"Empty", "Dots", "Sub", "Out"}) {
        auto row = list->specifierForName(title);
        // The row shows its default, not what those files hold, and a change is not stored.
        EXPECT_EQ(list->readPreferenceValue(row), PlistValue("1")) << title; // text in the old form
        list->setValueForSpecifier(PlistValue(true), row);
    }
    EXPECT_EQ(device.countLog("Couldn't save "), 4u);
    // The log says why each row has no file.
    EXPECT_EQ(device.countLog("Couldn't save Dots: the \"defaults\" \"..\" is not allowed: \"\", \".\" and "
                              "\"..\" name no file"),
              1u);
    EXPECT_EQ(device.countLog("Couldn't save Out: the \"defaults\" \"../x\" is not allowed: the name leads "
                              "out of the preferences folder"),
              1u);
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    EXPECT_EQ(device.readPlist("/var/mobile/Library/x.plist"), off);
    EXPECT_EQ(device.readPlist("/var/mobile/Library/Preferences/.plist"), off);
}

const char* kTextRows = R"({ items = (
    { cell = PSEditTextCell; label = Name; key = name; defaults = com.t; PostNotification = "com.t/name"; },
    { cell = PSSecureEditTextCell; label = Code; key = code; defaults = com.t; PostNotification = "com.t/code"; },
    { cell = PSSwitchCell; label = Enabled; key = enabled; defaults = com.t; },
    { cell = PSLinkCell; label = More; detail = More; },
); })";

// The field of a text row as the table shows it (the cell on the page, not a fresh one).
std::shared_ptr<UITextField> shownField(PSListController& list, const std::string& title) {
    auto face = UITableViewContentView::attach(list.table());
    face->syncWithTable();
    face->loadAllRows();
    for (const auto& [path, cell] : face->visibleRows())
        if (cell->text() == title)
            if (auto field = std::dynamic_pointer_cast<UITextField>(cell->accessoryView()))
                return field;
    ADD_FAILURE() << "no text row " << title << " on the page";
    return UITextField::create();
}

TEST_F(StockListTest, ATextRowStoresOnceWhenItsEditingEndsNotAtEveryKey) {
    writePage("Root", kTextRows);
    auto list = open();
    auto name = shownField(*list, "Name");
    ASSERT_TRUE(name->becomeFirstResponder());
    for (const char* key : {"A", "n", "n", "x"})
        name->insertText(key);
    name->deleteBackward();
    // Nothing is written while the user types.
    EXPECT_FALSE(device.exists(kPrefs));
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    name->returnKey();
    EXPECT_EQ(device.readPlist(kPrefs).get("name"), PlistValue("Ann"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(), std::vector<std::string>{"com.t/name"});

    // Focused again and left as it was, the row stores nothing.
    name = shownField(*list, "Name");
    ASSERT_TRUE(name->becomeFirstResponder());
    name->resignFirstResponder();
    EXPECT_EQ(DarwinNotifyCenter::postedNames().size(), 1u);

    // Giving the keyboard to the secure row ends the first row's editing; tapping another row
    // ends the secure row's.
    name = shownField(*list, "Name");
    ASSERT_TRUE(name->becomeFirstResponder());
    name->insertText("e");
    auto code = shownField(*list, "Code");
    ASSERT_TRUE(code->becomeFirstResponder());
    EXPECT_EQ(device.readPlist(kPrefs).get("name"), PlistValue("Anne"));
    code->insertText("1234");
    list->tapSpecifier(list->specifierForName("Enabled"));
    EXPECT_FALSE(code->isFirstResponder());
    EXPECT_EQ(device.readPlist(kPrefs).get("code"), PlistValue("1234"));
    EXPECT_EQ(DarwinNotifyCenter::postedNames(),
              (std::vector<std::string>{"com.t/name", "com.t/name", "com.t/code"}));
}

TEST_F(StockListTest, LeavingAPageMidEditStoresTheText) {
    writePage("Root", kTextRows);
    writePage("More",
              R"({ items = ( { cell = PSEditTextCell; label = Motto; key = motto; defaults = com.t; } ); })");
    auto list = open();
    // A tap on a link row while a field of the page is edited: the text is stored, then the page goes.
    auto name = shownField(*list, "Name");
    ASSERT_TRUE(name->becomeFirstResponder());
    name->insertText("Bo");
    list->tapSpecifier(list->specifierForName("More"));
    EXPECT_EQ(device.readPlist(kPrefs).get("name"), PlistValue("Bo"));
    auto more = std::dynamic_pointer_cast<PSListController>(navigation->topViewController());
    ASSERT_TRUE(more && more != list);

    // Going back from the child page mid-edit stores its text too.
    auto motto = shownField(*more, "Motto");
    ASSERT_TRUE(motto->becomeFirstResponder());
    motto->insertText("Carpe diem");
    navigation->popViewControllerAnimated(false);
    EXPECT_FALSE(UITextField::focusedTextField());
    EXPECT_EQ(device.readPlist(kPrefs).get("motto"), PlistValue("Carpe diem"));
}

TEST_F(StockListTest, AFileThatCannotBeReadSaysWhyAndIsNeverWrittenOver) {
    writePage("Root", kValues);
    const std::string broken = "bplist00\xff\x01 not a list";
    device.write(kPrefs, broken);
    auto list = open();
    // The page shows the defaults, and the log says once why the file's values are not shown.
    EXPECT_TRUE(std::dynamic_pointer_cast<UISwitch>(cellOf(*list, "Enabled")->accessoryView())->isOn());
    EXPECT_EQ(cellOf(*list, "Tint")->detailText(), "Amber");
    EXPECT_EQ(device.countLog("Couldn't read /var/mobile/Library/Preferences/com.t.plist: the file cannot be "
                              "read: The data couldn’t be read because it isn’t in the correct format "
                              "(binary list: "),
              1u);
    // A change says why it was not stored, to the log and to the host, and leaves the file.
    list->setValueForSpecifier(PlistValue(false), list->specifierForName("Enabled"));
    ASSERT_FALSE(list->lastStoreResult());
    EXPECT_NE(list->lastStoreResult().reason().find("the file cannot be read: "), std::string::npos);
    EXPECT_EQ(device.read(kPrefs), broken);
    EXPECT_TRUE(DarwinNotifyCenter::postedNames().empty());
    // Once the file is fine again, so is the next change.
    std::filesystem::remove(device.host(kPrefs));
    list->setValueForSpecifier(PlistValue(false), list->specifierForName("Enabled"));
    EXPECT_TRUE(list->lastStoreResult());
}

TEST_F(StockListTest, AChoicePageWritesOnTapAndMovesItsCheck) {
    writePage("Root", kValues);
    auto list = open();
    auto tint = list->specifierForName("Tint");
    list->tapSpecifier(tint);
    auto page = std::dynamic_pointer_cast<PSListItemsController>(navigation->topViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->title(), "Tint");
    EXPECT_EQ(page->currentChoice(), 1u);
    EXPECT_EQ(cellOf(*page, "Warm Amber")->accessoryType(), UITableViewCellAccessoryCheckmark);
    EXPECT_EQ(cellOf(*page, "None")->accessoryType(), UITableViewCellAccessoryNone);
    page->tapSpecifier(page->specifierForName("None"));
    EXPECT_EQ(device.readPlist(kPrefs).get("tint"), PlistValue("none"));
    EXPECT_EQ(cellOf(*page, "None")->accessoryType(), UITableViewCellAccessoryCheckmark);
    // Back on the list, the row shows the new choice.
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(cellOf(*list, "Tint")->detailText(), "None");
}

TEST_F(StockListTest, RowsOfTheBundlesOwnClassesWorkAsTheirStockCellsAndMissingPagesSaySo) {
    writePage("Root", R"({ items = (
        { cell = PSLinkCell; label = More; detail = Child; },
        { cell = PSLinkCell; label = Custom; detail = XYCustomController; },
        { cell = PSSwitchCell; label = Picker; cellClass = XYPickerCell; key = p; defaults = com.t; },
        { cell = PSSwitchCell; label = Stock; cellClass = PSSwitchTableCell; key = s; defaults = com.t; },
        { cell = PSButtonCell; label = Run; action = "runSomething:"; },
        { cell = PSLinkCell; label = Site; action = "openSite:"; },
        { cell = PSLinkCell; label = Follow; cellClass = XYLinkCell; action = "follow:"; },
        { cell = PSButtonCell; label = Credits; cellClass = XYCreditCell; },
        { cell = PSLinkListCell; label = Mode; detail = XYModeListController; key = mode; defaults = com.t;
          validValues = (0, 1); validTitles = (Off, Fast); default = 1; },
        { cellClass = XYBannerCell; },
    ); })");
    writePage(
        "Child",
        R"({ title = "More Things"; items = ({ cell = PSSwitchCell; label = Deep; key = deep; defaults = com.t; }); })");
    auto list = open();
    auto row = [&](const std::string& title) { return list->specifierForName(title); };
    EXPECT_EQ(row("More")->approximatedClassName(), "");
    EXPECT_EQ(row("Custom")->approximatedClassName(), "XYCustomController");
    EXPECT_EQ(row("Picker")->approximatedClassName(), "XYPickerCell");
    EXPECT_EQ(row("Stock")->approximatedClassName(), "");
    EXPECT_EQ(row("Mode")->approximatedClassName(), "XYModeListController");
    // Only a row with nothing stock to draw stays a placeholder.
    for (const auto& r : *list->specifiers())
        EXPECT_EQ(r->missingClassName(), r->name().empty() ? "XYBannerCell" : "") << r->name();

    // The bundle's own switch is a switch that switches and stores through the stock store, marked.
    auto picker = cellOf(*list, "Picker");
    auto toggle = std::dynamic_pointer_cast<UISwitch>(picker->accessoryView());
    ASSERT_TRUE(toggle);
    toggle->setOn(true, false);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(device.readPlist("/var/mobile/Library/Preferences/com.t.plist").get("p"), PlistValue(true));
    EXPECT_TRUE(picker->viewWithTag(PSTableCellViews::kApproximatedMarkTag));
    EXPECT_FALSE(cellOf(*list, "Stock")->viewWithTag(PSTableCellViews::kApproximatedMarkTag));
    // A choice row shows its stored choice whatever its page, and opens the stock choices.
    EXPECT_EQ(cellOf(*list, "Mode")->detailText(), "Fast");
    list->tapSpecifier(row("Mode"));
    EXPECT_TRUE(std::dynamic_pointer_cast<PSListItemsController>(navigation->topViewController()));
    navigation->popViewControllerAnimated(false);

    // A tap that would open or run code the bundle does not bring opens a page that names it.
    auto pageAfterTapping = [&](const std::string& title) {
        list->tapSpecifier(row(title));
        auto page = std::dynamic_pointer_cast<PSMissingCodeController>(navigation->topViewController());
        std::string named = page ? page->missingClass() : std::string("(no page)");
        if (page) {
            EXPECT_EQ(page->title(), title);
            navigation->popViewControllerAnimated(false);
        }
        return named;
    };
    EXPECT_EQ(pageAfterTapping("Custom"), "XYCustomController");
    EXPECT_EQ(pageAfterTapping("Credits"), "XYCreditCell");
    EXPECT_EQ(pageAfterTapping("Run"), "runSomething:");
    EXPECT_EQ(device.countLog("runSomething: is code of the bundle"), 1u);
    // A link row with an action and nothing to open runs the action, whatever its cell class.
    EXPECT_EQ(pageAfterTapping("Site"), "openSite:");
    EXPECT_EQ(device.countLog("openSite: is code of the bundle"), 1u);
    EXPECT_EQ(pageAfterTapping("Follow"), "follow:");

    list->tapSpecifier(row("More"));
    auto child = std::dynamic_pointer_cast<PSListController>(navigation->topViewController());
    ASSERT_TRUE(child && child != list);
    EXPECT_EQ(child->specifiers()->at(0)->name(), "Deep");
    EXPECT_EQ(child->title(), "More Things");
    navigation->popViewControllerAnimated(false);
    // The dead row does nothing.
    list->tapSpecifier(list->specifiers()->back());
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
}

TEST_F(StockListTest, ConfirmationSheetsRunTheActionOnlyOnTheirOKButton) {
    writePage("Root", R"({ items = (
        { cell = PSButtonCell; label = Reset; action = "resetAll:"; isDestructive = 1;
          confirmation = { prompt = "Really?"; okTitle = Erase; cancelTitle = Keep; isDestructive = 1; }; },
    ); })");
    auto list = open();
    list->tapSpecifier(list->specifierForName("Reset"));
    auto sheet = std::dynamic_pointer_cast<UIAlertController>(navigation->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->message(), "Really?");
    ASSERT_EQ(sheet->actions().size(), 2u);
    EXPECT_EQ(sheet->actions()[0]->title(), "Erase");
    EXPECT_EQ(sheet->actions()[0]->style(), UIAlertActionStyleDestructive);
    EXPECT_EQ(sheet->actions()[1]->title(), "Keep");
    EXPECT_EQ(cellOf(*list, "Reset")->textColor(), PSTableCellViews::destructiveColor());
    // Keep: the action does not run. (Actions of the bundle's code say so in the log when run.)
    sheet->performAction(sheet->actions()[1]);
    device.loop()->advanceBy(1);
    EXPECT_EQ(device.countLog("resetAll: is code of the bundle"), 0u);
    list->tapSpecifier(list->specifierForName("Reset"));
    sheet = std::dynamic_pointer_cast<UIAlertController>(navigation->presentedViewController());
    ASSERT_TRUE(sheet);
    sheet->performAction(sheet->actions()[0]);
    device.loop()->advanceBy(1);
    EXPECT_EQ(device.countLog("resetAll: is code of the bundle"), 1u);
}

TEST_F(StockListTest, TextsAreLocalisedThroughThePagesStringsTableInTheDevicesLanguage) {
    writePage("Root", R"({ title = Tweak; items = (
        { cell = PSGroupCell; label = Main; footerText = "Applies at once"; },
        { cell = PSSegmentCell; label = Side; key = side; defaults = com.t; validTitles = (Left, Right); validValues = (0, 1); },
    ); })");
    // Strings tables as they are written: braceless, and in UTF-16 with a byte-order mark.
    device.write(std::string(kBundle) + "/de.lproj/Root.strings",
                 "\"Main\" = \"Allgemein\";\n\"Side\" = \"Seite\";\n\"Left\" = \"Links\";\n\"Tweak\" = "
                 "\"Optimierung\";");
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("\"Main\" = \"Principal\";"))
        utf16 += std::string{c, '\0'};
    device.write(std::string(kBundle) + "/French.lproj/Root.strings", utf16);

    NSBundle::setPreferredLanguages({"de-CH"});
    auto list = open();
    EXPECT_EQ(list->title(), "Optimierung");
    EXPECT_EQ(list->table()->titleForHeaderInSection(0), "Allgemein");
    EXPECT_EQ(list->table()->titleForFooterInSection(0), "Applies at once"); // untranslated: as written
    auto side = list->specifierForName("Seite");
    ASSERT_TRUE(side);
    EXPECT_EQ(PSControlValue::choiceTitles(*side), (std::vector<std::string>{"Links", "Right"}));

    NSBundle::setPreferredLanguages({"fr"});
    EXPECT_EQ(open()->table()->titleForHeaderInSection(0), "Principal");
    NSBundle::setPreferredLanguages({"ja"});
    EXPECT_EQ(open()->table()->titleForHeaderInSection(0), "Main");
}

TEST_F(StockListTest, ARowsHeightIsTakenAndItsCellCentredInIt) {
    writePage("Root", R"({ items = (
        { cell = PSSwitchCell; label = Banner; key = b; defaults = com.t; height = 120; },
        { cell = PSSwitchCell; label = Text; key = t; defaults = com.t; height = "88"; },
        { cell = PSSwitchCell; label = Plain; key = p; defaults = com.t; },
        { cell = PSSwitchCell; label = Wrong; key = w; defaults = com.t; height = -5; },
        { cell = PSSwitchCell; label = Huge; key = h; defaults = com.t; height = 1e9; },
    ); })");
    auto list = open();
    auto table = list->table();
    auto height = [&](std::int64_t row) {
        return table->heightForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
    };
    EXPECT_EQ(height(0), 120);
    EXPECT_EQ(height(1), 88); // the old text form writes numbers as text
    EXPECT_EQ(height(2), std::nullopt);
    EXPECT_EQ(height(3), std::nullopt);
    EXPECT_EQ(height(4), 2000);

    // The drawn row takes it, with its switch in the middle.
    table->setFrame(CGRectMake(0, 0, 375, 600));
    auto face = UITableViewContentView::attach(table);
    auto banner = face->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->frame().height(), 120);
    auto toggle = std::dynamic_pointer_cast<UISwitch>(banner->accessoryView());
    ASSERT_TRUE(toggle);
    EXPECT_NEAR(toggle->frame().midY(), 60, 1);
    EXPECT_EQ(face->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(2, 0))->minY(),
              banner->frame().minY() + 120 + 88);
    EXPECT_EQ(face->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(2, 0))->height(), 44);
}

TEST_F(StockListTest, FooterAlignmentKeyboardsAndSliderImagesAreTaken) {
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; footerText = "Centred"; footerAlignment = 1; },
        { cell = PSEditTextCell; label = Age; key = age; defaults = com.t; isNumeric = 1; },
        { cell = PSEditTextCell; label = Mail; key = mail; defaults = com.t; isEmail = 1; },
        { cell = PSSliderCell; label = Volume; key = v; defaults = com.t; leftImage = "quiet.png"; rightImage = "loud.png"; },
    ); })");
    device.write(std::string(kBundle) + "/quiet.png", DeviceFixture::png(22));
    device.write(std::string(kBundle) + "/loud.png", DeviceFixture::png(22));
    auto list = open();
    EXPECT_EQ(list->table()->alignmentForFooterInSection(0), NSTextAlignmentCenter);
    auto field = [&](const char* title) {
        return std::dynamic_pointer_cast<UITextField>(cellOf(*list, title)->accessoryView());
    };
    EXPECT_EQ(field("Age")->keyboardType(), UIKeyboardTypeNumberPad);
    EXPECT_EQ(field("Mail")->keyboardType(), UIKeyboardTypeEmailAddress);
    // The slider sits between its two images.
    auto box = cellOf(*list, "Volume")->fillingControl();
    ASSERT_TRUE(box);
    int images = 0;
    std::shared_ptr<UISlider> slider;
    for (const auto& v : box->subviews()) {
        images += std::dynamic_pointer_cast<UIImageView>(v) ? 1 : 0;
        if (auto s = std::dynamic_pointer_cast<UISlider>(v))
            slider = s;
    }
    EXPECT_EQ(images, 2);
    ASSERT_TRUE(slider);
    EXPECT_GT(slider->frame().minX(), 20);
    EXPECT_LT(slider->frame().maxX(), 180);
}

TEST(PSControlValueTest, ScriptsAndTouchesStoreTheSameValues) {
    auto row = [](PSCellType type, std::initializer_list<std::pair<const char*, PlistValue>> props) {
        auto s = PSSpecifier::preferenceSpecifierNamed("R", nullptr, {}, {}, {}, type, {});
        for (const auto& [k, v] : props)
            s->setProperty(v, k);
        return s;
    };
    // Bounds in the old text form are numbers too, and a swapped range does not invert.
    auto slider = row(PSSliderCell, {{"min", PlistValue("2")}, {"max", PlistValue("8.5")}});
    EXPECT_EQ(PSControlValue::fromSlider(*slider, 100), PlistValue(8.5));
    EXPECT_EQ(PSControlValue::fromSlider(*slider, -1), PlistValue(2.0));
    EXPECT_EQ(PSControlValue::sliderPosition(*slider, PlistValue("5 apples")), 5);
    EXPECT_EQ(PSControlValue::shownText(*slider, PlistValue()), "2");
    auto swapped = row(PSSliderCell, {{"min", PlistValue(5)}, {"max", PlistValue(1)}});
    EXPECT_EQ(PSControlValue::sliderMaximum(*swapped), 5);

    auto toggle = row(PSSwitchCell, {{"negate", PlistValue("YES")}});
    EXPECT_EQ(PSControlValue::fromSwitch(*toggle, true), PlistValue(false));
    EXPECT_EQ(PSControlValue::shownText(*toggle, PlistValue("0")), "on");

    // Choices match a stored text against numeric values, and the other way round.
    auto segment = row(PSSegmentCell, {{"validTitles", PlistValue::array({PlistValue("A"), PlistValue("B")})},
                                       {"validValues", PlistValue::array({PlistValue(0), PlistValue("1")})}});
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue("0")), 0u);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue(1)), 1u);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue(7)), std::nullopt);
    EXPECT_EQ(PSControlValue::fromChoice(*segment, 5), PlistValue());

    auto secret = row(PSSecureEditTextCell, {});
    EXPECT_EQ(PSControlValue::shownText(*secret, PlistValue("pässe")), "\u2022\u2022\u2022\u2022\u2022");
}

} // namespace
