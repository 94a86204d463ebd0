#include "platform/prefslibs/AppListSettingsController.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PlistKind.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/ATLApplicationListController.h"
#include "platform/prefslibs/AppListPredicate.h"
#include "platform/prefslibs/AppListSettingsStore.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIImage.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UITableViewCell.h"

namespace {

constexpr const char* kIconSizeKey = "applicationIconSize";
constexpr const char* kItemKey = "appListItem";
constexpr std::string_view kDefaultPrefix = "ALValue-";

// The cell type of a section's "cell-class-name".
PSCellType cellTypeNamed(const std::string& name, bool singleMode) {
    if (name == "ALSwitchCell")
        return PSSwitchCell;
    if (name == "ALCheckCell")
        return PSListItemCell;
    if (name == "ALDisclosureIndicatedCell")
        return PSLinkCell;
    if (!name.empty())
        NSLog("AppList: the cell class '%@' is not known; the section shows %@",
              {PlistValue(name), PlistValue(singleMode ? "checkmarks" : "switches")});
    return singleMode ? PSListItemCell : PSSwitchCell;
}

PlistValue defaultDescriptor(const char* title, const char* predicate) {
    PlistValue d = PlistValue::dictionary();
    d.set("title", PlistValue(title));
    d.set("predicate", PlistValue(predicate));
    d.set("suppress-hidden-apps", PlistValue(true));
    return d;
}

} // namespace

std::shared_ptr<AppListSettingsController> AppListSettingsController::create() {
    return std::shared_ptr<AppListSettingsController>(new AppListSettingsController());
}

const SelectorTable* AppListSettingsController::selectorTable() const {
    using C = AppListSettingsController;
    static const SelectorTable kTable(
        {
            {kGetter, SelectorTable::bind(&C::readAppListValue)},
            {kSetter, SelectorTable::bind(&C::setAppListValue)},
        },
        PSListController::selectorTable());
    return &kTable;
}

PlistValue AppListSettingsController::option(std::string_view key) const {
    return specifier() ? specifier()->propertyForKey(key) : PlistValue();
}

bool AppListSettingsController::singleMode() const {
    return PSControlValue::boolFromValue(option("ALSingleEnabledMode"));
}

std::shared_ptr<const PSSpecifierList> AppListSettingsController::specifiers() {
    if (_specifiers)
        return _specifiers;
    if (PlistValue title = option("ALNavigationTitle"); title.isString())
        setTitle(title.stringValue());
    else if (specifier())
        setTitle(specifier()->name());

    PlistValue descriptors = option("ALSectionDescriptors");
    if (!descriptors.isArray() || descriptors.count() == 0)
        descriptors =
            PlistValue::array({defaultDescriptor("System Applications", "isSystemApplication = TRUE"),
                               defaultDescriptor("User Applications", "isSystemApplication = FALSE")});
    const bool single = singleMode();
    const auto apps = ALApplicationList::sharedApplicationList()->applicationInfos();
    auto self = shared_from_this();
    auto list = std::make_shared<PSSpecifierList>();
    for (const PlistValue& d : *descriptors.arrayValue()) {
        if (!d.isDictionary())
            continue;
        auto group = PSSpecifier::preferenceSpecifierNamed(plistStringOr(d.get("title"), ""), self, {}, {},
                                                           {}, PSGroupCell, {});
        if (PlistValue footer = d.get("footer-title"); footer.isString())
            group->setProperty(footer, "footerText");
        list->push_back(group);

        // A section of static rows lists those rows and no apps.
        PlistValue items = d.get("items");
        if (items.isArray()) {
            appendItems(*list, items);
            continue;
        }

        // A predicate this reader does not know shows every app rather than none: the page is
        // still usable, and the log says which predicate it was.
        AppListPredicate keep = AppListPredicate::all();
        if (PlistValue text = d.get("predicate"); text.isString()) {
            if (auto predicate = AppListPredicate::parse(text.stringValue()))
                keep = predicate.value();
            else
                NSLog("AppList: the predicate '%@' is not understood (%@); the section lists every app",
                      {text, PlistValue(predicate.reason())});
        }
        const bool suppressHidden = PSControlValue::boolFromValue(d.get("suppress-hidden-apps"));
        const PSCellType type = cellTypeNamed(plistStringOr(d.get("cell-class-name"), ""), single);
        PlistValue iconSize = d.get("icon-size");
        std::vector<ALApplicationList::ApplicationInfo> shown;
        for (const auto& app : apps)
            if (keep.evaluate(app) && !(suppressHidden && app.isHidden()))
                shown.push_back(app);
        ATLApplicationListController::sortByName(shown);
        for (const auto& app : shown) {
            auto row =
                PSSpecifier::preferenceSpecifierNamed(app.displayName, self, kSetter, kGetter, {}, type, {});
            row->setProperty(PlistValue(app.identifier),
                             ATLApplicationListController::kApplicationIdentifierKey);
            row->setProperty(PlistValue(app.identifier), "id");
            row->setProperty(iconSize.isNumber() ? iconSize
                                                 : PlistValue(std::int64_t{ALApplicationIconSizeSmall}),
                             kIconSizeKey);
            list->push_back(std::move(row));
        }
    }
    _specifiers = std::move(list);
    return _specifiers;
}

PlistValue AppListSettingsController::readAppListValue(const std::shared_ptr<PSSpecifier>& row) {
    if (!row || !specifier())
        return {};
    const std::string identifier = ATLApplicationListController::applicationIdentifierOf(*row);
    PlistValue values = AppListSettingsStore(specifier()->properties()).values();
    if (singleMode()) {
        PlistValue chosen = values.get(plistStringOr(option("ALSettingsKey"), std::string(kDefaultPrefix)));
        return PlistValue(chosen.isString() && chosen.stringValue() == identifier);
    }
    PlistValue stored =
        values.get(plistStringOr(option("ALSettingsKeyPrefix"), std::string(kDefaultPrefix)) + identifier);
    if (stored.isNone())
        stored = option("ALSettingsDefaultValue");
    return PlistValue(PSControlValue::boolFromValue(stored));
}

void AppListSettingsController::setAppListValue(const PlistValue& value,
                                                const std::shared_ptr<PSSpecifier>& row) {
    if (!row || !specifier())
        return;
    const std::string identifier = ATLApplicationListController::applicationIdentifierOf(*row);
    const bool on = PSControlValue::boolFromValue(value);
    AppListSettingsStore store(specifier()->properties());
    Result<> saved = [&] {
        if (!singleMode()) {
            std::string key =
                plistStringOr(option("ALSettingsKeyPrefix"), std::string(kDefaultPrefix)) + identifier;
            return store.change([&](const PlistValue& d) { d.set(key, PlistValue(on)); });
        }
        std::string key = plistStringOr(option("ALSettingsKey"), std::string(kDefaultPrefix));
        return store.change([&](const PlistValue& d) {
            if (on)
                d.set(key, PlistValue(identifier));
            else if (PlistValue chosen = d.get(key); chosen.isString() && chosen.stringValue() == identifier)
                d.remove(key);
        });
    }();
    if (!saved)
        NSLog("AppList: couldn't save %@: %@", {PlistValue(identifier), PlistValue(saved.reason())});
    if (auto t = table())
        t->reloadData();
}

std::shared_ptr<UITableViewCell>
AppListSettingsController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                 NSIndexPath indexPath) {
    auto row = specifierAtIndexPath(indexPath);
    if (row && row->propertyForKey(kItemKey).isDictionary()) {
        auto cell = PSListController::cellForRowAtIndexPath(tableView, indexPath);
        if (PlistValue detail = row->propertyForKey(kItemKey).get("detail-text"); detail.isString())
            cell->setDetailText(detail.stringValue());
        return cell;
    }
    const std::string identifier =
        row ? ATLApplicationListController::applicationIdentifierOf(*row) : std::string();
    if (identifier.empty())
        return PSListController::cellForRowAtIndexPath(tableView, indexPath);
    // The icon is read when the row is first shown, and kept with the row.
    if (!row->propertyForKey("iconImage").isObject()) {
        auto size = PSControlValue::doubleFromValue(row->propertyForKey(kIconSizeKey));
        if (auto icon = ALApplicationList::sharedApplicationList()->iconOfSize(
                static_cast<int>(size.value_or(ALApplicationIconSizeSmall)), identifier))
            row->setProperty(PlistValue(std::static_pointer_cast<NSObject>(icon)), "iconImage");
    }
    PlistValue value = valueForSpecifier(row);
    auto cell = PSTableCellViews::stockCell(*this, row, value);
    const bool on = PSControlValue::boolFromValue(value);
    if (row->cellType() == PSListItemCell)
        cell->setAccessoryType(on ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
    else if (row->cellType() == PSLinkCell)
        cell->setDetailText(on ? "On" : "Off");
    return cell;
}

void AppListSettingsController::tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (!specifier)
        return;
    if (specifier->propertyForKey(kItemKey).isDictionary()) {
        runItemAction(specifier);
        return;
    }
    if (ATLApplicationListController::applicationIdentifierOf(*specifier).empty()) {
        PSListController::tapSpecifier(specifier);
        return;
    }
    PlistValue allows = option("ALAllowsSelection");
    const bool selectable = allows.isNone() ? singleMode() : PSControlValue::boolFromValue(allows);
    if (specifier->cellType() == PSSwitchCell && !selectable)
        return;
    const bool on = PSControlValue::boolFromValue(valueForSpecifier(specifier));
    setValueForSpecifier(PlistValue(!on), specifier);
}

void AppListSettingsController::appendItems(PSSpecifierList& list, const PlistValue& items) {
    auto self = shared_from_this();
    for (const PlistValue& item : *items.arrayValue()) {
        if (!item.isDictionary())
            continue;
        bool acts = item.get("action").isString();
        auto row = PSSpecifier::preferenceSpecifierNamed(plistStringOr(item.get("text"), ""), self, {}, {},
                                                         {}, acts ? PSLinkCell : PSStaticTextCell, {});
        row->setProperty(item, kItemKey);
        list.push_back(std::move(row));
    }
}

void AppListSettingsController::runItemAction(const std::shared_ptr<PSSpecifier>& item) {
    PlistValue described = item->propertyForKey(kItemKey);
    std::string action = plistStringOr(described.get("action"), "");
    if (action == "launchURL") {
        if (auto url = NSURL::URLWithString(plistStringOr(described.get("url"), "")))
            UIApplication::sharedApplication()->openURL(url);
        return;
    }
    if (action == "showPreferences") {
        PlistValue entry = described.get("entry");
        if (!entry.isDictionary()) {
            NSLog("AppList: %@ has no entry to show", {PlistValue(item->name())});
            return;
        }
        // The entry is a row of its own, opened as a link row of this page would be.
        PlistValue cell = entry.get("cell");
        auto row = PSSpecifier::preferenceSpecifierNamed(
            plistStringOr(entry.get("label"), item->name()), shared_from_this(), {}, {},
            plistStringOr(entry.get("detail"), ""),
            cell.isString() ? PSTableCell::cellTypeFromString(cell.stringValue()) : PSLinkCell, {});
        for (const auto& [key, value] : *entry.dictionaryValue())
            row->setProperty(value.deepCopy(), key);
        auto child = controllerForSpecifier(row);
        auto navigation = navigationController();
        if (child && navigation)
            navigation->pushViewController(child, true);
        return;
    }
    if (!action.empty())
        NSLog("AppList: the action '%@' of %@ is not known", {PlistValue(action), PlistValue(item->name())});
}
