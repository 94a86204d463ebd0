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
#include "platform/ui/UITableViewController.h"

#include <cerrno>
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
        if (auto rows = list->specifiers()) {
            for (const auto& row : *rows) {
                if (row->name() == title && row->cellType() != PSGroupCell) {
                    // A row without an action shows a highlight and does nothing else.
                    list->tapSpecifier(row);
                    return;
                }
                if (row->cellType() != PSGroupCell)
                    tappable.push_back(row->name());
            }
        }
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

PlistValue SettingsApp::cellValueFromText(const PSSpecifier& row, const std::string& text) {
    if (!row.missingClassName().empty())
        throw Error("the row " + doubleQuoted(row.name()) + " needs " + row.missingClassName() +
                    ", which this device does not have");
    // A library's class says what a script's text means for its rows.
    if (const auto& cls = row.cellClass())
        if (auto own = cls->valueFromText(row, text)) {
            if (!*own)
                throw Error(own->reason());
            return own->value();
        }
    const PSCellTypeInfo& type = PSCellTypes::of(row.cellType());
    const std::string what = "the " + std::string(type.rowKind) + " " + doubleQuoted(row.name());
    switch (type.value) {
    case PSValueKind::Boolean:
        if (text == "on")
            return PSControlValue::fromSwitch(row, true);
        if (text == "off")
            return PSControlValue::fromSwitch(row, false);
        throw Error(what + " takes " + std::string(type.scriptInput) + ", not " + doubleQuoted(text));
    case PSValueKind::Number: {
        double value = 0;
        if (!parseNumber(text, value))
            throw Error(what + " takes " + std::string(type.scriptInput) + ", not " + doubleQuoted(text));
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
    throw Error("the row " + doubleQuoted(row.name()) + " is a " + std::string(type.name) +
                " and holds no value to set");
}

void SettingsApp::set(const std::string& rowTitle, const std::string& valueText) {
    requireOpen();
    if (auto alert = presentedAlert())
        throw Error("the alert " + doubleQuoted(alert->alertTitle().value_or("")) +
                    " covers the list; tap one of its actions first");
    auto list = std::dynamic_pointer_cast<PSListController>(visibleController());
    if (!list)
        throw Error("no settings list is showing (" + visibleController()->className() + " is on screen)");
    auto row = list->specifierForName(rowTitle);
    if (!row || row->cellType() == PSGroupCell)
        throw Error("no row titled " + doubleQuoted(rowTitle));
    list->setValueForSpecifier(cellValueFromText(*row, valueText), row);
}

void SettingsApp::burst() {
    requireOpen();
    auto pane = this->pane();
    if (!pane)
        throw Error("the pane is not open (use \"open\" first)");
    pane->burst();
}
