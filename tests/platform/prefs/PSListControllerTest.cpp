#include "support/DeviceFixture.h"

#include "platform/foundation/plist/PropertyList.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSSpecifier.h"
#include "platform/prefs/PSTableCell.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/ui/UISegmentedControl.h"
#include "platform/ui/UISlider.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITextField.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include <sys/stat.h>

namespace {

// A target that answers a getter, a setter and an action by selector, and a list that caches
// what it loads, as a pane does.
class Target : public PSListController {
public:
    static std::shared_ptr<Target> make() { return std::shared_ptr<Target>(new Target()); }
    const SelectorTable* selectorTable() const override {
        static const SelectorTable table({
            {"get:", SelectorTable::bind(&Target::get)},
            {"set:specifier:", SelectorTable::bind(&Target::set)},
            {"press:", SelectorTable::bind(&Target::press)},
        });
        return &table;
    }
    std::shared_ptr<const PSSpecifierList> specifiers() override {
        ++builds;
        if (!_specifiers)
            if (auto list = loadSpecifiersFromPlistName(
                    "Test", std::static_pointer_cast<NSObject>(shared_from_this())))
                _specifiers = std::make_shared<const PSSpecifierList>(*list);
        return _specifiers;
    }
    PlistValue get(const std::shared_ptr<PSSpecifier>& s) {
        auto it = values.find(s->name());
        return it != values.end() ? it->second : PlistValue("got " + s->name());
    }
    std::map<std::string, PlistValue> values; // what `get` answers for a row, by label
    void set(const PlistValue& v, const std::shared_ptr<PSSpecifier>& s) { sets.emplace_back(s->name(), v); }
    void press(const std::shared_ptr<PSSpecifier>& s) { pressed.push_back(s->name()); }
    int builds = 0;
    std::vector<std::pair<std::string, PlistValue>> sets;
    std::vector<std::string> pressed;
};

void writeBundle(const DeviceFixture& device, const std::string& text) {
    device.write("/bundle/Test.plist", text);
    PSListController::setBundlePath(device.host("/bundle"));
}

const char* kPlist = R"({
    items = (
        { cell = PSGroupCell; label = Group; footerText = "Foot"; },
        { cell = PSSwitchCell; label = Switch; key = on; defaults = com.x; get = "get:"; set = "set:specifier:"; },
        { cell = PSSegmentCell; label = Mode; validValues = (a, b); validTitles = (A, B); },
        "not a row",
        { cell = PSButtonCell; label = Press; action = "press:"; id = pressId; },
        { cell = PSNoSuchCell; label = Odd; }
    );
})";

TEST(PSTableCellTest, NamesAndValuesGoBothWaysAndUnknownNamesAreStaticText) {
    // Every cell type has one name of the platform's form, and the name reads back as the type.
    std::set<std::string> names;
    for (std::int64_t type = PSGroupCell; type <= PSEditTextViewCell; ++type) {
        std::string name = PSTableCell::stringFromCellType(static_cast<PSCellType>(type));
        EXPECT_TRUE(name.starts_with("PS") && name.ends_with("Cell")) << name;
        EXPECT_EQ(PSTableCell::cellTypeFromString(name), type) << name;
        EXPECT_TRUE(PSTableCell::isKnownCellType(name)) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 15u);
    // The values bundles' plists and code rely on are the platform's.
    EXPECT_EQ(PSTableCell::cellTypeFromString("PSGroupCell"), 0);
    EXPECT_EQ(PSTableCell::cellTypeFromString("PSSwitchCell"), 6);
    EXPECT_EQ(PSTableCell::cellTypeFromString("PSButtonCell"), 13);
    // Names are matched exactly; anything else is a static text cell.
    EXPECT_EQ(PSTableCell::cellTypeFromString("psswitchcell"), PSStaticTextCell);
    EXPECT_EQ(PSTableCell::cellTypeFromString("pscheckcell"), PSStaticTextCell);
    EXPECT_EQ(PSTableCell::cellTypeFromString(""), PSStaticTextCell);
    for (const char* unknown : {"psswitchcell", "PSCheckCell", "", "PSSwitchCell "})
        EXPECT_FALSE(PSTableCell::isKnownCellType(unknown)) << unknown;
}

TEST(PSListControllerTest, LoadsRowsWithTheirPropertiesAndTarget) {
    DeviceFixture device;
    writeBundle(device, kPlist);
    auto target = Target::make();
    auto rows = target->specifiers();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 5u); // the string item is left out
    const auto& sw = (*rows)[1];
    EXPECT_EQ(sw->name(), "Switch");
    EXPECT_EQ(sw->cellType(), PSSwitchCell);
    EXPECT_EQ(sw->getter(), "get:");
    EXPECT_EQ(sw->setter(), "set:specifier:");
    EXPECT_EQ(sw->target(), target);
    EXPECT_EQ(sw->propertyForKey("key"), PlistValue("on"));
    EXPECT_EQ(sw->propertyForKey("defaults"), PlistValue("com.x"));
    EXPECT_EQ((*rows)[0]->propertyForKey("footerText"), PlistValue("Foot"));
    EXPECT_EQ((*rows)[2]->propertyForKey("validValues").count(), 2u);
    EXPECT_EQ((*rows)[3]->identifier(), "pressId");
    EXPECT_EQ((*rows)[3]->description().rfind("<PSSpecifier 0x", 0), 0u);
    EXPECT_NE((*rows)[3]->description().find("ID pressId, Name 'Press'"), std::string::npos);
    EXPECT_EQ((*rows)[4]->cellType(), PSStaticTextCell);

    // The host calls getters, setters and actions by selector with the row.
    EXPECT_EQ(target->valueForSpecifier(sw), PlistValue("got Switch"));
    target->setValueForSpecifier(PlistValue(true), sw);
    ASSERT_EQ(target->sets.size(), 1u);
    EXPECT_EQ(target->sets[0].second, PlistValue(true));
    target->performButtonAction((*rows)[3]);
    EXPECT_EQ(target->pressed, std::vector<std::string>{"Press"});
    EXPECT_TRUE(target->valueForSpecifier((*rows)[2]).isNone()); // no getter: no value

    // The table shows one section per group; group rows are headers.
    target->loadViewIfNeeded();
    EXPECT_TRUE(target->table()->superview());
    EXPECT_EQ(target->table()->numberOfSections(), 1);
    EXPECT_EQ(target->table()->numberOfRowsInSection(0), 4);
    target->table()->tapRowAtIndexPath({0, 2});
    EXPECT_EQ(target->pressed.size(), 2u);
}

TEST(PSListControllerTest, ReloadDropsTheCacheAndAsksAgain) {
    DeviceFixture device;
    writeBundle(device, kPlist);
    auto target = Target::make();
    auto first = target->specifiers();
    EXPECT_EQ(target->specifiers(), first);
    int builds = target->builds;
    std::uint64_t reloads = target->table()->reloadCount();
    target->reloadSpecifiers();
    EXPECT_EQ(target->builds, builds + 1);
    EXPECT_NE(target->specifiers(), first);
    EXPECT_EQ(target->table()->reloadCount(), reloads + 1);
}

TEST(PSListControllerTest, MissingOrMalformedPlistsGiveNoListAndSayWhy) {
    DeviceFixture device;
    PSListController::setBundlePath(device.host("/none"));
    auto target = Target::make();
    EXPECT_FALSE(target->loadSpecifiersFromPlistName("Test", target));
    for (const char* text : {"{ items = notalist; }", "( 1, 2 )", "<?xml garbage", "bplist00"}) {
        writeBundle(device, text);
        EXPECT_FALSE(target->loadSpecifiersFromPlistName("Test", target)) << text;
    }
    EXPECT_EQ(device.countLog("Couldn't load specifier plist Test"), 5u);
    // What is not a plain file is refused without waiting on it, and the log says what it is.
    device.mkdirs("/odd");
    PSListController::setBundlePath(device.host("/odd"));
    ASSERT_EQ(mkfifo(device.host("/odd/Fifo.plist").c_str(), 0600), 0);
    device.mkdirs("/odd/Folder.plist");
    EXPECT_FALSE(target->loadSpecifiersFromPlistName("Fifo", target));
    EXPECT_FALSE(target->loadSpecifiersFromPlistName("Folder", target));
    EXPECT_EQ(device.countLog("Couldn't load specifier plist Fifo: The file “Fifo.plist” couldn’t be opened "
                              "because it is not a regular file."),
              1u);
    EXPECT_EQ(device.countLog("Couldn't load specifier plist Folder: The file “Folder.plist” couldn’t be "
                              "opened because it is a folder, not a file."),
              1u);
    // The log names the plist, not the host's folders.
    for (const auto& line : device.log())
        EXPECT_EQ(line.find(device.root()), std::string::npos) << line;
}

} // namespace

namespace {

const char* kControlsPlist = R"({
    items = (
        { cell = PSGroupCell; label = Options; footerText = "Applies at once"; },
        { cell = PSSwitchCell; label = Enabled; get = "get:"; set = "set:specifier:"; },
        { cell = PSSliderCell; label = Size; min = 10; max = 90; get = "get:"; set = "set:specifier:"; },
        { cell = PSSegmentCell; label = Side; validValues = (0, 1); validTitles = (Left, Right);
          get = "get:"; set = "set:specifier:"; },
        { cell = PSEditTextCell; label = Name; placeholder = "none"; get = "get:"; set = "set:specifier:"; },
    );
})";

// The cell of one row of kControlsPlist, by label, as the table gets it.
std::shared_ptr<UITableViewCell> cellOf(Target& target, const std::string& label) {
    auto table = target.table();
    for (std::int64_t section = 0; section < table->numberOfSections(); ++section)
        for (std::int64_t row = 0; row < table->numberOfRowsInSection(section); ++row)
            if (auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
                cell && cell->text() == label)
                return cell;
    ADD_FAILURE() << "no row " << label;
    return UITableViewCell::create(UITableViewCellStyleDefault, "Missing");
}

TEST(PSTableCellViewsTest, ControlsStartAtTheGettersValueAndHandChangesToTheSetter) {
    DeviceFixture device;
    writeBundle(device, kControlsPlist);
    auto target = Target::make();
    target->values = {{"Enabled", PlistValue(true)},
                      {"Size", PlistValue(56.0)},
                      {"Side", PlistValue("1")}, // a string names the numeric choice 1
                      {"Name", PlistValue("Ann")}};

    auto toggle = std::dynamic_pointer_cast<UISwitch>(cellOf(*target, "Enabled")->accessoryView());
    ASSERT_TRUE(toggle);
    EXPECT_TRUE(toggle->isOn());
    toggle->setOn(false);
    toggle->sendActionsForControlEvents(UIControlEventValueChanged);

    auto size = cellOf(*target, "Size");
    auto slider = std::dynamic_pointer_cast<UISlider>(size->fillingControl());
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->minimumValue(), 10);
    EXPECT_EQ(slider->maximumValue(), 90);
    EXPECT_EQ(slider->value(), 56);
    slider->setValue(120, false); // clamped to the row's maximum
    slider->sendActionsForControlEvents(UIControlEventValueChanged);

    auto segments = std::dynamic_pointer_cast<UISegmentedControl>(cellOf(*target, "Side")->fillingControl());
    ASSERT_TRUE(segments);
    EXPECT_EQ(segments->numberOfSegments(), 2);
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);
    segments->setSelectedSegmentIndex(0);
    segments->sendActionsForControlEvents(UIControlEventValueChanged);

    auto field = std::dynamic_pointer_cast<UITextField>(cellOf(*target, "Name")->accessoryView());
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "Ann");
    EXPECT_EQ(field->placeholder(), "none");
    // A text field hands its text over when the editing ends.
    field->setText("Bo");
    field->sendActionsForControlEvents(UIControlEventEditingChanged);
    field->sendActionsForControlEvents(UIControlEventEditingDidEnd);

    const std::vector<std::pair<std::string, PlistValue>> expected = {{"Enabled", PlistValue(false)},
                                                                      {"Size", PlistValue(90.0)},
                                                                      {"Side", PlistValue("0")},
                                                                      {"Name", PlistValue("Bo")}};
    EXPECT_EQ(target->sets, expected);

    // A value the row's control cannot show leaves it at its start: off, the minimum, no segment.
    target->values = {{"Enabled", PlistValue("maybe")}, {"Size", PlistValue()}, {"Side", PlistValue(7)}};
    EXPECT_FALSE(std::dynamic_pointer_cast<UISwitch>(cellOf(*target, "Enabled")->accessoryView())->isOn());
    EXPECT_EQ(std::dynamic_pointer_cast<UISlider>(cellOf(*target, "Size")->fillingControl())->value(), 10);
    EXPECT_EQ(std::dynamic_pointer_cast<UISegmentedControl>(cellOf(*target, "Side")->fillingControl())
                  ->selectedSegmentIndex(),
              -1);
}

TEST(PSTableCellViewsTest, GroupRowsBecomeSectionHeadersAndFooters) {
    DeviceFixture device;
    writeBundle(device, kControlsPlist);
    auto target = Target::make();
    auto table = target->table();
    ASSERT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->titleForHeaderInSection(0), "Options");
    EXPECT_EQ(table->titleForFooterInSection(0), "Applies at once");
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
    EXPECT_EQ(table->titleForHeaderInSection(1), std::nullopt);
}

} // namespace
