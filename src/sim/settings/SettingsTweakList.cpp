#include "sim/settings/SettingsTweakList.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/graphics/CGImage.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/ui/UIImage.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kEntryFolders[] = {"/Library/PreferenceLoader/Preferences",
                                         "/var/jb/Library/PreferenceLoader/Preferences"};

std::string stringOrEmpty(const PlistValue& v) {
    return v.isString() ? v.stringValue() : std::string();
}

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

std::string stemOf(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(0, name.rfind('.'));
}

} // namespace

std::shared_ptr<SettingsTweakList> SettingsTweakList::create() {
    auto list = std::shared_ptr<SettingsTweakList>(new SettingsTweakList());
    list->setTitle("Settings");
    return list;
}

std::vector<SettingsTweakList::Entry> SettingsTweakList::readEntries() {
    auto files = NSFileManager::defaultManager();
    std::vector<Entry> entries;
    for (const char* folderPath : kEntryFolders) {
        // Each folder is opened once and its entries read relative to it.
        auto folder = files->openDirectoryAtPath(folderPath);
        auto listed = folder ? folder->entries() : std::nullopt;
        if (!listed)
            continue;
        // The entry plists are read at once, then taken in listing order.
        std::vector<std::string> names;
        for (const auto& listedEntry : *listed)
            if (listedEntry.name.ends_with(".plist"))
                names.push_back(listedEntry.name);
        std::vector<PlistReadResult> reads = folder->propertyListsBelow(names);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            std::string path = folder->pathOf(name);
            const PlistReadResult& read = reads[i];
            PlistValue entry = read.value.get("entry");
            if (!read.ok() || !entry.isDictionary()) {
                NSLog("Settings: the entry %@ cannot be shown: %@",
                      {PlistValue(path), PlistValue(read.ok() ? "no \"entry\" dictionary"
                                                              : read.error->localizedDescription())});
                continue;
            }
            Entry e{path, stringOrEmpty(entry.get("label")), stringOrEmpty(entry.get("bundle")), entry};
            if (e.label.empty())
                e.label = e.bundle.empty() ? stemOf(path) : e.bundle;
            entries.push_back(std::move(e));
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return lowercased(a.label) < lowercased(b.label);
    });
    return entries;
}

std::shared_ptr<const PSSpecifierList> SettingsTweakList::specifiers() {
    if (_specifiers)
        return _specifiers;
    auto list = std::make_shared<PSSpecifierList>();
    auto self = shared_from_this();
    // The bundle folders are listed afresh for the new rows.
    bundles_.reset();
    list->push_back(PSSpecifier::preferenceSpecifierNamed("", self, {}, {}, {}, PSGroupCell, {}));
    for (const auto& e : readEntries()) {
        auto row = PSSpecifier::preferenceSpecifierNamed(e.label, self, {}, {}, {}, PSLinkCell, {});
        for (const auto& [key, value] : *e.entry.dictionaryValue())
            row->setProperty(value, key);
        row->setProperty(PlistValue(e.file), "entryFile");
        // Icons and bundles are looked at when a row is shown or tapped: a device may have hundreds.
        list->push_back(std::move(row));
    }
    _specifiers = std::move(list);
    return _specifiers;
}

bool SettingsTweakList::unresolved(const std::shared_ptr<PSSpecifier>& row) {
    return row && row->cellType() == PSLinkCell && !row->propertyForKey("resolved").isBoolean();
}

void SettingsTweakList::resolve(const std::shared_ptr<PSSpecifier>& row) {
    if (!unresolved(row))
        return;
    // The rows about to be shown are resolved with this one, in the order of the list.
    std::vector<std::shared_ptr<PSSpecifier>> rows{row};
    if (_specifiers) {
        auto at = std::find(_specifiers->begin(), _specifiers->end(), row);
        if (at != _specifiers->end())
            for (++at; at != _specifiers->end() && rows.size() < kResolvedTogether; ++at)
                if (unresolved(*at))
                    rows.push_back(*at);
    }
    for (const auto& r : rows)
        r->setProperty(PlistValue(true), "resolved");
    // The bundle folders are listed once for all the rows, and each bundle read relative to its own.
    if (!bundles_)
        bundles_ = std::make_unique<const PSPreferenceBundles>();
    // Their bundles are read together, then their icons' heads.
    std::vector<std::string> names;
    for (const auto& r : rows)
        if (std::string name = stringOrEmpty(r->propertyForKey("bundle")); !name.empty())
            names.push_back(std::move(name));
    if (rows.size() > 1)
        bundles_->prepare(names);
    std::vector<std::shared_ptr<NSBundle>> bundles;
    std::vector<std::string> icons;
    for (const auto& r : rows) {
        std::string name = stringOrEmpty(r->propertyForKey("bundle"));
        bundles.push_back(name.empty() ? nullptr : bundles_->bundleNamed(name));
        if (PlistValue icon = r->propertyForKey("icon"); icon.isString() && bundles.back())
            if (auto path = imagePathInBundle(*bundles.back(), icon.stringValue()))
                icons.push_back(std::move(*path));
    }
    if (icons.size() > 1)
        bundles_->prepareHeads(icons, CGImage::kPNGHeaderBytes, NSBundle::kLargestResource);
    for (std::size_t i = 0; i < rows.size(); ++i)
        resolveWith(rows[i], bundles[i]);
}

void SettingsTweakList::resolveWith(const std::shared_ptr<PSSpecifier>& row,
                                    const std::shared_ptr<NSBundle>& bundle) {
    std::string bundleName = stringOrEmpty(row->propertyForKey("bundle"));
    std::string file = stringOrEmpty(row->propertyForKey("entryFile"));
    // The icon is an image of the entry's bundle, or of the entries' folder.
    std::shared_ptr<NSBundle> images = bundleName.empty() ? NSBundle::bundleWithPath(folderOf(file)) : bundle;
    if (PlistValue icon = row->propertyForKey("icon"); icon.isString() && images)
        if (auto image = imageFromBundle(*images, icon.stringValue(), bundles_.get()))
            row->setProperty(PlistValue(std::static_pointer_cast<NSObject>(image)), "iconImage");
    if (bundleName.empty())
        return;
    row->setMissingClassName(bundle ? PSControllerClasses::missingForBundle(*bundle)
                                    : PSControllerClasses::missingForBundleNamed(bundleName));
}

void SettingsTweakList::resolveAll() {
    if (auto rows = specifiers())
        for (const auto& row : *rows)
            resolve(row);
}

std::shared_ptr<UITableViewCell>
SettingsTweakList::cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                         NSIndexPath indexPath) {
    resolve(specifierAtIndexPath(indexPath));
    return PSListController::cellForRowAtIndexPath(tableView, indexPath);
}

void SettingsTweakList::tapSpecifier(const std::shared_ptr<PSSpecifier>& row) {
    resolve(row);
    PSListController::tapSpecifier(row);
}

std::shared_ptr<UIViewController>
SettingsTweakList::controllerForSpecifier(const std::shared_ptr<PSSpecifier>& row) {
    resolve(row);
    if (!row || !row->missingClassName().empty() || row->cellType() != PSLinkCell)
        return nullptr;
    std::shared_ptr<PSListController> child;
    std::string bundleName = stringOrEmpty(row->propertyForKey("bundle"));
    std::string file = stringOrEmpty(row->propertyForKey("entryFile"));
    if (!bundleName.empty())
        child = PSControllerClasses::controllerForBundle(PSControllerClasses::deviceBundleNamed(bundleName),
                                                         nullptr);
    else if (auto folder = NSBundle::bundleWithPath(folderOf(file)))
        child = PSListController::createWithPlist(folder, stemOf(file));
    if (!child)
        return nullptr;
    // The Settings app titles a pane with the label of its entry.
    child->setTitle(row->name());
    child->setSpecifier(row);
    return child;
}
