#include "sim/settings/SettingsApp.h"
#include "sim/script/ScriptNumbers.h"
#include "sim/settings/SettingsTweakList.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSCellTypes.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSControllerClasses.h"

#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UITableViewContentView.h"
#include "platform/ui/UITableViewController.h"
#include "platform/ui/UITextField.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

std::string joinQuoted(const std::vector<std::string>& items) {
    std::vector<std::string> shown;
    for (const auto& item : items)
        shown.push_back(doubleQuoted(item));
    return shown.empty() ? "none" : joined(shown, ", ");
}

bool parseNumber(const std::string& text, double& out) {
    auto value = scriptNumber(text);
    out = value.value_or(0);
    return value.has_value();
}

// Whether a script's `set` can change the row: a value cell, or a library class that reads text.
bool holdsValue(const PSSpecifier& row) {
    if (!row.missingClassName().empty())
        return false;
    if (const auto& cls = row.cellClass(); cls && !cls->scriptInput().empty())
        return true;
    return PSCellTypes::of(row.cellType()).value != PSValueKind::None;
}

// The rows of a list titled `title`, in order; group headers are not rows.
// The rows with this title: their name, or the title their library class shows for the value now
// (a stepper's "Margin: 8 pixels").
PSSpecifierList rowsTitled(PSListController& list, const PSSpecifierList& rows, std::string_view title) {
    PSSpecifierList out;
    for (const auto& row : rows) {
        if (row->cellType() == PSGroupCell)
            continue;
        if (row->name() == title) {
            out.push_back(row);
        } else if (const auto& cls = row->cellClass()) {
            if (auto shown = cls->title(*row, list.valueForSpecifier(row)); shown && *shown == title)
                out.push_back(row);
        }
    }
    return out;
}

// "\"Enabled\"#2 (a switch, key \"isEnabled\")": how a script picks the row, and what it is.
std::string pickedRowText(const PSSpecifier& row, std::size_t ordinal) {
    std::string text = doubleQuoted(row.name()) + "#" + std::to_string(ordinal) + " (a " +
                       std::string(PSCellTypes::of(row.cellType()).rowKind);
    if (PlistValue key = row.propertyForKey("key"); key.isString())
        text += ", key " + doubleQuoted(key.stringValue());
    return text + ")";
}

// A text row's field takes the focus, as a touch on the row gives it, when the screen shows the
// list (a list without a screen has no fields).
void focusFieldOfRow(PSListController& list, const std::shared_ptr<PSSpecifier>& row) {
    const PSCellControl control = PSCellTypes::of(row->cellType()).control;
    if (control != PSCellControl::TextField && control != PSCellControl::SecureTextField)
        return;
    auto face = UITableViewContentView::of(*list.table());
    if (!face)
        return;
    face->loadAllRows();
    for (const auto& [path, cell] : face->visibleRows()) {
        if (list.specifierAtIndexPath(path) != row)
            continue;
        for (const auto& view : cell->subviews())
            if (auto field = std::dynamic_pointer_cast<UITextField>(view))
                field->becomeFirstResponder();
        return;
    }
}

} // namespace

void SettingsApp::show(const std::shared_ptr<UIViewController>& root) {
    close();
    navigation_ = UINavigationController::create(root);
    // The Settings app loads the screen's view, shows it, and asks for its rows to fill the table.
    navigation_->loadViewIfNeeded();
    root->loadViewIfNeeded();
    navigation_->viewWillAppear(false);
    if (auto list = std::dynamic_pointer_cast<PSListController>(root)) {
        (void)list->specifiers();
        list->table()->reloadData();
    }
    UIViewController::runAfterTransition([nav = navigation_] { nav->viewDidAppear(false); });
}

void SettingsApp::open() {
    if (!preferenceBundle_.empty() && fromSettings_) {
        std::string name = preferenceBundle_.substr(preferenceBundle_.find_last_of('/') + 1);
        name = name.ends_with(".bundle") ? name.substr(0, name.size() - 7) : name;
        for (const auto& entry : SettingsTweakList::readEntries())
            if (entry.bundle == name || entry.bundle == name + ".bundle") {
                openBundle(entry.label);
                return;
            }
    }
    if (!preferenceBundle_.empty()) {
        auto bundle = NSBundle::bundleWithHostFolder(preferenceBundle_);
        std::string missing;
        auto root = PSControllerClasses::controllerForBundle(bundle, &missing);
        if (!root)
            throw Error("the bundle " + doubleQuoted(preferenceBundle_) + " cannot be opened: " +
                        (bundle ? "it has neither a class this device has (" + missing + ") nor a Root.plist"
                                : std::string("it is not a folder")));
        std::string name = preferenceBundle_.substr(preferenceBundle_.find_last_of('/') + 1);
        root->setTitle(name.ends_with(".bundle") ? name.substr(0, name.size() - 7) : name);
        show(root);
        return;
    }
    auto pane = OrbitchatPreferencesController::create();
    // The Settings app titles a pane with the name of its entry in the Settings list.
    pane->setTitle("Orbitchat");
    show(pane);
}

void SettingsApp::openSettings() {
    show(SettingsTweakList::create());
}

void SettingsApp::openBundle(const std::string& label) {
    openSettings();
    auto list = std::dynamic_pointer_cast<SettingsTweakList>(navigation_->topViewController());
    auto row = list->specifierForName(label);
    list->resolve(row);
    if (!row || row->cellType() == PSGroupCell) {
        std::vector<std::string> labels;
        for (const auto& r : *list->specifiers())
            if (r->cellType() != PSGroupCell)
                labels.push_back(r->name());
        throw Error("the Settings list has no tweak " + doubleQuoted(label) +
                    " (it has: " + joinQuoted(labels) + ")");
    }
    if (!row->missingClassName().empty())
        throw Error("the tweak " + doubleQuoted(label) + " needs " + row->missingClassName() +
                    ", which this device does not have");
    list->tapSpecifier(row);
}

std::shared_ptr<OrbitchatPreferencesController> SettingsApp::pane() const {
    if (!navigation_)
        return nullptr;
    const auto& stack = navigation_->viewControllers();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (auto pane = std::dynamic_pointer_cast<OrbitchatPreferencesController>(*it))
            return pane;
    return nullptr;
}

std::shared_ptr<PSListController> SettingsApp::topList() const {
    return navigation_ ? std::dynamic_pointer_cast<PSListController>(navigation_->topViewController())
                       : nullptr;
}

std::shared_ptr<PSListController> SettingsApp::visibleList() const {
    if (!navigation_)
        return nullptr;
    return std::dynamic_pointer_cast<PSListController>(visibleController());
}

void SettingsApp::reopen() {
    ++resprings_;
    if (!navigation_)
        return;
    const auto stack = navigation_->viewControllers();
    if (!stack.empty() && std::dynamic_pointer_cast<SettingsTweakList>(stack.front())) {
        auto opened = stack.size() > 1 ? std::dynamic_pointer_cast<PSListController>(stack[1]) : nullptr;
        if (opened && opened->specifier()) {
            try {
                openBundle(opened->specifier()->name());
                return;
            } catch (const Error&) {
                // The entry went away meanwhile: the list of tweaks shows what is left.
            }
        }
        openSettings();
        return;
    }
    open();
}

void SettingsApp::close() {
    if (!navigation_)
        return;
    // The app going away ends the editing of a text field first, which stores its text.
    if (auto field = UITextField::focusedTextField())
        field->resignFirstResponder();
    // Quitting takes the presentations down with the app, without transitions.
    if (navigation_->presentedViewController())
        navigation_->dismissViewControllerAnimated(false, nullptr);
    navigation_.reset();
}

void SettingsApp::requireOpen() const {
    if (!navigation_)
        throw Error("nothing is open (use \"open\" first)");
}

std::vector<std::shared_ptr<UIViewController>> SettingsApp::presentedChain() const {
    std::vector<std::shared_ptr<UIViewController>> chain;
    if (!navigation_)
        return chain;
    for (auto vc = navigation_->presentedViewController(); vc; vc = vc->presentedViewController())
        chain.push_back(vc);
    return chain;
}

std::shared_ptr<UIAlertController> SettingsApp::presentedAlert() const {
    auto chain = presentedChain();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (auto alert = std::dynamic_pointer_cast<UIAlertController>(*it))
            return alert;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> SettingsApp::visibleController() const {
    auto chain = presentedChain();
    std::shared_ptr<UIViewController> top = chain.empty() ? navigation_ : chain.back();
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(top))
        return nav->topViewController();
    return top;
}

void SettingsApp::tap(const std::string& title) {
    requireOpen();
    auto chain = presentedChain();
    if (!chain.empty()) {
        if (auto alert = std::dynamic_pointer_cast<UIAlertController>(chain.back())) {
            if (auto action = alert->actionWithTitle(title)) {
                alert->performAction(action);
                return;
            }
            std::vector<std::string> titles;
            for (const auto& a : alert->actions())
                titles.push_back(a->title());
            throw Error("the alert " + doubleQuoted(alert->alertTitle().value_or("")) + " has no action " +
                        doubleQuoted(title) + " (its actions: " + joinQuoted(titles) + ")");
        }
    }

    auto visible = visibleController();
    std::vector<std::string> tappable;
    // The back button, titled with the screen underneath.
    if (chain.empty() && navigation_->viewControllers().size() > 1 &&
        !visible->navigationItem()->leftBarButtonItem()) {
        const auto& stack = navigation_->viewControllers();
        const auto& under = stack[stack.size() - 2];
        std::string back = under->title().empty() ? "Back" : under->title();
        if (title == back || title == "Back") {
            navigation_->popViewControllerAnimated(true);
            return;
        }
        tappable.push_back(back);
    }
    auto item = visible->navigationItem();
    for (const auto& button : {item->leftBarButtonItem(), item->rightBarButtonItem()}) {
        if (!button)
            continue;
        if (button->title() == title) {
            UIApplication::sharedApplication()->sendAction(button->action(), button->target(), button);
            return;
        }
        tappable.push_back(button->title());
    }

    if (auto list = std::dynamic_pointer_cast<PSListController>(visible)) {
        if (auto row = pickRow(*list, title, false)) {
            // A row without an action shows a highlight and does nothing else.
            list->tapSpecifier(row);
            focusFieldOfRow(*list, row);
            return;
        }
        if (auto rows = list->specifiers())
            for (const auto& row : *rows)
                if (row->cellType() != PSGroupCell)
                    tappable.push_back(row->name());
    } else if (auto tableController = std::dynamic_pointer_cast<UITableViewController>(visible)) {
        auto table = tableController->tableView();
        for (std::int64_t section = 0; section < table->numberOfSections(); ++section) {
            for (std::int64_t row = 0; row < table->numberOfRowsInSection(section); ++row) {
                auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
                if (cell && cell->text() == title) {
                    table->tapRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
                    return;
                }
                if (cell)
                    tappable.push_back(cell->text());
            }
        }
    }
    throw Error("nothing titled " + doubleQuoted(title) + " to tap on " + visible->className() +
                " (there is: " + joinQuoted(tappable) + ")");
}

std::optional<SettingsApp::RowPick> SettingsApp::RowPick::parse(std::string_view text) {
    if (text.starts_with("key=") && text.size() > 4)
        return RowPick{.title = {}, .ordinal = 0, .key = std::string(text.substr(4))};
    const std::size_t hash = text.rfind('#');
    if (hash == std::string_view::npos || hash == 0)
        return std::nullopt;
    std::string_view digits = text.substr(hash + 1);
    std::size_t ordinal = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), ordinal);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || ordinal == 0)
        return std::nullopt;
    return RowPick{.title = std::string(text.substr(0, hash)), .ordinal = ordinal, .key = {}};
}

std::shared_ptr<PSSpecifier> SettingsApp::pickRow(PSListController& list, const std::string& text,
                                                  bool toSet) {
    auto rows = list.specifiers();
    if (!rows)
        return nullptr;
    if (PSSpecifierList titled = rowsTitled(list, *rows, text); !titled.empty()) {
        if (!toSet || titled.size() == 1)
            return titled.front();
        std::vector<std::string> settable;
        std::shared_ptr<PSSpecifier> only;
        for (std::size_t i = 0; i < titled.size(); ++i) {
            if (!holdsValue(*titled[i]))
                continue;
            settable.push_back(pickedRowText(*titled[i], i + 1));
            only = titled[i];
        }
        if (settable.size() <= 1)
            return only ? only : titled.front();
        throw Error(std::to_string(settable.size()) + " rows titled " + doubleQuoted(text) +
                    " hold a value: " + joined(settable, ", ") + "; pick one with " + doubleQuoted(text) +
                    "#N (the Nth row of that title) or key=KEY");
    }
    auto pick = RowPick::parse(text);
    if (!pick)
        return nullptr;
    if (pick->ordinal) {
        PSSpecifierList titled = rowsTitled(list, *rows, pick->title);
        if (pick->ordinal > titled.size())
            throw Error("there is no row " + doubleQuoted(pick->title) + "#" + std::to_string(pick->ordinal) +
                        ": " + std::to_string(titled.size()) + " row(s) are titled " +
                        doubleQuoted(pick->title) + " (group headers are not counted)");
        return titled[pick->ordinal - 1];
    }
    std::shared_ptr<PSSpecifier> first;
    std::vector<std::string> keys;
    for (const auto& row : *rows) {
        PlistValue key = row->propertyForKey("key");
        if (row->cellType() == PSGroupCell || !key.isString())
            continue;
        if (key.stringValue() != pick->key) {
            keys.push_back(key.stringValue());
            continue;
        }
        // Rows that share a key show one value; a `set` changes it through a row that holds it.
        if (!toSet || holdsValue(*row))
            return row;
        if (!first)
            first = row;
    }
    if (first)
        return first;
    throw Error("no row has the key " + doubleQuoted(pick->key) + " (keys here: " + joinQuoted(keys) + ")");
}

PlistValue SettingsApp::cellValueFromText(const PSSpecifier& row, const std::string& text) {
    if (!row.missingClassName().empty()) {
        // A placeholder row may have no title; its key is how a script reached it.
        PlistValue key = row.propertyForKey("key");
        const std::string shown =
            row.name().empty() && key.isString() ? "key=" + key.stringValue() : doubleQuoted(row.name());
        throw Error("the row " + shown + " needs " + row.missingClassName() +
                    ", which this device does not have");
    }
    // A library's class reads the text first; what it leaves goes to the stock cell of the row's
    // type, as does a row drawn as its stock cell in place of the bundle's own class.
    const auto& cls = row.cellClass();
    if (cls) {
        if (auto value = cls->valueFromText(row, text)) {
            if (!*value)
                throw Error(value->failure().reason);
            return std::move(*value).value();
        }
    }
    const PSCellTypeInfo& type = PSCellTypes::of(row.cellType());
    const std::string_view input = cls && !cls->scriptInput().empty() ? cls->scriptInput() : type.scriptInput;
    const std::string what = "the " + std::string(type.rowKind) + " " + doubleQuoted(row.name());
    switch (type.value) {
    case PSValueKind::Boolean:
        if (text == "on")
            return PSControlValue::fromSwitch(row, true);
        if (text == "off")
            return PSControlValue::fromSwitch(row, false);
        throw Error(what + " takes " + std::string(input) + ", not " + doubleQuoted(text));
    case PSValueKind::Number: {
        double value = 0;
        if (!parseNumber(text, value))
            throw Error(what + " takes " + std::string(input) + ", not " + doubleQuoted(text));
        double low = PSControlValue::sliderMinimum(row), high = PSControlValue::sliderMaximum(row);
        if (value < low || value > high)
            throw Error(what + " goes from " + PSControlValue::numberText(low) + " to " +
                        PSControlValue::numberText(high) + "; " + text + " is outside");
        return PSControlValue::fromSlider(row, value);
    }
    case PSValueKind::Text:
        return PlistValue(text);
    case PSValueKind::Choice: {
        auto titles = PSControlValue::choiceTitles(row);
        for (std::size_t i = 0; i < titles.size(); ++i) {
            if (titles[i] != text)
                continue;
            PlistValue value = PSControlValue::fromChoice(row, i);
            if (value.isNone())
                throw Error("the row " + doubleQuoted(row.name()) + " has no value for the title " +
                            doubleQuoted(text));
            return value;
        }
        throw Error("the row " + doubleQuoted(row.name()) + " offers " + joinQuoted(titles) + ", not " +
                    doubleQuoted(text));
    }
    case PSValueKind::None:
        break;
    }
    if (!input.empty())
        throw Error(what + " takes " + std::string(input) + ", not " + doubleQuoted(text));
    throw Error("the row " + doubleQuoted(row.name()) + " is a " + std::string(type.name) +
                " and holds no value to set");
}

void SettingsApp::set(const std::string& rowText, const std::string& valueText) {
    requireOpen();
    if (auto alert = presentedAlert())
        throw Error("the alert " + doubleQuoted(alert->alertTitle().value_or("")) +
                    " covers the list; tap one of its actions first");
    auto list = std::dynamic_pointer_cast<PSListController>(visibleController());
    if (!list)
        throw Error("no settings list is showing (" + visibleController()->className() + " is on screen)");
    auto row = pickRow(*list, rowText, true);
    if (!row)
        throw Error("no row titled " + doubleQuoted(rowText));
    list->setValueForSpecifier(cellValueFromText(*row, valueText), row);
    if (const Result<>& stored = list->lastStoreResult(); !stored)
        throw Error("the row " + doubleQuoted(row->name()) + " was not stored: " + stored.reason());
}

void SettingsApp::burst() {
    requireOpen();
    auto pane = this->pane();
    if (!pane)
        throw Error("the pane is not open (use \"open\" first)");
    pane->burst();
}
