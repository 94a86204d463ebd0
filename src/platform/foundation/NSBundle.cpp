#include "platform/foundation/NSBundle.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/foundation/plist/StringsTable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// The device's language list, the current device environment's.
struct PreferredLanguages : DeviceEnvironment::Part {
    std::mutex mutex;
    std::vector<std::string> languages{"en"};
};

PreferredLanguages& preferred() {
    return DeviceEnvironment::current().part<PreferredLanguages>();
}

// The English names of the oldest localisation folders, which bundles still ship.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kOldNames{{
    {"en", "English"},
    {"de", "German"},
    {"fr", "French"},
    {"es", "Spanish"},
    {"it", "Italian"},
    {"ja", "Japanese"},
    {"nl", "Dutch"},
    {"zh", "Chinese"},
}};

// The folder names one language may go by, most exact first: "de-CH" -> de-CH, de_CH, de, German.
std::vector<std::string> namesOfLanguage(const std::string& language) {
    std::vector<std::string> names{language};
    std::string underscored = language;
    std::replace(underscored.begin(), underscored.end(), '-', '_');
    if (underscored != language)
        names.push_back(underscored);
    std::string base = language.substr(0, language.find_first_of("-_"));
    if (base != language)
        names.push_back(base);
    for (const auto& [code, name] : kOldNames)
        if (code == base)
            names.emplace_back(name);
    return names;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == "/")
        return "/" + name;
    return folder + "/" + name;
}

} // namespace

NSBundle::NSBundle(Private, std::string path, std::shared_ptr<NSFileManager> files)
    : path_(std::move(path)), files_(std::move(files)) {}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(std::string path, std::shared_ptr<NSFileManager> files) {
    if (!files)
        files = NSFileManager::defaultManager();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    bool folder = false;
    if (!files->fileExistsAtPath(path, &folder) || !folder)
        return nullptr;
    return std::make_shared<NSBundle>(Private{}, std::move(path), std::move(files));
}

std::shared_ptr<NSBundle> NSBundle::bundleWithListedFolder(std::string path,
                                                           std::shared_ptr<NSFileManager> files,
                                                           const std::vector<DeviceFolder::Entry>& entries) {
    auto bundle = std::make_shared<NSBundle>(Private{}, std::move(path), std::move(files));
    std::set<std::string> names;
    for (const auto& entry : entries)
        names.insert(names.end(), entry.name);
    bundle->listings_.emplace(std::string(), std::move(names));
    return bundle;
}

std::shared_ptr<NSBundle> NSBundle::bundleWithHostFolder(const std::string& folder) {
    return bundleWithPath("/", NSFileManager::create(folder));
}

std::string NSBundle::hostPath() const {
    std::string root = files_->deviceRoot();
    if (path_ == "/")
        return root;
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root + path_;
}

PlistValue NSBundle::infoDictionary() const {
    std::lock_guard lock(mutex_);
    return info();
}

const PlistValue& NSBundle::info() const {
    if (!info_)
        info_ = infoFrom(files_->propertyListAtPath(joinPath(path_, "Info.plist")));
    return *info_;
}

PlistValue NSBundle::infoFrom(const PlistReadResult& read) {
    return read.ok() && read.value.isDictionary() ? read.value : PlistValue::dictionary();
}

void NSBundle::setInfoPlistRead(const PlistReadResult& read) {
    std::lock_guard lock(mutex_);
    info_ = infoFrom(read);
}

std::string NSBundle::principalClassName() const {
    PlistValue name = objectForInfoDictionaryKey("NSPrincipalClass");
    return name.isString() ? name.stringValue() : std::string();
}

const std::set<std::string>& NSBundle::namesIn(const std::string& folder) const {
    auto it = listings_.find(folder);
    if (it == listings_.end()) {
        std::set<std::string> names;
        if (auto listed = files_->contentsOfDirectoryAtPath(folder.empty() ? path_ : joinPath(path_, folder)))
            names.insert(listed->begin(), listed->end());
        it = listings_.emplace(folder, std::move(names)).first;
    }
    return it->second;
}

std::vector<std::string> NSBundle::localizations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> languages;
    // A name ending in .lproj is a language folder; one that is not a folder lists as empty.
    for (const auto& name : namesIn(""))
        if (name.size() > 6 && name.ends_with(".lproj"))
            languages.push_back(name.substr(0, name.size() - 6));
    return languages;
}

const std::vector<std::string>& NSBundle::searchFolders(const std::vector<std::string>& languages) const {
    // A bundle is searched many times (a list's every row, every icon's variants) and the folders
    // change only with the language list or a flush, so they are worked out once for each.
    if (searchFolders_ && searchLanguages_ == languages)
        return *searchFolders_;
    const std::set<std::string>& top = namesIn("");
    auto have = [&](const std::string& name) { return !name.empty() && top.contains(name + ".lproj"); };
    std::vector<std::string> wanted;
    for (const auto& language : languages)
        for (auto& name : namesOfLanguage(language))
            wanted.push_back(std::move(name));
    PlistValue region = info().get("CFBundleDevelopmentRegion");
    for (auto& name : namesOfLanguage(region.isString() ? region.stringValue() : "en"))
        wanted.push_back(std::move(name));
    wanted.emplace_back("Base");

    std::vector<std::string> folders;
    for (const auto& name : wanted) {
        std::string folder = name + ".lproj";
        if (have(name) && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    folders.emplace_back();
    searchLanguages_ = languages;
    searchFolders_ = std::move(folders);
    return *searchFolders_;
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name, const std::string& ext) const {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return std::nullopt;
    std::string file = ext.empty() ? name : name + "." + ext;
    // Each folder is listed once (until flushCaches); a name found there is the resource.
    std::vector<std::string> languages = preferredLanguages();
    std::lock_guard lock(mutex_);
    for (const auto& folder : searchFolders(languages)) {
        if (namesIn(folder).contains(file))
            return folder.empty() ? joinPath(path_, file) : joinPath(joinPath(path_, folder), file);
    }
    return std::nullopt;
}

PlistValue NSBundle::stringsTable(const std::string& table) const {
    {
        std::lock_guard lock(mutex_);
        if (auto it = tables_.find(table); it != tables_.end())
            return it->second;
    }
    PlistValue strings;
    if (auto path = pathForResource(table, "strings")) {
        if (auto bytes = files_->contentsAtPath(*path, nullptr, kLargestResource)) {
            StringsTableReadResult read = readStringsTable(*bytes);
            if (read.ok()) {
                strings = PlistValue::dictionary();
                for (const auto& [key, value] : read.strings)
                    strings.set(key, PlistValue(value));
            } else {
                NSLog("Couldn't read the strings table %@: %@",
                      {PlistValue(*path), PlistValue(read.error->localizedDescription())});
            }
        }
    }
    std::lock_guard lock(mutex_);
    tables_[table] = strings;
    return strings;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const std::string& table) const {
    PlistValue found = stringsTable(table.empty() ? "Localizable" : table).get(key);
    if (found.isString())
        return found.stringValue();
    return value.empty() ? key : value;
}

void NSBundle::flushCaches() {
    std::lock_guard lock(mutex_);
    info_.reset();
    listings_.clear();
    tables_.clear();
    searchFolders_.reset();
}

void NSBundle::setPreferredLanguages(std::vector<std::string> languages) {
    if (languages.empty())
        languages.emplace_back("en");
    PreferredLanguages& device = preferred();
    std::lock_guard lock(device.mutex);
    device.languages = std::move(languages);
}

std::vector<std::string> NSBundle::preferredLanguages() {
    PreferredLanguages& device = preferred();
    std::lock_guard lock(device.mutex);
    return device.languages;
}
