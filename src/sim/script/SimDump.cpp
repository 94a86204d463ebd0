#include "sim/script/SimDump.h"

#include "hud/TQProgressHUD.h"
#include "pane/ExtensionsTableViewController.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UINavigationItem.h"
#include "sim/script/ConfettiCommands.h"
#include "sim/settings/SettingsTweakList.h"
#include "sim/settings/Simulator.h"

#include <nlohmann/json.hpp>

using json = nlohmann::ordered_json;

json SimJSONFromPlist(const PlistValue& value) {
    switch (value.kind()) {
    case PlistValue::Kind::None:
        return nullptr;
    case PlistValue::Kind::String:
        return value.stringValue();
    case PlistValue::Kind::Integer:
        if (value.isUnsignedInteger())
            return value.unsignedValue();
        return value.integerValue();
    case PlistValue::Kind::Real:
        return value.doubleValue();
    case PlistValue::Kind::Boolean:
        return value.boolValue();
    case PlistValue::Kind::Array: {
        json out = json::array();
        for (const auto& item : *value.arrayValue())
            out.push_back(SimJSONFromPlist(item));
        return out;
    }
    case PlistValue::Kind::Dictionary: {
        json out = json::object();
        for (const auto& [key, item] : *value.dictionaryValue())
            out[key] = SimJSONFromPlist(item);
        return out;
    }
    default:
        return value.description();
    }
}

namespace {

json rowsOf(SettingsApp& app) {
    json rows = json::array();
    auto list = app.topList();
    if (!list)
        return rows;
    // The Settings list looks at its bundles as rows are shown; the dump shows every row.
    if (auto tweaks = std::dynamic_pointer_cast<SettingsTweakList>(list))
        tweaks->resolveAll();
    auto specifiers = list->specifiers();
    if (!specifiers)
        return rows;
    for (const auto& row : *specifiers) {
        json r;
        SimRowValue value = SimRowValueOf(*list, row);
        // The title the user reads: a library cell may show one made from the value.
        std::optional<std::string> shownTitle;
        if (const auto& cls = row->cellClass())
            shownTitle = cls->title(*row, value.stored);
        r["title"] = shownTitle ? *shownTitle : row->name();
        r["cell"] = PSTableCell::stringFromCellType(row->cellType());
        r["key"] = SimJSONFromPlist(row->propertyForKey("key"));
        r["defaults"] = SimJSONFromPlist(row->propertyForKey("defaults"));
        const bool placeholder = !row->missingClassName().empty();
        r["value"] = value.shown ? json(*value.shown) : json(nullptr);
        r["stored"] = SimJSONFromPlist(value.stored);
        r["footerText"] = SimJSONFromPlist(row->propertyForKey("footerText"));
        r["hasIcon"] = row->propertyForKey("iconImage").isObject();
        if (placeholder)
            r["placeholder"] = row->missingClassName();
        if (!row->approximatedClassName().empty())
            r["approximated"] = row->approximatedClassName();
        if (row->cellClass())
            r["cellClass"] = SimJSONFromPlist(row->propertyForKey("cellClass"));
        rows.push_back(std::move(r));
    }
    return rows;
}

json alertOf(SettingsApp& app) {
    auto alert = app.presentedAlert();
    if (!alert)
        return nullptr;
    json actions = json::array();
    for (const auto& action : alert->actions())
        actions.push_back(
            {{"title", action->title()}, {"style", static_cast<std::int64_t>(action->style())}});
    return {{"title", alert->alertTitle() ? json(*alert->alertTitle()) : json(nullptr)},
            {"message", alert->message() ? json(*alert->message()) : json(nullptr)},
            {"actions", std::move(actions)}};
}

// The catalogue screen as the user sees it: its rows as the table shows them, and whether a HUD
// is on its view; null when the screen is not presented.
json catalogueOf(const SettingsApp& app) {
    std::shared_ptr<ExtensionsTableViewController> screen;
    for (const auto& vc : app.presentedChain()) {
        auto nav = std::dynamic_pointer_cast<UINavigationController>(vc);
        auto top = nav ? nav->topViewController() : vc;
        if (auto catalogue = std::dynamic_pointer_cast<ExtensionsTableViewController>(top))
            screen = catalogue;
    }
    if (!screen)
        return nullptr;
    json rows = json::array();
    auto table = screen->tableView();
    for (std::int64_t row = 0, n = table->numberOfRowsInSection(0); row < n; ++row) {
        auto cell = table->cellForRowAtIndexPath({0, row});
        if (!cell)
            continue;
        rows.push_back(
            {{"title", cell->text()}, {"detail", cell->detailText()}, {"icon", cell->image() != nullptr}});
    }
    bool hud = !TQProgressHUD::allHUDsForView(screen->view()).empty();
    return {{"rows", std::move(rows)}, {"hud", hud}};
}

} // namespace

SimRowValue SimRowValueOf(PSListController& list, const std::shared_ptr<PSSpecifier>& row) {
    if (!row->missingClassName().empty())
        return {};
    // As the Settings app shows it: what the getter answers (rows without a getter show none),
    // and that value as the cell shows it, as text.
    SimRowValue value;
    value.stored = list.valueForSpecifier(row);
    value.shown = PSControlValue::shownText(*row, value.stored);
    if (!value.shown && value.stored.isString() && row->cellType() != PSGroupCell)
        value.shown = value.stored.stringValue();
    return value;
}

json SimDump(Simulator& simulator) {
    SettingsApp& app = simulator.settings();
    json dump;
    auto visible = app.isOpen() ? app.visibleController() : nullptr;
    dump["title"] = visible ? json(visible->navigationItem()->title()) : json(nullptr);
    // Rows first: their getters log, and those lines belong in this dump's log.
    dump["rows"] = rowsOf(app);
    dump["extensions"] = app.pane() ? SimJSONFromPlist(app.pane()->dylibsArray()) : json::array();
    if (dump["extensions"].is_null())
        dump["extensions"] = json::array();
    dump["alert"] = alertOf(app);
    json presented = json::array();
    for (const auto& vc : app.presentedChain())
        presented.push_back(vc->className());
    dump["presented"] = std::move(presented);
    json spawned = json::array();
    for (const auto& record : DeviceSpawn::records())
        spawned.push_back({{"path", record.path}, {"argv", record.argv}, {"result", record.result}});
    dump["spawned"] = std::move(spawned);
    dump["openedURLs"] = UIApplication::sharedApplication()->openedURLs();
    dump["catalogue"] = catalogueOf(app);
    dump["confetti"] = ConfettiCommands::dump(app);
    dump["notifications"] = DarwinNotifyCenter::postedNames();
    dump["log"] = simulator.logLines();
    return dump;
}

std::string SimDumpText(const json& dump) {
    return dump.dump(2, ' ', false, json::error_handler_t::replace);
}
