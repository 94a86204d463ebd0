#include "platform/prefslibs/ATLApplicationListController.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PlistKind.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSTableCellViews.h"
#include "platform/prefslibs/AppListPredicate.h"
#include "platform/ui/UIImage.h"

#include <algorithm>
#include <cctype>

namespace {

bool flag(const PlistValue& properties, std::string_view key) {
    return PSControlValue::boolFromValue(properties.get(key));
}

using Info = ATLApplicationListController::ApplicationInfo;
using Section = ATLApplicationListController::Section;

template <class Keep> std::vector<Info> filtered(const std::vector<Info>& apps, Keep keep) {
    std::vector<Info> out;
    std::copy_if(apps.begin(), apps.end(), std::back_inserter(out), keep);
    return out;
}

// One section of the "sections" array, or nothing for a type this library does not have.
std::optional<Section> sectionOf(const PlistValue& descriptor, const std::vector<Info>& apps) {
    std::string type = plistStringOr(descriptor.get("sectionType"), "Visible");
    PlistValue name = descriptor.get("sectionName");
    Section section;
    if (type == "All") {
        section = {"Applications", apps};
    } else if (type == "Visible") {
        section = {"Applications", filtered(apps, [](const Info& a) { return !a.isHidden(); })};
    } else if (type == "Hidden") {
        section = {"Hidden Applications", filtered(apps, [](const Info& a) { return a.isHidden(); })};
    } else if (type == "System") {
        section = {"System Applications",
                   filtered(apps, [](const Info& a) { return a.isSystemApplication && !a.isHidden(); })};
    } else if (type == "User") {
        section = {"User Applications",
                   filtered(apps, [](const Info& a) { return !a.isSystemApplication && !a.isHidden(); })};
    } else if (type == "Custom") {
        // A predicate this reader does not know shows every app rather than none: the page is
        // still usable, and the log says which predicate it was.
        std::string text = plistStringOr(descriptor.get("sectionPredicate"), "TRUEPREDICATE");
        auto predicate = AppListPredicate::parse(text);
        if (!predicate)
            NSLog("AltList: the section predicate '%@' is not understood (%@); the section lists every app",
                  {PlistValue(text), PlistValue(predicate.reason())});
        AppListPredicate keep = predicate ? predicate.value() : AppListPredicate::all();
        section = {"", filtered(apps, [&](const Info& a) { return keep.evaluate(a); })};
    } else {
        NSLog("AltList: the section type '%@' is not known; the section is left out", {PlistValue(type)});
        return std::nullopt;
    }
    if (name.isString())
        section.title = name.stringValue();
    return section;
}

// The first letter of a name for the A–Z groups, "#" for anything but a letter.
std::string indexLetter(const std::string& name) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])))
        return "#";
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[0]))));
}

} // namespace

void ATLApplicationListController::sortByName(std::vector<ApplicationInfo>& apps) {
    std::sort(apps.begin(), apps.end(), [](const Info& a, const Info& b) {
        std::string left = lowercased(a.displayName), right = lowercased(b.displayName);
        return left != right ? left < right : a.identifier < b.identifier;
    });
}

std::vector<ATLApplicationListController::Section>
ATLApplicationListController::sectionsFor(const PlistValue& properties, std::vector<ApplicationInfo> apps) {
    sortByName(apps);
    std::vector<Section> sections;
    PlistValue descriptors = properties.get("sections");
    if (descriptors.isArray())
        for (const PlistValue& d : *descriptors.arrayValue())
            if (d.isDictionary())
                if (auto section = sectionOf(d, apps))
                    sections.push_back(std::move(*section));
    if (sections.empty())
        sections.push_back(*sectionOf(PlistValue::dictionary(), apps));

    if (sections.size() != 1 || !flag(properties, "alphabeticIndexingEnabled"))
        return sections;
    // Letters in order, "#" after them, each holding its apps in the order they were sorted.
    const bool headers = !flag(properties, "hideAlphabeticSectionHeaders");
    std::vector<Section> letters;
    auto letterOrder = [](const std::string& a, const std::string& b) {
        return (a == "#") != (b == "#") ? b == "#" : a < b;
    };
    for (auto& app : sections.front().apps) {
        std::string letter = indexLetter(app.displayName);
        auto it =
            std::find_if(letters.begin(), letters.end(), [&](const Section& s) { return s.title == letter; });
        if (it == letters.end())
            it = letters.insert(letters.end(), Section{letter, {}});
        it->apps.push_back(std::move(app));
    }
    std::stable_sort(letters.begin(), letters.end(),
                     [&](const Section& a, const Section& b) { return letterOrder(a.title, b.title); });
    if (!headers)
        for (auto& s : letters)
            s.title.clear();
    return letters;
}

std::string ATLApplicationListController::applicationIdentifierOf(const PSSpecifier& row) {
    return plistStringOr(row.propertyForKey(kApplicationIdentifierKey), "");
}

const SelectorTable* ATLApplicationListController::selectorTable() const {
    using C = ATLApplicationListController;
    static const SelectorTable kTable(
        {
            {kGetter, SelectorTable::bind(&C::readApplicationValue)},
            {kSetter, SelectorTable::bind(&C::setApplicationValue)},
        },
        PSListController::selectorTable());
    return &kTable;
}

std::shared_ptr<const PSSpecifierList> ATLApplicationListController::specifiers() {
    if (_specifiers)
        return _specifiers;
    PlistValue properties = specifier() ? specifier()->properties() : PlistValue::dictionary();
    auto sections = sectionsFor(properties, ALApplicationList::sharedApplicationList()->applicationInfos());
    const bool subtitles = flag(properties, "showIdentifiersAsSubtitle");
    const bool values = storesValues();
    const std::string detail = applicationDetailClass();

    auto self = shared_from_this();
    auto list = std::make_shared<PSSpecifierList>();
    for (const auto& section : sections) {
        list->push_back(
            PSSpecifier::preferenceSpecifierNamed(section.title, self, {}, {}, {}, PSGroupCell, {}));
        for (const auto& app : section.apps) {
            auto row = PSSpecifier::preferenceSpecifierNamed(app.displayName, self, values ? kSetter : "",
                                                             values ? kGetter : "", detail,
                                                             applicationCellType(), {});
            row->setProperty(PlistValue(app.identifier), kApplicationIdentifierKey);
            row->setProperty(PlistValue(app.identifier), "id");
            if (subtitles)
                row->setProperty(PlistValue(app.identifier), "subtitle");
            list->push_back(std::move(row));
        }
    }
    _specifiers = std::move(list);
    return _specifiers;
}

std::shared_ptr<UITableViewCell>
ATLApplicationListController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                    NSIndexPath indexPath) {
    auto row = specifierAtIndexPath(indexPath);
    std::string identifier = row ? applicationIdentifierOf(*row) : std::string();
    if (identifier.empty())
        return PSListController::cellForRowAtIndexPath(tableView, indexPath);
    // The icon is read when the row is first shown, and kept with the row.
    if (!row->propertyForKey("iconImage").isObject())
        if (auto icon = ALApplicationList::sharedApplicationList()->iconOfSize(ALApplicationIconSizeSmall,
                                                                               identifier))
            row->setProperty(PlistValue(std::static_pointer_cast<NSObject>(icon)), "iconImage");
    PlistValue value = valueForSpecifier(row);
    PlistValue subtitle = row->propertyForKey("subtitle");
    auto cell = PSTableCellViews::stockCell(
        *this, row, value, subtitle.isString() ? UITableViewCellStyleSubtitle : UITableViewCellStyleValue1);
    if (subtitle.isString())
        cell->setDetailText(subtitle.stringValue());
    dressCell(*cell, *row, value);
    return cell;
}

void ATLApplicationListController::tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) {
    if (specifier && !applicationIdentifierOf(*specifier).empty())
        tapApplication(specifier);
    else
        PSListController::tapSpecifier(specifier);
}

PlistValue ATLApplicationListController::readApplicationValue(const std::shared_ptr<PSSpecifier>& /*row*/) {
    return {};
}

void ATLApplicationListController::setApplicationValue(const PlistValue& /*value*/,
                                                       const std::shared_ptr<PSSpecifier>& /*row*/) {}

PlistValue ATLApplicationListController::storedValue() {
    const auto& row = specifier();
    if (!row)
        return {};
    if (auto parent = parentList())
        return parent->valueForSpecifier(row);
    return readPreferenceValue(row);
}

void ATLApplicationListController::store(const PlistValue& value) {
    const auto& row = specifier();
    if (!row)
        return;
    if (auto parent = parentList())
        parent->setValueForSpecifier(value, row);
    else
        setPreferenceValue(value, row);
}

void ATLApplicationListController::redisplay() {
    if (auto t = table())
        t->reloadData();
}
