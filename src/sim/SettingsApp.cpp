#include "sim/SettingsApp.h"
#include "sim/ScriptNumbers.h"

#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UITableViewController.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string joinQuoted(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : ", ") + quoted(item);
    return out.empty() ? "none" : out;
}

bool parseNumber(const std::string& text, double& out) {
    auto value = scriptNumber(text);
    out = value.value_or(0);
    return value.has_value();
}

// A slider's bound as the cell reads it: a number, or text that holds one (old-style plists have
// only strings).
std::optional<double> boundOf(const PlistValue& v) {
    if (v.isNumber())
        return v.doubleValue();
    double parsed = 0;
    if (v.isString() && parseNumber(v.stringValue(), parsed))
        return parsed;
    return std::nullopt;
}

} // namespace

void SettingsApp::open() {
    close();
    pane_ = OrbitchatPreferencesController::create();
    // The Settings app titles a pane with the name of its entry in the Settings list.
    pane_->setTitle("Orbitchat");
    navigation_ = UINavigationController::create(pane_);
    // The Settings app loads the pane's view, shows it, and asks for its rows to fill the table.
    navigation_->loadViewIfNeeded();
    pane_->loadViewIfNeeded();
    navigation_->viewWillAppear(false);
    (void)pane_->specifiers();
    pane_->table()->reloadData();
    UIViewController::runAfterTransition([nav = navigation_] { nav->viewDidAppear(false); });
}

void SettingsApp::close() {
    if (!navigation_)
        return;
    // Quitting takes the presentations down with the app, without transitions.
    if (navigation_->presentedViewController())
        navigation_->dismissViewControllerAnimated(false, nullptr);
    navigation_.reset();
    pane_.reset();
}

void SettingsApp::requireOpen() const {
    if (!pane_)
        throw Error("the pane is not open (use \"open\" first)");
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
            throw Error("the alert " + quoted(alert->alertTitle().value_or("")) + " has no action " +
                        quoted(title) + " (its actions: " + joinQuoted(titles) + ")");
        }
    }

    auto visible = visibleController();
    std::vector<std::string> tappable;
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
                    list->performButtonAction(row);
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
    throw Error("nothing titled " + quoted(title) + " to tap on " + visible->className() +
                " (there is: " + joinQuoted(tappable) + ")");
}

PlistValue SettingsApp::cellValueFromText(const PSSpecifier& row, const std::string& text) {
    switch (row.cellType()) {
    case PSSwitchCell:
        if (text == "on")
            return PlistValue(true);
        if (text == "off")
            return PlistValue(false);
        throw Error("the switch " + quoted(row.name()) + " takes on or off, not " + quoted(text));
    case PSSliderCell: {
        double value = 0;
        if (!parseNumber(text, value))
            throw Error("the slider " + quoted(row.name()) + " takes a number, not " + quoted(text));
        PlistValue min = row.propertyForKey("min");
        PlistValue max = row.propertyForKey("max");
        auto low = boundOf(min);
        auto high = boundOf(max);
        if ((low && value < *low) || (high && value > *high))
            throw Error("the slider " + quoted(row.name()) + " goes from " + min.description() + " to " +
                        max.description() + "; " + text + " is outside");
        return PlistValue(value);
    }
    case PSEditTextCell:
    case PSSecureEditTextCell:
    case PSEditTextViewCell:
        return PlistValue(text);
    case PSSegmentCell:
    case PSLinkListCell: {
        PlistValue titles = row.propertyForKey("validTitles");
        PlistValue values = row.propertyForKey("validValues");
        std::vector<std::string> choices;
        for (std::size_t i = 0; i < titles.count(); ++i) {
            PlistValue t = titles.at(i);
            if (t.isString() && t.stringValue() == text) {
                if (i >= values.count())
                    throw Error("the row " + quoted(row.name()) + " has no value for the title " +
                                quoted(text));
                return values.at(i);
            }
            choices.push_back(t.description());
        }
        throw Error("the row " + quoted(row.name()) + " offers " + joinQuoted(choices) + ", not " +
                    quoted(text));
    }
    default:
        throw Error("the row " + quoted(row.name()) + " is a " +
                    PSTableCell::stringFromCellType(row.cellType()) + " and holds no value to set");
    }
}

void SettingsApp::set(const std::string& rowTitle, const std::string& valueText) {
    requireOpen();
    if (auto alert = presentedAlert())
        throw Error("the alert " + quoted(alert->alertTitle().value_or("")) +
                    " covers the list; tap one of its actions first");
    auto list = std::dynamic_pointer_cast<PSListController>(visibleController());
    if (!list)
        throw Error("no settings list is showing (" + visibleController()->className() + " is on screen)");
    auto row = list->specifierForName(rowTitle);
    if (!row || row->cellType() == PSGroupCell)
        throw Error("no row titled " + quoted(rowTitle));
    list->setValueForSpecifier(cellValueFromText(*row, valueText), row);
}

void SettingsApp::burst() {
    requireOpen();
    pane_->burst();
}
